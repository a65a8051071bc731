#pragma once

#include <string>
#include <vector>

// The window's two modes, as the mode choice indexes them.
enum TManagerMode { mmPhotoManager = 0, mmFileManager = 1 };

// The search a listing opens on the phone: the pictures folder of the drive
// in Photo Manager mode ("/a" gives "/a/mobile/picture/|*.jpg"), every file
// of the drive otherwise ("/a/|*.*").
std::string searchText(const std::string& Drive, TManagerMode Mode);

// The phone folder where Photo Manager mode keeps its pictures, after the drive.
inline constexpr const char* PictureFolder = "/mobile/picture/";
// The drive whose free space the status bar shows, whichever drive is listed.
inline constexpr const char* FreeSpaceDrive = "/a/";

// The entries of the drive text a phone reports: one per line (CR, LF or
// CR LF); a final line end gives no empty entry.
std::vector<std::string> driveEntries(const std::string& Drives);

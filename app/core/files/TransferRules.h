#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <string>

#include "core/files/ListRules.h"

// Bytes asked of the phone per read: small blocks when Photo Manager mode
// keeps existing files (the common, careful case), large ones otherwise.
int32_t downloadBlockSize(TManagerMode Mode, bool Overwrite);
// Bytes sent to the phone per write.
inline constexpr int32_t UploadBlockSize = 1000;
// The most bytes one read may ask for on every link: a reply carries at
// most 4083 data bytes, and Linux refuses control transfers over 4096.
inline constexpr int32_t LargestReadBlock = 4000;

// What a download does with one selected row.
enum class TDownloadStep {
    Fetch,         // transfer it (replacing a local file when there is one)
    SkipExisting,  // report that the local file exists and go on
    SkipExcluded,  // go on without a word
    AskReplace,    // ask whether to replace the local file
};
TDownloadStep downloadStep(TManagerMode Mode, bool Overwrite, bool LocalExists, bool Excluded);

// Whether Name may be one local file or folder name: not empty, "." or
// "..", without a "/" or a control character, and within the 255 bytes of
// UTF-8 a name may have here.
bool isSafeLocalName(const QString& Name);

// The local file name of a phone file: the part after its last "/",
// decoded from the phone's code page. Nothing when that name must not be
// written: empty, "." or "..", holding a control character, or too long for
// a file name here (255 bytes of UTF-8).
std::optional<QString> localFileName(const std::string& PhoneName);

// The local path, relative to a download folder, that keeps the phone file's
// folders: "/a/mobile/picture/x.jpg" gives "a/mobile/picture/x.jpg". Every
// part, folders included, must pass as localFileName passes a file name, so
// that nothing lands outside the folder (no "..", no empty part, no control
// character); nothing when one does not.
std::optional<QString> localMirrorPath(const std::string& PhoneName);

// The longest phone path (folders and name, in bytes) the phone's file
// commands take.
inline constexpr size_t MaxPhonePath = 255;

// The phone name of an uploaded local file: Folder (phone bytes) followed by
// the local file's own name in the phone's code page. Nothing when the name
// has a character the phone's code page lacks.
std::optional<std::string> uploadPhoneName(const std::string& Folder, const QString& LocalPath);

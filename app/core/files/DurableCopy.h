#pragma once

#include <string>

class ILocalFiles;

// The local steps of a picture's second place, through the same seam as a
// download's first: folders made and flushed, a temporary file written,
// flushed, closed and renamed, its folders flushed. Paths are UTF-8; local
// failures throw std::system_error carrying the path.

// Makes the folders of Relative (parts separated by "/", no "." or "..")
// inside Root (ending in "/"), which must exist: each missing folder is made
// and its parent flushed, so that the new name stays after a power cut.
// True when every new name is known to be on the disk (a parent that
// cannot be flushed fails nothing, as with a download's folder).
bool makeFoldersDurably(ILocalFiles& Files, const std::string& Root, const std::string& Relative);

// Copies the local file Source to Target: into a temporary file beside
// TempBeside (a path in Target's file system), flushed and closed, then
// renamed to Target (replacing a file there) and both folders flushed.
// True when all of it is known to be on the disk.
bool copyDurably(ILocalFiles& Files, const std::string& Source, const std::string& TempBeside,
                 const std::string& Target);

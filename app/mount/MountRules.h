#pragma once

#include <cstdint>
#include <string>
#include <variant>

#include "core/session/FileOutcome.h"

// The mounted phone folder's decisions, as plain functions.

// The error number a file system call answers for what became of a phone file.
int errnoOf(const TFileOutcome& Outcome);

// The phone path of a new file named Name (UTF-8, as the caller gave it) in
// the phone folder Folder (phone bytes, ending in "/"), or the error number
// that refuses it: EILSEQ for a name the phone's code page cannot hold,
// ENAMETOOLONG for a path longer than the phone takes.
std::variant<std::string, int> newPhonePath(const std::string& Folder, const std::string& Name);

// Whether a folder read lists the drive again: after a change made through
// the mount, or when the last listing is older than RefreshSeconds (0
// lists at every read). Times are milliseconds of a clock that wraps.
bool listingDue(bool Changed, uint32_t ListedAtMs, uint32_t NowMs, int RefreshSeconds);

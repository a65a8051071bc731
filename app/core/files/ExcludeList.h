#pragma once

#include <QByteArray>
#include <QString>
#include <string>
#include <vector>

// The exclusion list file: one phone file name per line, as the name's own
// 8-bit bytes (the phones' code page 1251), so every name round-trips
// unchanged. Written with CR LF line ends; CR, LF or CR LF end a line.
struct TExcludeLoad {
    std::vector<std::string> Entries;
    bool Exists = false;  // false: no file yet, which is no error
    QString Error;        // non-empty when the file exists but could not be read
};

// A file that an earlier version of the program wrote as UTF-8 is read back
// into 1251 bytes when that is exactly what it holds (valid UTF-8 with non-
// ASCII characters, every one of them a 1251 character); any other file is
// taken byte for byte.
TExcludeLoad loadExcludeList(const QString& Path);

// Replaces the file's content with Entries (an empty list gives an empty
// file), creating its folder when needed. The old content stays intact
// when writing fails. Returns an empty text, or the reason of the failure.
QString saveExcludeList(const QString& Path, const std::vector<std::string>& Entries);

// Splits Data at CR, LF or CR LF; a final line end gives no empty last line.
std::vector<std::string> splitLines(const QByteArray& Data);

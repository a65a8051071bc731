#pragma once

#include <QString>
#include <QStringList>

// The exclusion list file: one phone file name per line. Written as UTF-8
// with CR LF line ends; read as UTF-8, or as code page 1251 (the phones'
// own) when the file is not valid UTF-8; CR, LF or CR LF end a line.
struct TExcludeLoad {
    QStringList Entries;
    bool Exists = false;  // false: no file yet, which is no error
    QString Error;        // non-empty when the file exists but could not be read
};

TExcludeLoad loadExcludeList(const QString& Path);

// Replaces the file's content with Entries (an empty list gives an empty
// file), creating its folder when needed. The old content stays intact
// when writing fails. Returns an empty text, or the reason of the failure.
QString saveExcludeList(const QString& Path, const QStringList& Entries);

// Splits text at CR, LF or CR LF; a final line end gives no empty last line.
QStringList splitLines(const QString& Text);

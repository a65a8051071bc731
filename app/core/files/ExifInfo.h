#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <optional>

// What a JPEG's EXIF block says of the picture: when it was taken, the
// camera, and the small thumbnail most cameras embed. Phone data is
// untrusted: a missing, cut or malformed block gives empty fields, never
// more than the bytes hold.
struct TExifInfo {
    // DateTimeOriginal, or DateTime when that is missing; local time, as
    // cameras write it (EXIF dates carry no time zone).
    std::optional<QDateTime> Taken;
    QString CameraModel;
    QByteArray Thumbnail;  // an embedded JPEG thumbnail, as stored
};

// Reads the EXIF block at the start of a JPEG; Data may be the first blocks
// of the file only.
TExifInfo readExifInfo(const QByteArray& Data);

// "YYYY:MM:DD HH:MM:SS" as EXIF writes dates; nothing for anything else,
// the all-zero date of cameras without a clock included.
std::optional<QDateTime> parseExifDate(const QByteArray& Text);

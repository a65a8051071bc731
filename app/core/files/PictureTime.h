#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

// The first bytes of a picture that its EXIF block must lie in: the block
// sits right after the JPEG's header and holds at most 64 KB.
inline constexpr qint64 PictureHeadBytes = qint64{64} * 1024;

// Gives the local picture at Path the modification time its EXIF block
// says it was taken (DateTimeOriginal, else DateTime). Returns that time;
// nothing when the file carries no readable date or the time could not be
// set, and the file then keeps the time it has.
std::optional<QDateTime> applyPictureTime(const QString& Path);

// The time the local picture at Path was taken, from its EXIF block
// (DateTimeOriginal, else DateTime); nothing when it carries no readable
// date or cannot be read.
std::optional<QDateTime> pictureTakenTime(const QString& Path);

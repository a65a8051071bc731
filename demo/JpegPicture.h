#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QImage>
#include <QString>
#include <cstdint>

// A landscape of the given size, the same for the same seed: sky, sun or
// moon, hills, water and a camera's date stamp in the corner.
QImage drawLandscape(int Width, int Height, uint32_t Seed, const QString& Stamp);

// The image as a baseline JPEG of the given quality (1..100).
QByteArray encodeJpeg(const QImage& Image, int Quality);

// Pads a JPEG to exactly Bytes with comment segments placed after its
// header, which every decoder skips. Empty when Bytes is less than the
// JPEG's size plus one segment (4 bytes), or the data is not a JPEG.
QByteArray padJpeg(const QByteArray& Jpeg, qsizetype Bytes);

// The image as a JPEG of exactly Bytes: the best quality that leaves room
// for the padding. Empty when even the lowest quality is too large.
QByteArray jpegOfSize(const QImage& Image, qsizetype Bytes);

// The JPEG with an EXIF block after its header, as a phone camera writes
// one: the time the picture was taken (DateTimeOriginal, and DateTime too
// unless OriginalOnly), the camera model and an embedded JPEG thumbnail.
// Fields left empty (an invalid time, an empty model or thumbnail) are not
// written. Empty when the data is not a JPEG.
QByteArray withExif(const QByteArray& Jpeg, const QDateTime& Taken, const QString& Model,
                    const QByteArray& Thumbnail, bool OriginalOnly = false);

#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <string>

#include "core/files/JpegHead.h"

// The decisions behind picture previews, as plain functions: which files
// have a picture, what the first bytes of a file say it is, and the key a
// thumbnail is kept under. How much of a JPEG's head holds its EXIF block is
// in core/files/JpegHead.h.

// Bytes asked of the phone per preview read.
inline constexpr int32_t PreviewBlockSize = 4000;
// The largest picture read whole to draw its preview; a larger one without
// an embedded thumbnail gets none (its bytes would cost too long a read and
// too much memory to decode).
inline constexpr int32_t MaxWholePicture = 8 * 1024 * 1024;

// Whether a phone file (phone bytes) is a picture a preview is drawn of:
// its name ends in .jpg, .jpeg, .png, .gif or .bmp, in any letter case.
bool isPreviewPicture(const std::string& PhoneName);

// What a file's first bytes say it is.
enum class TImageSignature { Unknown, NeedMore, Jpeg, Png, Gif, Bmp };
TImageSignature imageSignature(const QByteArray& Head);

// The identity of a phone as far as it stays the same from one plug to the
// next: its USB hardware id and the "model [firmware]" it reported. Empty
// when the phone reported neither model nor firmware, whose thumbnails are
// then not kept: two such phones could not be told apart.
QString phoneIdentity(const std::string& HardwareId, const QString& PhoneEntry);
// The key of a file's thumbnail: 40 hex digits of a hash of the phone's
// identity, the file's phone path and its size, so that a file replaced by
// another of a new size is fetched again.
QString previewKey(const QString& Identity, const std::string& PhoneName, int32_t Size);
// Whether Text has the form of a key (and so may name a cache file).
bool isPreviewKey(const QString& Text);

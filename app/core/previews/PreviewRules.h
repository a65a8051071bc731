#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <string>

// The decisions behind picture previews, as plain functions: which files
// have a picture, how much of a JPEG's head holds its EXIF block, what the
// first bytes of a file say it is, and the key a thumbnail is kept under.

// Bytes asked of the phone per preview read.
inline constexpr int32_t PreviewBlockSize = 4000;
// The most of a file's head read in search of its EXIF block: an APP1
// segment is at most 64 KB, and a few other segments may come first.
inline constexpr qsizetype MaxExifHead = qsizetype{128} * 1024;
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

// How far the head of a JPEG read so far goes towards its EXIF block.
struct TJpegHead {
    enum TKind {
        NeedMore,  // the segments read so far are all headers: read on
        Exif,      // the EXIF segment is complete within End bytes
        NoExif,    // the picture data begins (or the head is malformed) first
    };
    TKind Kind = NeedMore;
    qsizetype End = 0;  // Exif: the bytes up to the end of its segment
};
// Walks the header segments (APPn and comments) from the start of the
// image. Head may be any prefix of the file; a segment whose length field
// lies past MaxExifHead counts as NoExif, so that a hostile file cannot make
// the search read far.
TJpegHead scanJpegHead(const QByteArray& Head);

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

#pragma once

#include <QByteArray>

// How much of a JPEG's head holds its EXIF block: what a preview reads of a
// phone file, and what a download reads to know the date a picture was
// taken before fetching it whole.

// The most of a file's head read in search of its EXIF block: an APP1
// segment is at most 64 KB, and a few other segments may come first.
inline constexpr qsizetype MaxExifHead = qsizetype{128} * 1024;

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

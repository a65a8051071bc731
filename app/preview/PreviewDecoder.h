#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <optional>

class TPreviewFetcher;

// The edge of the square a kept thumbnail fits in: what the preview pane
// shows, and the icons of the list and the grid are drawn from.
inline constexpr int ThumbnailEdge = 192;
// Pictures with more pixels than this are not decoded: a header can claim
// any size, and phones never took pictures this large.
inline constexpr qint64 MaxDecodePixels = 20'000'000;

// The picture in Data (JPEG, PNG, GIF or BMP, told by its bytes, whatever
// the file was named), decoded straight to a size that fits Box, never
// larger than it is: a JPEG is decoded at the reduced size itself, so no
// full-size copy is made. A null image for anything that is not a whole
// picture: a JPEG cut short (no end marker after its last scan), damaged
// data, an unknown format, an empty or oversized picture.
QImage decodePreview(const QByteArray& Data, QSize Box);

// An image as it is kept: JPEG, or PNG when it has transparent parts.
// Empty when it cannot be encoded.
QByteArray encodeThumbnail(const QImage& Image);

// A kept thumbnail of the picture in Data; nothing when it does not decode.
std::optional<QByteArray> makeThumbnail(const QByteArray& Data);

// Lets the fetcher make thumbnails of what it reads.
void installThumbnailMaker(TPreviewFetcher& Fetcher);

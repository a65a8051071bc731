#include "core/files/JpegHead.h"

#include <algorithm>
#include <cstdint>

namespace {

// JPEG markers: every segment begins with 0xFF and its code.
constexpr uint8_t Prefix = 0xFF;
constexpr uint8_t StartOfImage = 0xD8;
constexpr uint8_t App0 = 0xE0;
constexpr uint8_t App1 = 0xE1;
constexpr uint8_t App15 = 0xEF;
constexpr uint8_t Comment = 0xFE;

uint8_t at(const QByteArray& B, qsizetype I) {
    return static_cast<uint8_t>(B[I]);
}

bool startsWith(const QByteArray& Head, const char* Magic, qsizetype Length) {
    return Head.size() >= Length && std::equal(Magic, Magic + Length, Head.constData());
}

}  // namespace

TJpegHead scanJpegHead(const QByteArray& Head) {
    const qsizetype n = Head.size();
    if (n < 2) {
        return {};
    }
    if (at(Head, 0) != Prefix || at(Head, 1) != StartOfImage) {
        return {TJpegHead::NoExif, 0};
    }
    qsizetype pos = 2;
    while (true) {
        // A marker may be preceded by any number of 0xFF fill bytes.
        while (pos < n && at(Head, pos) == Prefix && pos + 1 < n && at(Head, pos + 1) == Prefix) {
            ++pos;
        }
        if (pos + 4 > n) {
            return {TJpegHead::NeedMore, 0};
        }
        if (at(Head, pos) != Prefix) {
            return {TJpegHead::NoExif, 0};
        }
        const uint8_t marker = at(Head, pos + 1);
        if (!((marker >= App0 && marker <= App15) || marker == Comment)) {
            return {TJpegHead::NoExif, 0};  // tables or frame: the headers are over
        }
        const qsizetype length = (qsizetype(at(Head, pos + 2)) << 8) | at(Head, pos + 3);
        const qsizetype end = pos + 2 + length;
        if (length < 2 || end > MaxExifHead) {
            return {TJpegHead::NoExif, 0};
        }
        if (marker == App1) {
            // The EXIF segment's payload begins with "Exif\0\0"; an APP1 of
            // another kind (XMP) is skipped like any other.
            if (pos + 10 > n) {
                return {TJpegHead::NeedMore, 0};
            }
            if (startsWith(Head.mid(pos + 4, 6), "Exif\0\0", 6)) {
                return end <= n ? TJpegHead{TJpegHead::Exif, end}
                                : TJpegHead{TJpegHead::NeedMore, 0};
            }
        }
        pos = end;
    }
}

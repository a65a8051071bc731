#include "JpegPicture.h"

#include <libexif/exif-data.h>

#include <cstring>

#include <QBuffer>
#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace {

// Markers of a JPEG stream: start of image, the JFIF header, a comment.
constexpr uint8_t MarkerPrefix = 0xFF;
constexpr uint8_t StartOfImage = 0xD8;
constexpr uint8_t App0 = 0xE0;
constexpr uint8_t Comment = 0xFE;
// A segment is its marker (2 bytes) and a length (2 bytes) that counts
// itself and the payload, at most 65535.
constexpr qsizetype SegmentHeader = 4;
constexpr qsizetype MaxSegment = 2 + 65535;

// A small deterministic generator, so the same seed draws the same picture.
class TDice {
  public:
    explicit TDice(uint32_t Seed) : x_(Seed * 2654435761u + 12345u) {}
    int Below(int N) {
        x_ = x_ * 1103515245u + 12345u;
        return int((x_ >> 8) % uint32_t(std::max(N, 1)));
    }

  private:
    uint32_t x_;
};

uint8_t at(const QByteArray& B, qsizetype I) {
    return uint8_t(B[I]);
}

// Where the comment goes: after the JFIF header when there is one, else
// right after the start of the image.
qsizetype headerEnd(const QByteArray& Jpeg) {
    if (Jpeg.size() < 4 || at(Jpeg, 0) != MarkerPrefix || at(Jpeg, 1) != StartOfImage) {
        return -1;
    }
    if (at(Jpeg, 2) == MarkerPrefix && at(Jpeg, 3) == App0 && Jpeg.size() >= 6) {
        const qsizetype length = (qsizetype(at(Jpeg, 4)) << 8) | at(Jpeg, 5);
        if (length >= 2 && 4 + length <= Jpeg.size()) {
            return 4 + length;
        }
        return -1;
    }
    return 2;
}

QByteArray commentSegment(qsizetype Total) {
    static const QByteArray Text = QByteArrayLiteral("Snaprill demo picture. ");
    const qsizetype payload = Total - SegmentHeader;
    QByteArray s;
    s.reserve(Total);
    s.append(char(MarkerPrefix)).append(char(Comment));
    s.append(char(((payload + 2) >> 8) & 0xFF)).append(char((payload + 2) & 0xFF));
    for (qsizetype i = 0; i < payload; ++i) {
        s.append(Text[i % Text.size()]);
    }
    return s;
}

}  // namespace

QImage drawLandscape(int Width, int Height, uint32_t Seed, const QString& Stamp) {
    TDice dice(Seed);
    QImage image(Width, Height, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const bool night = dice.Below(4) == 0;
    const int hue = dice.Below(360);

    QLinearGradient sky(0, 0, 0, Height * 0.7);
    sky.setColorAt(0, night ? QColor::fromHsv(230, 160, 40) : QColor::fromHsv(hue, 120, 235));
    sky.setColorAt(
        1, night ? QColor::fromHsv(250, 120, 90) : QColor::fromHsv((hue + 40) % 360, 60, 255));
    p.fillRect(image.rect(), sky);

    // Sun or moon.
    const int r = std::max(4, Height / (6 + dice.Below(4)));
    const QPointF centre(Width * (0.15 + dice.Below(70) / 100.0),
                         Height * (0.15 + dice.Below(25) / 100.0));
    p.setPen(Qt::NoPen);
    p.setBrush(night ? QColor(235, 235, 210) : QColor::fromHsv(40 + dice.Below(20), 200, 255));
    p.drawEllipse(centre, r, r);

    // Two or three rows of hills, darker towards the front.
    const int rows = 2 + dice.Below(2);
    for (int row = 0; row < rows; ++row) {
        QPainterPath hills;
        const double base = Height * (0.55 + 0.1 * row);
        hills.moveTo(0, Height);
        hills.lineTo(0, base);
        const int bumps = 2 + dice.Below(4);
        for (int i = 0; i < bumps; ++i) {
            const double x0 = Width * i / double(bumps);
            const double x1 = Width * (i + 1) / double(bumps);
            const double top = base - Height * (0.05 + dice.Below(20) / 100.0);
            hills.quadTo((x0 + x1) / 2, top, x1, base);
        }
        hills.lineTo(Width, Height);
        hills.closeSubpath();
        const int value = (night ? 70 : 170) - 45 * row;
        p.setBrush(QColor::fromHsv((hue + 100 + 20 * row) % 360, 110, std::max(value, 20)));
        p.drawPath(hills);
    }

    // Water in front, with a few glints.
    const double shore = Height * 0.82;
    QLinearGradient water(0, shore, 0, Height);
    water.setColorAt(0, QColor::fromHsv(200, 150, night ? 80 : 200));
    water.setColorAt(1, QColor::fromHsv(215, 180, night ? 40 : 120));
    p.fillRect(QRectF(0, shore, Width, Height - shore), water);
    p.setBrush(QColor(255, 255, 255, 90));
    for (int i = 0; i < 6; ++i) {
        const double y = shore + (Height - shore) * (0.2 + dice.Below(70) / 100.0);
        p.drawRect(
            QRectF(Width * dice.Below(90) / 100.0, y, Width * 0.08, std::max(1.0, Height / 160.0)));
    }

    if (!Stamp.isEmpty()) {
        QFont font;
        font.setPixelSize(std::max(8, Height / 16));
        font.setBold(true);
        p.setFont(font);
        p.setPen(QColor(255, 150, 40));
        const int margin = std::max(2, Height / 40);
        p.drawText(image.rect().adjusted(margin, margin, -margin, -margin),
                   Qt::AlignRight | Qt::AlignBottom, Stamp);
    }
    return image;
}

QByteArray encodeJpeg(const QImage& Image, int Quality) {
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    if (!Image.save(&buffer, "JPEG", Quality)) {
        return {};
    }
    return out;
}

QByteArray padJpeg(const QByteArray& Jpeg, qsizetype Bytes) {
    const qsizetype insertAt = headerEnd(Jpeg);
    qsizetype missing = Bytes - Jpeg.size();
    if (insertAt < 0 || missing < SegmentHeader) {
        return {};
    }
    QByteArray padding;
    while (missing > 0) {
        qsizetype segment = std::min(missing, MaxSegment);
        if (missing - segment > 0 && missing - segment < SegmentHeader) {
            segment = missing - SegmentHeader;  // leave room for one more whole segment
        }
        padding += commentSegment(segment);
        missing -= segment;
    }
    QByteArray out = Jpeg;
    out.insert(insertAt, padding);
    return out;
}

QByteArray jpegOfSize(const QImage& Image, qsizetype Bytes) {
    for (int quality = 95; quality >= 5; quality -= 5) {
        const QByteArray jpeg = encodeJpeg(Image, quality);
        if (!jpeg.isEmpty() && jpeg.size() + SegmentHeader <= Bytes) {
            return padJpeg(jpeg, Bytes);
        }
    }
    return {};
}

namespace {

// An ASCII entry of Text (NUL-terminated, as EXIF keeps texts) in Ifd.
void putAscii(ExifData* Exif, ExifMem* Mem, ExifIfd Ifd, ExifTag Tag, const QByteArray& Text) {
    ExifEntry* e = exif_entry_new_mem(Mem);
    e->tag = Tag;
    e->format = EXIF_FORMAT_ASCII;
    e->components = static_cast<unsigned long>(Text.size() + 1);
    e->size = static_cast<unsigned int>(Text.size() + 1);
    e->data = static_cast<unsigned char*>(exif_mem_alloc(Mem, e->size));
    std::memcpy(e->data, Text.constData(), static_cast<size_t>(Text.size()));
    exif_content_add_entry(Exif->ifd[Ifd], e);
    exif_entry_unref(e);
}

}  // namespace

QByteArray withExif(const QByteArray& Jpeg, const QDateTime& Taken, const QString& Model,
                    const QByteArray& Thumbnail, bool OriginalOnly) {
    const qsizetype at = headerEnd(Jpeg);
    if (at < 0) {
        return {};
    }
    ExifMem* mem = exif_mem_new_default();
    ExifData* exif = exif_data_new_mem(mem);
    exif_data_set_byte_order(exif, EXIF_BYTE_ORDER_INTEL);
    if (Taken.isValid()) {
        const QByteArray date = Taken.toString(QStringLiteral("yyyy:MM:dd HH:mm:ss")).toLatin1();
        putAscii(exif, mem, EXIF_IFD_EXIF, EXIF_TAG_DATE_TIME_ORIGINAL, date);
        if (!OriginalOnly) {
            putAscii(exif, mem, EXIF_IFD_0, EXIF_TAG_DATE_TIME, date);
        }
    }
    if (!Model.isEmpty()) {
        putAscii(exif, mem, EXIF_IFD_0, EXIF_TAG_MODEL, Model.toLatin1());
    }
    if (!Thumbnail.isEmpty()) {
        exif->size = static_cast<unsigned int>(Thumbnail.size());
        exif->data = static_cast<unsigned char*>(exif_mem_alloc(mem, exif->size));
        std::memcpy(exif->data, Thumbnail.constData(), static_cast<size_t>(Thumbnail.size()));
    }
    unsigned char* block = nullptr;
    unsigned int size = 0;
    exif_data_save_data(exif, &block, &size);
    QByteArray segment;
    if (block && size + 2 <= 0xFFFF) {
        segment.append(char(MarkerPrefix)).append(char(0xE1));
        segment.append(char(((size + 2) >> 8) & 0xFF)).append(char((size + 2) & 0xFF));
        segment.append(reinterpret_cast<const char*>(block), static_cast<qsizetype>(size));
    }
    exif_mem_free(mem, block);
    exif_data_unref(exif);
    exif_mem_unref(mem);
    if (segment.isEmpty()) {
        return {};
    }
    return Jpeg.left(at) + segment + Jpeg.mid(at);
}

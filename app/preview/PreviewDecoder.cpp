#include "preview/PreviewDecoder.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>

#include "core/previews/PreviewFetcher.h"
#include "core/previews/PreviewRules.h"

namespace {

// A JPEG is whole when an end-of-image marker follows its last
// start-of-scan marker. Neither can appear inside the entropy-coded data
// (a 0xFF there is always followed by 0x00 or a restart marker), and an
// embedded thumbnail's own markers all come before the picture's scan.
bool wholeJpeg(const QByteArray& Data) {
    const qsizetype scan = Data.lastIndexOf(QByteArrayView("\xFF\xDA", 2));
    const qsizetype end = Data.lastIndexOf(QByteArrayView("\xFF\xD9", 2));
    return scan > 0 && end > scan;
}

}  // namespace

QImage decodePreview(const QByteArray& Data, QSize Box) {
    const TImageSignature kind = imageSignature(Data);
    if (kind == TImageSignature::Unknown || kind == TImageSignature::NeedMore || Box.isEmpty()) {
        return {};
    }
    if (kind == TImageSignature::Jpeg && !wholeJpeg(Data)) {
        return {};
    }
    QByteArray copy = Data;  // QBuffer needs a byte array it may point into
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);  // the EXIF orientation, as cameras mean it
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty() ||
        qint64(size.width()) * qint64(size.height()) > MaxDecodePixels) {
        return {};
    }
    if (size.width() > Box.width() || size.height() > Box.height()) {
        reader.setScaledSize(size.scaled(Box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    }
    QImage image = reader.read();
    if (image.isNull()) {
        return {};
    }
    // A turned picture has its sides swapped after scaling: fit it again.
    if (image.width() > Box.width() || image.height() > Box.height()) {
        image = image.scaled(Box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    return image;
}

QByteArray encodeThumbnail(const QImage& Image) {
    if (Image.isNull()) {
        return {};
    }
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    const bool alpha = Image.hasAlphaChannel();
    QImageWriter writer(&buffer, alpha ? "png" : "jpeg");
    if (!alpha) {
        writer.setQuality(85);
    }
    if (!writer.write(Image)) {
        return {};
    }
    return out;
}

std::optional<QByteArray> makeThumbnail(const QByteArray& Data) {
    const QByteArray bytes =
        encodeThumbnail(decodePreview(Data, QSize(ThumbnailEdge, ThumbnailEdge)));
    if (bytes.isEmpty()) {
        return std::nullopt;
    }
    return bytes;
}

void installThumbnailMaker(TPreviewFetcher& Fetcher) {
    Fetcher.SetThumbnailMaker(&makeThumbnail);
}

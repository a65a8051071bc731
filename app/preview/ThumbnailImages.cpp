#include "preview/ThumbnailImages.h"

#include <QPixmap>

#include "preview/PreviewDecoder.h"

namespace {

QPixmap fitted(const QImage& Image, int Edge) {
    const QImage small =
        Image.width() > Edge || Image.height() > Edge
            ? Image.scaled(Edge, Edge, Qt::KeepAspectRatio, Qt::SmoothTransformation)
            : Image;
    return QPixmap::fromImage(small);
}

qint64 pixmapBytes(const QPixmap& P) {
    return qint64(P.width()) * P.height() * std::max(P.depth() / 8, 1);
}

}  // namespace

TThumbnailImages::TThumbnailImages(qint64 MaxBytes) : icons_(MaxBytes) {}

std::optional<TThumbnailImages::TPicture> TThumbnailImages::Picture(TThumbnailCache& Cache,
                                                                    const QString& Key) {
    std::optional<TThumbnailEntry> entry = Cache.Get(Key);
    if (!entry) {
        return std::nullopt;
    }
    // Decoded with the same care as the phone's pictures: the cache folder
    // is the user's, and its files may be anything.
    QImage image = decodePreview(entry->Image, QSize(ThumbnailEdge, ThumbnailEdge));
    if (image.isNull()) {
        Cache.Remove(Key);  // not a picture: fetched again on the next list
        return std::nullopt;
    }
    return TPicture{std::move(image), std::move(*entry)};
}

QIcon TThumbnailImages::Icon(TThumbnailCache& Cache, const QString& Key) {
    if (const QIcon* held = icons_.object(Key)) {
        return *held;
    }
    const std::optional<TPicture> picture = Picture(Cache, Key);
    if (!picture) {
        return {};
    }
    const QPixmap list = fitted(picture->Image, ListEdge);
    const QPixmap grid = fitted(picture->Image, GridEdge);
    auto* icon = new QIcon;
    icon->addPixmap(list);
    icon->addPixmap(grid);
    const QIcon out = *icon;
    icons_.insert(Key, icon, pixmapBytes(list) + pixmapBytes(grid));
    return out;
}

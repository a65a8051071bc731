#pragma once

#include <QCache>
#include <QIcon>
#include <QImage>
#include <QString>
#include <optional>

#include "core/previews/ThumbnailCache.h"

// The kept thumbnails as a view draws them: icons made from the cache's
// entries on first use and held for the rows on screen, within a bound in
// bytes (the least recently used go first). The pictures themselves stay
// in the cache, so memory does not grow with the number of thumbnails.
class TThumbnailImages {
  public:
    // The icon sizes of the list and of the icon grid.
    static constexpr int ListEdge = 32;
    static constexpr int GridEdge = 96;
    static constexpr qint64 DefaultMaxBytes = qint64{16} * 1024 * 1024;

    explicit TThumbnailImages(qint64 MaxBytes = DefaultMaxBytes);

    // The icon of the thumbnail kept under Key, drawn for both sizes; a null
    // icon when the cache has none, or one that does not decode.
    QIcon Icon(TThumbnailCache& Cache, const QString& Key);
    // The thumbnail at its kept size, with what its EXIF block said; not
    // held here (the preview pane shows one at a time).
    struct TPicture {
        QImage Image;
        TThumbnailEntry Entry;
    };
    std::optional<TPicture> Picture(TThumbnailCache& Cache, const QString& Key);

    void Clear() { icons_.clear(); }
    int Held() const { return static_cast<int>(icons_.count()); }

  private:
    QCache<QString, QIcon> icons_;
};

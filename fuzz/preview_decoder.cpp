// What a phone hands out as a picture: its head searched for an EXIF block,
// decoded small, made into a kept thumbnail; and any bytes read as a kept
// thumbnail's file. A decoded picture always fits its box, a kept thumbnail
// always decodes again, and the EXIF search never claims bytes it was not
// given.

#include <QByteArray>
#include <QCoreApplication>
#include <QImage>

#include "FuzzPhone.h"
#include "core/files/ExifInfo.h"
#include "core/previews/PreviewRules.h"
#include "core/previews/ThumbnailCache.h"
#include "preview/PreviewDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    // Image format plugins are found through the application's paths.
    static int argc = 1;
    static char name[] = "fuzz_preview_decoder";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);

    const QByteArray bytes(reinterpret_cast<const char*>(Data), qsizetype(Size));
    const TJpegHead head = scanJpegHead(bytes);
    if (head.Kind == TJpegHead::Exif) {
        FUZZ_CHECK(head.End > 4 && head.End <= bytes.size() && head.End <= MaxExifHead);
        readExifInfo(bytes.left(head.End));
    }
    const QSize box(ThumbnailEdge, ThumbnailEdge);
    const QImage image = decodePreview(bytes, box);
    FUZZ_CHECK(image.isNull() || (image.width() <= box.width() && image.height() <= box.height()));
    if (const auto thumbnail = makeThumbnail(bytes)) {
        FUZZ_CHECK(!image.isNull());
        FUZZ_CHECK(!decodePreview(*thumbnail, box).isNull());
    }
    if (const auto entry = TThumbnailCache::Deserialize(bytes)) {
        FUZZ_CHECK(!entry->Image.isEmpty());
        FUZZ_CHECK(TThumbnailCache::Deserialize(TThumbnailCache::Serialize(*entry)).has_value());
    }
    return 0;
}

#include "core/files/ExifInfo.h"

#include <libexif/exif-data.h>
#include <libexif/exif-loader.h>

#include <memory>

namespace {

struct TExifFree {
    void operator()(ExifData* D) const { exif_data_unref(D); }
};
struct TLoaderFree {
    void operator()(ExifLoader* L) const { exif_loader_unref(L); }
};

// The entry's ASCII text up to its first NUL, within the entry's own size.
QByteArray asciiOf(ExifEntry* Entry) {
    if (!Entry || Entry->format != EXIF_FORMAT_ASCII || !Entry->data) {
        return {};
    }
    const QByteArray raw(reinterpret_cast<const char*>(Entry->data),
                         static_cast<qsizetype>(Entry->size));
    const qsizetype end = raw.indexOf('\0');
    return end < 0 ? raw : raw.left(end);
}

QByteArray tagText(ExifData* Data, ExifIfd Ifd, ExifTag Tag) {
    return asciiOf(exif_content_get_entry(Data->ifd[Ifd], Tag));
}

}  // namespace

std::optional<QDateTime> parseExifDate(const QByteArray& Text) {
    const QByteArray t = Text.trimmed();
    if (t.size() != 19) {
        return std::nullopt;
    }
    const QDateTime d =
        QDateTime::fromString(QString::fromLatin1(t), QStringLiteral("yyyy:MM:dd HH:mm:ss"));
    if (!d.isValid() || d.date().year() < 1900) {
        return std::nullopt;
    }
    return d;
}

TExifInfo readExifInfo(const QByteArray& Data) {
    TExifInfo info;
    std::unique_ptr<ExifLoader, TLoaderFree> loader(exif_loader_new());
    if (!loader || Data.isEmpty()) {
        return info;
    }
    // The loader finds the APP1 block in a JPEG's first bytes and stops
    // once it has it; it never reads past the bytes given.
    exif_loader_write(loader.get(),
                      reinterpret_cast<unsigned char*>(const_cast<char*>(Data.constData())),
                      static_cast<unsigned int>(Data.size()));
    std::unique_ptr<ExifData, TExifFree> exif(exif_loader_get_data(loader.get()));
    if (!exif) {
        return info;
    }
    info.Taken = parseExifDate(tagText(exif.get(), EXIF_IFD_EXIF, EXIF_TAG_DATE_TIME_ORIGINAL));
    if (!info.Taken) {
        info.Taken = parseExifDate(tagText(exif.get(), EXIF_IFD_0, EXIF_TAG_DATE_TIME));
    }
    info.CameraModel =
        QString::fromLatin1(tagText(exif.get(), EXIF_IFD_0, EXIF_TAG_MODEL)).trimmed();
    if (exif->data && exif->size > 0) {
        info.Thumbnail = QByteArray(reinterpret_cast<const char*>(exif->data),
                                    static_cast<qsizetype>(exif->size));
    }
    return info;
}

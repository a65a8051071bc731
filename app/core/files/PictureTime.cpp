#include "core/files/PictureTime.h"

#include <QFile>

#include "core/files/ExifInfo.h"
#include "core/files/JpegHead.h"

std::optional<QDateTime> applyPictureTime(const QString& Path) {
    QFile f(Path);
    if (!f.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const std::optional<QDateTime> taken = readExifInfo(f.read(PictureHeadBytes)).Taken;
    // Set through the open file: the time lands on the file just read, even
    // should its name be taken by another meanwhile.
    if (!taken || !f.setFileTime(*taken, QFileDevice::FileModificationTime)) {
        return std::nullopt;
    }
    return taken;
}

std::optional<QDateTime> pictureTakenTime(const QString& Path) {
    QFile f(Path);
    if (!f.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    return readExifInfo(f.read(MaxExifHead)).Taken;
}

// The EXIF reader: any bytes as the head of a downloaded picture. What it
// reports comes from those bytes: a thumbnail lies inside them, a date is
// the very text it was read from and reads back to the same time, and the
// camera model is no longer than the input.

#include <QByteArray>
#include <QString>

#include "FuzzPhone.h"
#include "core/files/ExifInfo.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    // A copy, so that a read past the input's end shows under the sanitizer.
    const QByteArray bytes(reinterpret_cast<const char*>(Data), qsizetype(Size));
    const TExifInfo info = readExifInfo(bytes);
    FUZZ_CHECK(info.Thumbnail.isEmpty() || bytes.contains(info.Thumbnail));
    FUZZ_CHECK(info.CameraModel.size() <= qsizetype(Size));
    if (info.Taken) {
        FUZZ_CHECK(info.Taken->isValid());
        const QByteArray text =
            info.Taken->toString(QStringLiteral("yyyy:MM:dd HH:mm:ss")).toLatin1();
        FUZZ_CHECK(bytes.contains(text));
        FUZZ_CHECK(parseExifDate(text) == info.Taken);
    }
    return 0;
}

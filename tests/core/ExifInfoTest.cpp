// The EXIF reader on pictures made as phone cameras make them, and on what
// a phone may hand out instead.
#include <gtest/gtest.h>

#include "JpegPicture.h"
#include "core/SessionFixture.h"
#include "core/files/ExifInfo.h"

namespace {

QByteArray picture() {
    test::coreApp();
    return encodeJpeg(drawLandscape(160, 120, 7, QStringLiteral("07/05/2006")), 80);
}
const QDateTime Taken(QDate(2006, 7, 5), QTime(18, 30, 2));

}  // namespace

TEST(ExifInfo, DatesModelAndThumbnail) {
    test::coreApp();
    const QByteArray thumb = encodeJpeg(drawLandscape(32, 24, 7, {}), 60);
    const QByteArray full = withExif(picture(), Taken, QStringLiteral("E398"), thumb);
    ASSERT_FALSE(full.isEmpty());
    const TExifInfo info = readExifInfo(full);
    EXPECT_EQ(info.Taken, Taken);
    EXPECT_EQ(info.CameraModel, QStringLiteral("E398"));
    EXPECT_EQ(info.Thumbnail, thumb);

    // DateTimeOriginal alone, and DateTime alone: either gives the time.
    EXPECT_EQ(readExifInfo(withExif(picture(), Taken, {}, {}, true)).Taken, Taken);
    // The first blocks of the file are enough.
    EXPECT_EQ(readExifInfo(full.left(full.indexOf(thumb) + thumb.size() + 10)).Thumbnail, thumb);

    // No EXIF block, no date; nothing of a cut block is made up.
    struct Case {
        const char* What;
        QByteArray Data;
    };
    const Case none[] = {
        {"no exif", picture()},
        {"not a jpeg", QByteArray("GIF89a not a picture at all")},
        {"empty", QByteArray()},
        {"cut in the block", full.left(40)},
        {"no date", withExif(picture(), QDateTime(), QStringLiteral("E398"), {})},
    };
    for (const Case& c : none) {
        const TExifInfo i = readExifInfo(c.Data);
        EXPECT_FALSE(i.Taken) << c.What;
        EXPECT_TRUE(i.Thumbnail.isEmpty() || c.Data.contains(i.Thumbnail)) << c.What;
    }
}

TEST(ExifInfo, DateTexts) {
    EXPECT_EQ(parseExifDate("2006:07:05 18:30:02"), Taken);
    for (const char* bad : {"0000:00:00 00:00:00", "2006-07-05 18:30:02", "2006:13:05 18:30:02",
                            "2006:07:05", "", "    :  :     :  :  "}) {
        EXPECT_FALSE(parseExifDate(bad)) << bad;
    }
}

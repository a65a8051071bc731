// The decisions behind previews, the decoder of what a phone gives, and the
// cache of thumbnails.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QTemporaryDir>

#include "JpegPicture.h"
#include "core/SessionFixture.h"
#include "core/files/ExifInfo.h"
#include "core/previews/PreviewRules.h"
#include "core/previews/ThumbnailCache.h"
#include "preview/PreviewDecoder.h"
#include "support/PreviewPictures.h"

namespace {

QByteArray bytesOf(const std::vector<uint8_t>& V) {
    return QByteArray(reinterpret_cast<const char*>(V.data()), qsizetype(V.size()));
}

QByteArray encoded(const QImage& Image, const char* Format) {
    QByteArray out;
    QBuffer b(&out);
    b.open(QIODevice::WriteOnly);
    QImageWriter(&b, Format).write(Image);
    return out;
}

}  // namespace

TEST(PreviewRules, PicturesByNameAndBytes) {
    for (const char* yes :
         {"/a/p.jpg", "/a/P.JPG", "/a/x.jpeg", "/b/i.Png", "/c/g.gif", "/d/b.BMP"}) {
        EXPECT_TRUE(isPreviewPicture(yes)) << yes;
    }
    for (const char* no : {"/a/p.jpg.txt", "/a/jpg", "/a.jpg/readme", "/a/p.", "", "/a/p.tiff"}) {
        EXPECT_FALSE(isPreviewPicture(no)) << no;
    }
    struct Case {
        QByteArray Head;
        TImageSignature Want;
    };
    const Case cases[] = {
        {QByteArray("\xFF\xD8\xFF\xE0\0\x10JF", 8), TImageSignature::Jpeg},
        {QByteArray("\x89PNG\r\n\x1a\n", 8), TImageSignature::Png},
        {"GIF89a..", TImageSignature::Gif},
        {"BM......", TImageSignature::Bmp},
        {"<html><b", TImageSignature::Unknown},
        {QByteArray("\xFF\xD8\x00\x00....", 8), TImageSignature::Unknown},
        {"GIF8", TImageSignature::NeedMore},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(imageSignature(c.Head), c.Want) << c.Head.toHex().toStdString();
    }
}

// How much of a JPEG's head the EXIF search reads: any prefix of the file,
// any header segments first, and lengths that lie.
TEST(PreviewRules, JpegHeadScan) {
    const QByteArray withThumb = bytesOf(test::cameraPicture(1, true));
    const QByteArray plain = encodeJpeg(drawLandscape(64, 48, 1, {}), 80);
    const TJpegHead full = scanJpegHead(withThumb);
    ASSERT_EQ(full.Kind, TJpegHead::Exif);
    EXPECT_GT(full.End, 1000);  // the thumbnail is in it
    EXPECT_FALSE(readExifInfo(withThumb.left(full.End)).Thumbnail.isEmpty());

    const QByteArray soi("\xFF\xD8", 2);
    auto segment = [](char Marker, const QByteArray& Payload) {
        const qsizetype n = Payload.size() + 2;
        return QByteArray("\xFF", 1) + Marker + char(n >> 8) + char(n & 0xFF) + Payload;
    };
    const QByteArray exif = segment('\xE1', QByteArray("Exif\0\0", 6) + QByteArray(40, 'e'));
    struct Case {
        const char* What;
        QByteArray Head;
        TJpegHead::TKind Want;
    };
    const Case cases[] = {
        {"cut in the EXIF block", withThumb.left(full.End - 1), TJpegHead::NeedMore},
        {"cut in a marker", withThumb.left(3), TJpegHead::NeedMore},
        {"no EXIF block", plain, TJpegHead::NoExif},
        {"not a JPEG", QByteArray("GIF89a"), TJpegHead::NoExif},
        {"XMP and a comment first",
         soi + segment('\xE1', "http://ns") + segment('\xFE', "hi") + exif, TJpegHead::Exif},
        {"fill bytes before a marker", soi + QByteArray("\xFF\xFF", 2) + exif, TJpegHead::Exif},
        {"a length under two", soi + QByteArray("\xFF\xE0\x00\x01", 4) + exif, TJpegHead::NoExif},
        {"a block past the search's end",
         soi + segment('\xE0', QByteArray(60000, 'a')) + segment('\xE2', QByteArray(60000, 'b')) +
             QByteArray("\xFF\xE1\xFF\xFF", 4),
         TJpegHead::NoExif},
        {"garbage after the start", soi + QByteArray("abcdef"), TJpegHead::NoExif},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(scanJpegHead(c.Head).Kind, c.Want) << c.What;
    }
}

TEST(PreviewRules, KeysFollowPhoneNameAndSize) {
    const QString id = phoneIdentity("USB\\VID_22B8&PID_4901", "E398 [0A]");
    const QString key = previewKey(id, "/a/p.jpg", 100);
    EXPECT_TRUE(isPreviewKey(key));
    EXPECT_EQ(key, previewKey(id, "/a/p.jpg", 100));
    for (const QString& other :
         {previewKey(id, "/a/p.jpg", 101), previewKey(id, "/a/q.jpg", 100),
          previewKey(phoneIdentity("USB\\VID_22B8&PID_4901", "E398 [0B]"), "/a/p.jpg", 100)}) {
        EXPECT_NE(other, key);
    }
    // A phone that told neither model nor firmware cannot be told apart.
    EXPECT_TRUE(phoneIdentity("USB\\VID_22B8&PID_4901", " []").isEmpty());
    for (const char* bad : {"", "../../etc/passwd", "ABCDEF0123456789ABCDEF0123456789ABCDEF01"}) {
        EXPECT_FALSE(isPreviewKey(QString::fromLatin1(bad))) << bad;
    }
}

// Every kind of picture decodes small; what is not a whole picture gives
// nothing.
TEST(PreviewDecoder, FitsTheBoxOrGivesNothing) {
    test::coreApp();
    const QImage big = drawLandscape(640, 480, 5, {});
    const QImage small = drawLandscape(40, 30, 5, {});
    const QByteArray jpeg = encodeJpeg(big, 85);
    // A frame header that claims 60000 x 60000 pixels.
    QByteArray huge = encodeJpeg(small, 85);
    const qsizetype frame = huge.indexOf("\xFF\xC0");
    ASSERT_GT(frame, 0);
    huge.replace(frame + 5, 4, QByteArray::fromHex("ea60ea60"));
    QImage alpha(50, 50, QImage::Format_ARGB32);
    alpha.fill(Qt::transparent);
    struct Case {
        const char* What;
        QByteArray Data;
        QSize Want;  // empty: nothing
    };
    const Case cases[] = {
        {"jpeg", jpeg, QSize(192, 144)},
        {"png", encoded(big, "png"), QSize(192, 144)},
        {"bmp", encoded(big, "bmp"), QSize(192, 144)},
        {"small, never enlarged", encodeJpeg(small, 85), QSize(40, 30)},
        {"jpeg cut short", jpeg.left(jpeg.size() - 10), QSize()},
        {"jpeg headers only", jpeg.left(600), QSize()},
        {"text", QByteArray(5000, 't'), QSize()},
        {"empty", QByteArray(), QSize()},
        {"png cut short", encoded(big, "png").left(2000), QSize()},
        {"huge", huge, QSize()},
    };
    for (const Case& c : cases) {
        const QImage image = decodePreview(c.Data, QSize(ThumbnailEdge, ThumbnailEdge));
        EXPECT_EQ(image.isNull() ? QSize() : image.size(), c.Want) << c.What;
        EXPECT_EQ(makeThumbnail(c.Data).has_value(), !c.Want.isEmpty()) << c.What;
    }
    // Transparent parts stay transparent: kept as PNG.
    EXPECT_TRUE(encodeThumbnail(alpha).startsWith("\x89PNG"));
    EXPECT_TRUE(encodeThumbnail(big).startsWith("\xFF\xD8"));
}

TEST(ThumbnailCache, KeepsBoundedEntriesOnDiskAndDropsDamagedOnes) {
    test::coreApp();
    QTemporaryDir tmp;
    const QString folder = tmp.path() + "/thumbs";
    const TThumbnailEntry entry{QByteArray(1000, 'i'), test::PictureTaken, "E398"};
    auto key = [](int I) { return previewKey("phone", "/a/p" + std::to_string(I) + ".jpg", 1); };
    const qint64 one = TThumbnailCache::Serialize(entry).size();
    {
        TThumbnailCache cache(folder, 3 * one);
        for (int i = 0; i < 5; ++i) {
            ASSERT_TRUE(cache.Put(key(i), entry)) << i;
        }
        // The oldest went first.
        EXPECT_EQ(cache.Count(), 3);
        EXPECT_FALSE(cache.Contains(key(0)));
        EXPECT_FALSE(cache.Contains(key(1)));
        EXPECT_FALSE(cache.Put("../x", entry));
        EXPECT_FALSE(cache.Put(key(9), TThumbnailEntry{}));
    }
    // Another run finds them, with what they said.
    QFile(folder + "/not-ours.thumb").open(QIODevice::WriteOnly);
    TThumbnailCache again(folder, 3 * one);
    EXPECT_EQ(again.Count(), 3);
    const auto got = again.Get(key(4));
    ASSERT_TRUE(got);
    EXPECT_EQ(got->Image, entry.Image);
    EXPECT_EQ(got->Taken, test::PictureTaken);
    EXPECT_EQ(got->CameraModel, "E398");

    // A damaged file is a miss, and goes.
    QFile damaged(folder + "/" + key(3) + ".thumb");
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
    damaged.write(TThumbnailCache::Serialize(entry).left(int(one) - 5));
    damaged.close();
    EXPECT_FALSE(again.Get(key(3)));
    EXPECT_FALSE(again.Contains(key(3)));
    EXPECT_FALSE(QFile::exists(damaged.fileName()));

    // Without a folder: the same rules, in memory.
    TThumbnailCache memory({}, 2 * one);
    for (int i = 0; i < 3; ++i) {
        memory.Put(key(i), entry);
    }
    EXPECT_EQ(memory.Count(), 2);
    EXPECT_FALSE(memory.Contains(key(0)));
    EXPECT_TRUE(memory.Get(key(2)));

    for (const QByteArray& bad :
         {QByteArray(), QByteArray("SNPTHMB1"), QByteArray("SNPTHMB1\xff\xff\xff\xf0", 12),
          TThumbnailCache::Serialize(entry) + "x", QByteArray("JUNK") + QByteArray(100, 0)}) {
        EXPECT_FALSE(TThumbnailCache::Deserialize(bad)) << bad.toHex().toStdString();
    }
}

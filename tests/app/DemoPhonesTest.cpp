// The demo's phones: real JPEG pictures with the sizes that matter to a
// download, and the window listing both phones, the one in modem mode
// switched.
#include <QBuffer>
#include <QDir>
#include <QImageReader>
#include <QRegularExpression>
#include <set>

#include "DemoPhones.h"
#include "JpegPicture.h"
#include "PhoneWindow.h"
#include "core/files/ListRules.h"
#include "core/files/TransferRules.h"
#include "support/Controls.h"
#include "wiring/BackendFactory.h"

namespace {

QImage decode(const QByteArray& Data, QByteArray* Format = nullptr) {
    QBuffer buffer;
    buffer.setData(Data);
    QImageReader reader(&buffer);
    if (Format != nullptr) {
        *Format = reader.format();
    }
    return reader.read();
}

QByteArray readAll(const QString& Path) {
    QFile f(Path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

TEST(DemoPhones, JpegPaddedToAnExactSize) {
    testApp();
    const QByteArray jpeg = encodeJpeg(drawLandscape(64, 48, 7, QStringLiteral("x")), 80);
    ASSERT_FALSE(jpeg.isEmpty());
    const qsizetype n = jpeg.size();
    // Comment segments are 4 to 65537 bytes: sizes around one and two.
    const qsizetype fits[] = {n,         n + 4,     n + 5,     n + 4000,  n + 65537,
                              n + 65538, n + 65540, n + 65541, n + 200000};
    for (qsizetype bytes : fits) {
        const QByteArray padded = bytes == n ? jpeg : padJpeg(jpeg, bytes);
        ASSERT_EQ(padded.size(), bytes) << bytes - n;
        QByteArray format;
        const QImage image = decode(padded, &format);
        EXPECT_EQ(format, "jpeg") << bytes - n;
        EXPECT_EQ(image.size(), QSize(64, 48)) << bytes - n;
    }
    for (qsizetype bytes : {n - 1, n + 1, n + 3}) {
        EXPECT_TRUE(padJpeg(jpeg, bytes).isEmpty()) << bytes - n;
    }
    EXPECT_TRUE(padJpeg(QByteArray(100, 'x'), 200).isEmpty());
    EXPECT_TRUE(jpegOfSize(drawLandscape(640, 480, 1, {}), 100).isEmpty());
}

TEST(DemoPhones, ADozenRealPicturesWithTheSizesThatMatter) {
    testApp();
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    ASSERT_EQ(makeDemoPhones(tmp.path()), QString());
    const QString folder = tmp.path() + "/" + DemoPhoneFolder + "/a/mobile/picture/";
    ASSERT_EQ(demoPictures().size(), 12u);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 12);

    const qsizetype small = downloadBlockSize(mmPhotoManager, false);
    const qsizetype large = downloadBlockSize(mmPhotoManager, true);
    int cyrillic = 0, oneLargeBlock = 0, oneByteEnd = 0;
    std::set<qsizetype> sizes;
    for (const TDemoPicture& p : demoPictures()) {
        const QString name = QString::fromUtf8(p.Name);
        const QByteArray data = readAll(folder + name);
        QByteArray format;
        EXPECT_EQ(decode(data, &format).size(), QSize(p.Width, p.Height)) << p.Name;
        EXPECT_EQ(format, "jpeg") << p.Name;
        if (p.Bytes > 0) {
            EXPECT_EQ(data.size(), p.Bytes) << p.Name;
        }
        sizes.insert(data.size());
        std::string phoneName;
        EXPECT_TRUE(Utf8ToPhoneText(p.Name, phoneName)) << p.Name;
        cyrillic += name.contains(QRegularExpression(QStringLiteral("[\\x{0400}-\\x{04FF}]")));
        oneLargeBlock += data.size() == large;
        oneByteEnd += data.size() % small == 1 && data.size() % large == 1;
    }
    EXPECT_EQ(sizes.size(), 12u);
    EXPECT_EQ(cyrillic, 1);
    EXPECT_EQ(oneLargeBlock, 1);
    EXPECT_EQ(oneByteEnd, 1);
    EXPECT_TRUE(QString(DemoModemFolder).endsWith(".modem"));
    for (const TDemoPicture& p : demoModemPictures()) {
        EXPECT_FALSE(
            decode(readAll(tmp.path() + "/" + DemoModemFolder + "/a/mobile/picture/" + p.Name))
                .isNull())
            << p.Name;
    }
}

TEST_F(PhoneWindowTest, DemoListsBothPhones) {
    ASSERT_EQ(makeDemoPhones(root + "/phones"), QString());
    qputenv("SNAPRILL_VIRTUAL_PHONES", (root + "/phones").toUtf8());
    std::unique_ptr<TBackendHolder> holder = createBackend();
    qunsetenv("SNAPRILL_VIRTUAL_PHONES");
    form = std::make_unique<TForm1>(holder->Backend(), config);
    ASSERT_TRUE(
        waitFor([&] { return test::control<QComboBox>(*form, "ComboBox1")->count() == 2; }, 10000))
        << log().join("\n").toStdString();
    EXPECT_EQ(test::control<QComboBox>(*form, "ComboBox1")->itemText(0),
              "V3 Razr [0A4A5A6A7A8A9B]");
    EXPECT_EQ(test::control<QComboBox>(*form, "ComboBox1")->itemText(1), "E398 [0E30491A2B3C4D]");
    ASSERT_TRUE(waitFor([&] { return list()->rowCount() == 12; }));
    EXPECT_TRUE(column(1).contains(
        QString::fromUtf8("/a/mobile/picture/\xd0\x94\xd0\xb0\xd1\x87\xd0\xb0.jpg")));
    form.reset();
}

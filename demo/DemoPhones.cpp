#include "DemoPhones.h"

#include <QDir>
#include <QFile>

#include "JpegPicture.h"

namespace {

const char* const PhoneIni =
    "; The demo's phone in P2K mode\n"
    "Model = V3 Razr\n"
    "Firmware = 0A4A5A6A7A8A9B\n"
    "FreeSpace = 3145728\n";
const char* const ModemIni =
    "; The demo's phone in modem mode: the program switches it to P2K mode\n"
    "Model = E398\n"
    "Firmware = 0E30491A2B3C4D\n"
    "FreeSpace = 1048576\n";
const char* const Notes =
    "Pictures of the Snaprill demo, drawn when the demo starts.\r\n"
    "File Manager mode lists this file too.\r\n";

QString writeFile(const QString& Path, const QByteArray& Data) {
    if (!QDir().mkpath(QFileInfo(Path).absolutePath())) {
        return QStringLiteral("cannot make the folder of %1").arg(Path);
    }
    QFile f(Path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(Data) != Data.size() ||
        !f.flush()) {
        return QStringLiteral("cannot write %1: %2").arg(Path, f.errorString());
    }
    return {};
}

QString writePictures(const QString& Folder, const std::vector<TDemoPicture>& Pictures,
                      uint32_t FirstSeed, const QString& Camera) {
    uint32_t seed = FirstSeed;
    for (const TDemoPicture& p : Pictures) {
        // A camera's date stamp, a day apart from one picture to the next.
        const int day = int(1 + seed % 28);
        const int minute = int(seed * 7 % 60);
        const QString stamp = QStringLiteral("2007-06-%1 18:%2")
                                  .arg(day, 2, 10, QLatin1Char('0'))
                                  .arg(minute, 2, 10, QLatin1Char('0'));
        const QImage image = drawLandscape(p.Width, p.Height, seed, stamp);
        QByteArray jpeg = p.Bytes > 0 ? jpegOfSize(image, p.Bytes) : encodeJpeg(image, 85);
        if (p.Bytes == 0 && !jpeg.isEmpty()) {
            // As the camera wrote it: when, which camera, and (most of them)
            // the small picture it embeds for a quick look.
            const QByteArray thumbnail =
                seed % 4 == 3 ? QByteArray() : encodeJpeg(drawLandscape(160, 120, seed, {}), 75);
            jpeg = withExif(jpeg, QDateTime(QDate(2007, 6, day), QTime(18, minute)), Camera,
                            thumbnail);
        }
        ++seed;
        const QString path = Folder + QLatin1Char('/') + QString::fromUtf8(p.Name);
        if (jpeg.isEmpty()) {
            return QStringLiteral("cannot encode %1").arg(path);
        }
        if (QString error = writeFile(path, jpeg); !error.isEmpty()) {
            return error;
        }
    }
    return {};
}

}  // namespace

const std::vector<TDemoPicture>& demoPictures() {
    static const std::vector<TDemoPicture> pictures = {
        {"beach.jpg", 640, 480, 0},
        {"birthday.jpg", 320, 240, 0},
        {"cat.jpg", 176, 220, 0},
        {"garden.jpg", 640, 480, 0},
        {"harbour.jpg", 1280, 960, 0},
        {"kids.jpg", 320, 240, 0},
        {"snow.jpg", 160, 120, 0},
        {"sunset.jpg", 800, 600, 0},
        {"\xd0\x94\xd0\xb0\xd1\x87\xd0\xb0.jpg", 352, 288, 0},  // "Dacha" in Cyrillic
        {"stamp.jpg", 96, 72, 4000},                            // one 4000-byte block
        {"bridge.jpg", 352, 288, 12001},                        // ends in a one-byte block
        {"night.jpg", 640, 480, 0},
    };
    return pictures;
}

const std::vector<TDemoPicture>& demoModemPictures() {
    static const std::vector<TDemoPicture> pictures = {
        {"lake.jpg", 176, 144, 0},
        {"market.jpg", 320, 240, 0},
        {"station.jpg", 640, 480, 0},
    };
    return pictures;
}

QString makeDemoPhones(const QString& Folder) {
    const QString phone = Folder + QLatin1Char('/') + QLatin1String(DemoPhoneFolder);
    const QString modem = Folder + QLatin1Char('/') + QLatin1String(DemoModemFolder);
    for (const auto& [path, data] :
         {std::pair{phone + QStringLiteral("/phone.ini"), QByteArray(PhoneIni)},
          std::pair{phone + QStringLiteral("/a/notes.txt"), QByteArray(Notes)},
          std::pair{modem + QStringLiteral("/phone.ini"), QByteArray(ModemIni)}}) {
        if (QString error = writeFile(path, data); !error.isEmpty()) {
            return error;
        }
    }
    if (QString error = writePictures(phone + QStringLiteral("/a/mobile/picture"), demoPictures(),
                                      1, QStringLiteral("V3 Razr"));
        !error.isEmpty()) {
        return error;
    }
    return writePictures(modem + QStringLiteral("/a/mobile/picture"), demoModemPictures(), 101,
                         QStringLiteral("E398"));
}

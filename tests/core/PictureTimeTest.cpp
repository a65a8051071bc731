// A downloaded picture takes the time it was taken, read from its EXIF
// block; a picture without a readable date keeps the time it was written.
#include <QFileInfo>
#include <ctime>

#include "JpegPicture.h"
#include "core/SessionFixture.h"
#include "support/VirtualRig.h"

class PictureTime : public test::SessionTest {};

namespace {
// A zone other than UTC for one test (a POSIX rule, so no zone database is
// needed): a camera's time read as UTC is then hours off, as on most desks.
class TZoneForTest {
  public:
    explicit TZoneForTest(const char* Zone)
        : old_(qgetenv("TZ")), had_(qEnvironmentVariableIsSet("TZ")) {
        qputenv("TZ", Zone);
        tzset();
    }
    ~TZoneForTest() {
        if (had_) {
            qputenv("TZ", old_);
        } else {
            qunsetenv("TZ");
        }
        tzset();
    }

  private:
    QByteArray old_;
    bool had_;
};
}  // namespace

TEST_F(PictureTime, ACompletePictureTakesTheTimeItWasTaken) {
    const TZoneForTest zone("<+0545>-5:45");
    const std::string pic = "/a/mobile/picture/";
    const QByteArray jpeg = encodeJpeg(drawLandscape(64, 48, 5, {}), 70);
    const QDateTime taken(QDate(2006, 7, 5), QTime(18, 30, 2));
    auto vec = [](const QByteArray& B) { return std::vector<uint8_t>(B.begin(), B.end()); };
    const TFiles pictures = {
        {pic + "both.jpg", vec(withExif(jpeg, taken, "E398", {}))},
        {pic + "original.jpg", vec(withExif(jpeg, taken.addDays(1), {}, {}, true))},
        {pic + "nodate.jpg", vec(withExif(jpeg, QDateTime(), "E398", {}))},
        {pic + "plain.jpg", vec(jpeg)},
        {pic + "notjpeg.jpg", test::FileBytes(3000)},
    };
    plug("one", phoneState("A", "0A", pictures));
    for (bool on : {true, false}) {
        SCOPED_TRACE(on);
        QDir(host.Folder).removeRecursively();
        host.PictureTime = on;
        if (!session) {
            start();
        }
        selectAll();
        const QDateTime before = QDateTime::currentDateTime().addSecs(-60);
        session->Download();
        auto timeOf = [&](const char* Name) {
            return QFileInfo(host.Folder + Name).lastModified();
        };
        EXPECT_EQ(timeOf("both.jpg"), on ? taken : timeOf("both.jpg"));
        EXPECT_EQ(timeOf("original.jpg"), on ? taken.addDays(1) : timeOf("original.jpg"));
        for (const char* kept : {"nodate.jpg", "plain.jpg", "notjpeg.jpg"}) {
            EXPECT_GT(timeOf(kept), before) << kept;
        }
        if (!on) {
            EXPECT_GT(timeOf("both.jpg"), before);
        }
        for (const auto& [name, data] : pictures) {
            EXPECT_EQ(readLocal(host.Folder + QString::fromStdString(name.substr(pic.size()))),
                      bytes(data));
        }
    }
}

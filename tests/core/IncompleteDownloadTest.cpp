// A download that does not complete changes nothing it should not: the
// local file it would replace keeps its bytes and time, and the history of
// pictures downloaded does not record it, so the next download fetches it.
#include <QFileInfo>

#include "JpegPicture.h"
#include "core/SessionFixture.h"
#include "core/files/DownloadHistory.h"
#include "support/VirtualRig.h"

namespace {
const std::string Pic = "/a/mobile/picture/";
}

class IncompleteDownload : public test::SessionTest {
  protected:
    std::vector<uint8_t> picture() const {
        const QByteArray jpeg =
            padJpeg(withExif(encodeJpeg(drawLandscape(64, 48, 2, {}), 70),
                             QDateTime(QDate(2005, 1, 2), QTime(3, 4, 5)), "E398", {}),
                    9000);
        return {jpeg.begin(), jpeg.end()};
    }
};

TEST_F(IncompleteDownload, AFailedOrStoppedDownloadLeavesTheLocalFileAsItWas) {
    for (const bool stop : {false, true}) {
        SCOPED_TRACE(stop ? "stopped" : "failed");
        session.reset();
        devices.UnplugPhone("one");
        devices.DispatchPending();
        auto phone = plug("one", phoneState("A", "0A", {{Pic + "p.jpg", picture()}}));
        QDir().mkpath(host.Folder);
        const QString local = host.Folder + "p.jpg";
        // An earlier copy that carries a time of its own, which must not
        // become its file's time either.
        const QByteArray earlier =
            withExif(encodeJpeg(drawLandscape(32, 24, 1, {}), 70),
                     QDateTime(QDate(2001, 1, 1), QTime(1, 1, 1)), "E398", {});
        QFile old(local);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(earlier);
        old.flush();
        const QDateTime oldTime(QDate(2020, 2, 2), QTime(2, 2, 2));
        ASSERT_TRUE(old.setFileTime(oldTime, QFileDevice::FileModificationTime));
        old.close();
        host.Overwrite = true;
        start();
        selectAll();
        if (stop) {
            host.OnPump = [this](int) {
                if (session->Transferring()) {
                    session->Stop();
                }
            };
        } else {
            phone->Faults().FailReadAtBlock = 2;
        }
        session->Download();
        host.OnPump = nullptr;
        EXPECT_EQ(readLocal(local), earlier);
        EXPECT_EQ(QFileInfo(local).lastModified(), oldTime);
    }
}

TEST_F(IncompleteDownload, AFailedDownloadIsNotInTheHistory) {
    const QString historyPath = root + "/history.txt";
    auto phone = plug("one", phoneState("A", "0A", {{Pic + "p.jpg", picture()}}));
    start();
    ASSERT_EQ(session->History().Load(historyPath), QString());
    host.SkipDownloaded = true;
    phone->Faults().FailReadAtBlock = 2;
    selectAll();
    session->Download();
    EXPECT_EQ(session->LastDownload().Count(TDownloadFate::Failed), 1);
    QFile history(historyPath);
    const QByteArray recorded = history.open(QIODevice::ReadOnly) ? history.readAll() : "";
    EXPECT_FALSE(recorded.contains("p.jpg")) << recorded.toStdString();

    phone->Faults() = {};
    session->Refresh();
    selectAll();
    session->Download();
    EXPECT_EQ(session->LastDownload().Count(TDownloadFate::Downloaded), 1);
    EXPECT_EQ(readLocal(host.Folder + "p.jpg"), bytes(picture()));
}

// The session on its own, as a front end drives it: a phone plugged, its
// pictures listed and downloaded, with no window.
#include <QCryptographicHash>

#include "JpegPicture.h"
#include "core/ExifInfo.h"
#include "core/SessionFixture.h"
#include "support/VirtualRig.h"

namespace {
const std::string Pic = "/a/mobile/picture/";
}

class SessionRoad : public test::SessionTest {};

TEST_F(SessionRoad, DownloadAllOnConnectBringsEveryPictureAndDeletesIt) {
    TFiles pictures;
    for (int i = 0; i < 3; ++i) {
        pictures[Pic + "p" + std::to_string(i) + ".jpg"] = test::FileBytes(2500, unsigned(i + 1));
    }
    auto phone = plug("one", phoneState("E398", "0A", pictures));
    host.DownloadAll = true;
    host.DeleteAfter = true;
    TPhoneSession& s = start();

    ASSERT_EQ(s.PhoneEntries().size(), 1);
    EXPECT_TRUE(s.PhoneEntries()[0].startsWith("E398 [0A")) << s.PhoneEntries()[0].toStdString();
    for (const auto& [name, data] : pictures) {
        EXPECT_EQ(readLocal(host.Folder + QString::fromStdString(name.substr(Pic.size()))),
                  bytes(data));
        EXPECT_FALSE(phone->State().Files.contains(name)) << name;
    }
    EXPECT_TRUE(rowNames().empty());  // listed again after the deletes
    EXPECT_EQ(host.Shown, std::vector<std::string>{"idDlComplete"});
    EXPECT_EQ(log.front(), "1 P2K devices found");
    EXPECT_EQ(log.back(), "0 files");
    EXPECT_FALSE(s.Busy());
}

// The road every later feature must leave as it was: with every option at its
// default (delete after on here, to walk the relisting too), a download makes
// the same Log lines, the same files and the same wire traffic as the program
// did before those features came. The digests were taken from that program.
TEST_F(SessionRoad, ADownloadAtTheDefaultsIsAsItAlwaysWas) {
    // Pictures of exact sizes, whatever the JPEG encoder makes of them; the
    // first carries the time it was taken.
    const QByteArray jpeg = encodeJpeg(drawLandscape(64, 48, 3, {}), 70);
    const QDateTime taken(QDate(2006, 7, 5), QTime(18, 30, 2));
    const QByteArray a = padJpeg(withExif(jpeg, taken, "E398", {}), 6000);
    ASSERT_EQ(readExifInfo(a).Taken, taken);
    const TFiles pictures = {{Pic + "a.jpg", {a.begin(), a.end()}},
                             {Pic + "b.jpg", test::FileBytes(5000, 2)},
                             {Pic + "c.jpg", test::FileBytes(3000, 3)}};
    auto phone = plug("one", phoneState("E398", "0A", pictures));
    QDir().mkpath(host.Folder);
    QFile old(host.Folder + "c.jpg");
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();
    host.DeleteAfter = true;
    start();
    selectAll();
    session->Download();

    QStringList lines;
    for (const QString& l : log) {
        lines.append(QString(l).replace(root, "<root>"));
    }
    QStringList expected = {"1 P2K devices found", "Closing all AT devices",
                            "Closing all P2K devices", "3 files"};
    for (int kb = 1; kb <= 6; ++kb) {
        expected.append(QString("Downloading - %1/ 6 kB").arg(kb, 2));
    }
    for (int kb = 1; kb <= 5; ++kb) {
        expected.append(QString("Downloading - %1/ 5 kB").arg(kb, 2));
    }
    expected += {"The file <root>/Pictures/c.jpg exists, skipping", "3 files", "1 files"};
    EXPECT_EQ(lines.join("\n").toStdString(), expected.join("\n").toStdString());
    EXPECT_EQ(QDir(host.Folder).entryList(QDir::Files | QDir::Hidden),
              (QStringList{"a.jpg", "b.jpg", "c.jpg"}));
    EXPECT_EQ(readLocal(host.Folder + "a.jpg"), a);
    EXPECT_EQ(readLocal(host.Folder + "b.jpg"), bytes(pictures.at(Pic + "b.jpg")));
    EXPECT_EQ(readLocal(host.Folder + "c.jpg"), "old");
    QCryptographicHash wire(QCryptographicHash::Sha1);
    for (const auto& r : phone->Received()) {
        wire.addData(QByteArray::number(r.PacketId) + ':' + QByteArray::number(r.Command) + ':' +
                     bytes(r.Payload));
    }
    EXPECT_EQ(QString::number(phone->Received().size()) + " " + wire.result().toHex(),
              "28 da5fc4e1db785bcce9edfdf2a926ba783b7bb626");
}

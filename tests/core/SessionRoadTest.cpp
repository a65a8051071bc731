// The session on its own, as a front end drives it: a phone plugged, its
// pictures listed and downloaded, with no window.
#include <QCryptographicHash>

#include "JpegPicture.h"
#include "core/SessionFixture.h"
#include "core/files/ExifInfo.h"
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

// A front end may have listings stop once the counted entries arrived (each
// answer carries three) and downloads read in blocks of its own; by default
// the session asks once per counted file and reads as the window does.
TEST_F(SessionRoad, ListingStopAndBlockSizeAreTheFrontEndsChoice) {
    const auto requests = [](const TVirtualPhone& Phone, uint8_t Sub, uint32_t* Size = nullptr) {
        int n = 0;
        for (const auto& r : Phone.Received()) {
            if (r.Command == 0x004A && r.Payload.size() >= 4 && r.Payload[3] == Sub) {
                ++n;
                if (Size && r.Payload.size() >= 8) {
                    *Size = uint32_t(r.Payload[4]) << 24 | r.Payload[5] << 16 | r.Payload[6] << 8 |
                            r.Payload[7];
                }
            }
        }
        return n;
    };
    for (const int count : {0, 1, 3, 4, 7}) {
        for (const bool stop : {false, true}) {
            SCOPED_TRACE(testing::Message() << count << " files, stop " << stop);
            session.reset();
            devices.UnplugPhone("one");
            devices.DispatchPending();
            TFiles pictures;
            for (int i = 0; i < count; ++i) {
                pictures[Pic + "p" + std::to_string(i) + ".jpg"] =
                    test::FileBytes(5000, unsigned(i));
            }
            auto phone = plug("one", phoneState("E398", "0A", pictures));
            devices.DispatchPending();
            session = std::make_unique<TPhoneSession>(backend, host);
            session->SetListStopsAtCount(stop);
            session->SetDownloadSettings({stop ? 4000 : 0, false});
            session->Start();
            EXPECT_EQ(int(rowNames().size()), count);
            EXPECT_EQ(requests(*phone, 8), stop ? (count + 2) / 3 : count);
            if (count == 0) {
                continue;
            }
            QDir(host.Folder).removeRecursively();
            selectAll();
            session->Download();
            uint32_t size = 0;
            EXPECT_EQ(requests(*phone, 1, &size), count * (stop ? 2 : 5));
            EXPECT_EQ(size, stop ? 4000u : 1000u);
        }
    }
}

// A phone another program holds is not opened: the Log says so, and its
// entry is that of a phone that does not answer.
TEST_F(SessionRoad, APhoneHeldByAnotherProgramIsLeftAlone) {
    auto phone = plug("one", phoneState("E398", "0A", {{Pic + "p.jpg", test::FileBytes(10)}}));
    transport.SetHeldElsewhere(TVirtualDeviceSource::PhonePath("one"), true);
    TPhoneSession& s = start();
    EXPECT_EQ(s.PhoneEntries(), QStringList{" []"});
    EXPECT_TRUE(rowNames().empty());
    EXPECT_NE(std::find(log.begin(), log.end(), "Phone 1 is in use by another program"), log.end());
    EXPECT_TRUE(phone->Received().empty());
    EXPECT_TRUE(transport.HeldElsewhere(TVirtualDeviceSource::PhonePath("one")));
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
    expected +=
        {"The file <root>/Pictures/c.jpg exists, skipping",
         "Downloaded: 2, skipped: 1, failed: 0, deleted from the phone: 2", "3 files", "1 files"};
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

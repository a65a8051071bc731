// The session when the phone or the disk says no: an upload the phone did
// not store whole, a download onto a disk that takes no more, and a phone
// pulled out at any exchange, whichever comes first, its removal event or
// the command's end.
#include <sys/mount.h>

#include <QDirIterator>
#include <QRegularExpression>
#include <cstring>

#include "core/SessionFixture.h"
#include "support/ExchangeFaults.h"
#include "support/VirtualRig.h"

namespace {

const std::string Pic = "/a/mobile/picture/";

// The file-system sub-commands the phone received, from the K-th command on.
std::vector<uint8_t> subCommands(const TVirtualPhone& Phone, size_t From = 0) {
    std::vector<uint8_t> out;
    const auto& r = Phone.Received();
    for (size_t i = From; i < r.size(); ++i) {
        if (r[i].Command == 0x004A && r[i].Payload.size() >= 4) {
            out.push_back(r[i].Payload[3]);
        }
    }
    return out;
}

}  // namespace

class PhoneSaysNo : public test::SessionTest {
  protected:
    QString upFile(const char* Name, size_t Size) {
        QDir().mkpath(root + "/up");
        const QString path = root + "/up/" + Name;
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes(test::FileBytes(Size, 5)));
        return path;
    }
    std::vector<QString> strayFiles(const QString& Folder) const {
        std::vector<QString> out;
        QDirIterator it(Folder, QDir::Files | QDir::Hidden);
        while (it.hasNext()) {
            const QString f = it.next();
            if (QFileInfo(f).fileName().startsWith('.')) {
                out.push_back(f);
            }
        }
        return out;
    }
};

// Each way a phone refuses an upload ends as a counted failure with its
// reason and nothing of the file left on the phone; the next file goes on.
TEST_F(PhoneSaysNo, AnUploadThePhoneDidNotStoreIsAFailureWithNothingLeft) {
    const QString big = upFile("big.jpg", 2500);
    const QString small = upFile("small.jpg", 300);
    const QString notStored = "Upload of " + big + " failed: the phone did not store all of it";
    const struct {
        const char* Case;
        std::string Folder;  // File Manager's upload folder; empty for the pictures folder
        std::function<void(TVirtualPhone&)> Refuse;
        QString Line;
        bool SmallStored;
    } cases[] = {
        {"a missing folder", "/a/nosuchfolder/", [](TVirtualPhone&) {}, notStored, false},
        {"a refused block", "",
         [](TVirtualPhone& P) {
             P.Faults().FailWriteAtBlock = 2;
             P.Faults().BlockFailuresStall = false;
         },
         notStored, true},
        {"a drive filling up mid-file", "",
         [](TVirtualPhone& P) { P.Faults().DriveFullAfterWrites = 1; }, notStored, true},
        {"a file larger than the free space", "",
         [](TVirtualPhone& P) { P.State().Drives[0].FreeSpace = 2000; },
         big + " was not uploaded: it needs  2 kB, the phone has  2 kB free", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Case);
        session.reset();
        devices.UnplugPhone("one");
        devices.DispatchPending();
        auto phone = plug("one", phoneState("A", "0A"));
        c.Refuse(*phone);
        start();
        if (!c.Folder.empty()) {
            session->SetMode(mmFileManager, false);
        }
        host.PhoneFolder = c.Folder;
        host.Files = {big, small};
        log.clear();
        session->Upload();

        const TUploadOutcome& out = session->LastUpload();
        EXPECT_EQ(out.Failed.value(0), big);
        EXPECT_EQ(out.Uploaded.contains(small), c.SmallStored);
        const std::string folder = c.Folder.empty() ? Pic : c.Folder;
        EXPECT_FALSE(phone->State().Files.contains(folder + "big.jpg")) << "left on the phone";
        EXPECT_TRUE(std::find(log.begin(), log.end(), c.Line) != log.end())
            << QStringList(log.begin(), log.end()).join("\n").toStdString();
        EXPECT_EQ(phone->OpenFileName(), "") << "the phone file is closed";
    }
}

// A fitting upload says what it always said, and the wire carries what it
// always carried, then one count and one list request for the file's
// exact name.
TEST_F(PhoneSaysNo, AFittingUploadIsCheckedByOneListingOfItsName) {
    const QString up = upFile("u.jpg", 2500);
    auto phone = plug("one", phoneState("A", "0A"));
    start();
    host.Files = {up};
    log.clear();
    const size_t before = phone->Received().size();
    session->Upload();
    EXPECT_EQ(session->LastUpload().Uploaded, QStringList{up});
    QStringList lines(log.begin(), log.end());
    EXPECT_EQ(lines.join("\n").toStdString(),
              "Uploading -  1/ 2 kB\nUploading -  2/ 2 kB\nUploading -  2/ 2 kB\n1 files");
    // Open, three blocks, close; the check; then the list read again (free
    // space, count, one batch).
    EXPECT_EQ(subCommands(*phone, before), (std::vector<uint8_t>{0, 2, 2, 2, 4, 7, 8, 0x0B, 7, 8}));
    const auto& count = phone->Received()[before + 5].Payload;
    std::string pattern;
    for (size_t i = 5; i < count.size() - 2; i += 2) {
        pattern += count[i] == 0xFE ? '|' : char(count[i]);
    }
    EXPECT_EQ(pattern, Pic + "|u.jpg");
    EXPECT_EQ(phone->State().Files[Pic + "u.jpg"].Data, test::FileBytes(2500, 5));
}

// Every way a disk refuses a block ends the download at its first refused
// block: the reason in the box and the Log, no further read, nothing
// deleted from the phone, no partial or temporary file.
TEST_F(PhoneSaysNo, ALocalWriteErrorEndsTheDownloadWithTheSystemsReason) {
    TFiles pictures;
    for (int i = 0; i < 4; ++i) {
        pictures[Pic + "p" + std::to_string(i) + ".jpg"] = test::FileBytes(2500, unsigned(i));
    }
    for (const int error : {ENOSPC, EDQUOT, EIO, EROFS}) {
        SCOPED_TRACE(std::strerror(error));
        session.reset();
        devices.UnplugPhone("one");
        devices.DispatchPending();
        QDir(host.Folder).removeRecursively();
        auto phone = plug("one", phoneState("A", "0A", pictures));
        host.DeleteAfter = true;
        start();
        selectAll();
        // The second picture's second block (1000-byte blocks: three a picture).
        files.Arm("write", error, 5);
        log.clear();
        host.Shown.clear();
        const size_t before = phone->Received().size();
        session->Download();
        files.Fail.clear();

        const TDownloadOutcome& out = session->LastDownload();
        EXPECT_EQ(out.End, TCommandEnd::LocalFailure);
        EXPECT_EQ(out.Count(TDownloadFate::Downloaded), 1);
        const std::string reason = std::strerror(error);
        ASSERT_EQ(host.Shown.size(), 1u);
        EXPECT_NE(host.Shown[0].find(reason), std::string::npos) << host.Shown[0];
        EXPECT_NE(host.Shown[0].find("p1.jpg"), std::string::npos) << host.Shown[0];
        EXPECT_TRUE(std::any_of(log.begin(), log.end(), [&](const QString& L) {
            return L.contains(QString::fromStdString(reason));
        }));
        EXPECT_EQ(std::count(log.begin(), log.end(),
                             "Download of " + QString::fromStdString(Pic) + "p1.jpg failed"),
                  0);
        // p0 whole and deleted; p1 read to its refused block and closed; no more.
        EXPECT_EQ(subCommands(*phone, before),
                  (std::vector<uint8_t>{0, 1, 1, 1, 4, 5, 0, 1, 1, 4, 0x0B, 7, 8, 8, 8}));
        EXPECT_EQ(phone->State().Files.size(), 3u) << "only the whole copy's picture went";
        EXPECT_TRUE(strayFiles(host.Folder).empty());
        EXPECT_FALSE(QFileInfo::exists(host.Folder + "p1.jpg"));
    }
}

// The same onto a real file system that fills up: a small tmpfs.
TEST_F(PhoneSaysNo, ADownloadOntoAFullFileSystemStopsThere) {
    const QString mountPoint = root + "/small";
    QDir().mkpath(mountPoint);
    if (::mount("tmpfs", QFile::encodeName(mountPoint).constData(), "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "no tmpfs can be mounted here: " << std::strerror(errno);
    }
    struct TUnmount {
        QString Path;
        ~TUnmount() { ::umount2(QFile::encodeName(Path).constData(), MNT_DETACH); }
    } unmount{mountPoint};
    TFiles pictures;
    for (int i = 0; i < 4; ++i) {
        pictures[Pic + "p" + std::to_string(i) + ".jpg"] = test::FileBytes(40000, unsigned(i));
    }
    auto phone = plug("one", phoneState("A", "0A", pictures));
    host.Folder = mountPoint + "/";
    host.DeleteAfter = true;
    start();
    selectAll();
    session->Download();

    const TDownloadOutcome& out = session->LastDownload();
    EXPECT_EQ(out.End, TCommandEnd::LocalFailure);
    EXPECT_EQ(out.Count(TDownloadFate::Downloaded), 1);
    ASSERT_EQ(host.Shown.size(), 1u);
    EXPECT_NE(host.Shown[0].find("No space left on device"), std::string::npos) << host.Shown[0];
    EXPECT_EQ(phone->State().Files.size(), 3u);
    EXPECT_TRUE(strayFiles(host.Folder).empty());
    EXPECT_EQ(QDir(host.Folder).entryList(QDir::Files | QDir::Hidden), QStringList{"p0.jpg"});
}

// A phone pulled out at any exchange of a download, with its removal event
// before the command's end or after it: the phone was lost, no file
// failed, the choice, drives and rows are gone.
TEST_F(PhoneSaysNo, APhonePulledOutAtAnyExchangeIsLostNeverAFailedFile) {
    TFiles pictures;
    for (int i = 0; i < 3; ++i) {
        pictures[Pic + "p" + std::to_string(i) + ".jpg"] = test::FileBytes(2500, unsigned(i));
    }
    std::shared_ptr<TVirtualPhone> phone;
    std::vector<TCommandOutcome> lost;
    auto prepare = [&](bool DeleteAfter) {
        transport.SetExchangeHook(nullptr);
        session.reset();
        devices.UnplugPhone("one");
        devices.DispatchPending();
        QDir(host.Folder).removeRecursively();
        phone = plug("one", phoneState("A", "0A", pictures));
        host.DeleteAfter = DeleteAfter;
        start();
        selectAll();
        log.clear();
        lost.clear();
        QObject::connect(session.get(), &TPhoneSession::commandEnded,
                         [&](const TCommandOutcome& O) {
                             if (O.End == TCommandEnd::PhoneLost) {
                                 lost.push_back(O);
                             }
                         });
    };
    int runs = 0;
    for (const bool deleteAfter : {false, true}) {
        prepare(deleteAfter);
        uint64_t from = transport.Exchanges();
        session->Download();
        const uint64_t exchanges = transport.Exchanges() - from;
        ASSERT_GT(exchanges, 20u);
        for (uint64_t k = 0; k < exchanges; ++k) {
            for (const bool eventFirst : {true, false}) {
                SCOPED_TRACE(testing::Message() << "delete after " << deleteAfter << ", exchange "
                                                << k << ", event first " << eventFirst);
                prepare(deleteAfter);
                from = transport.Exchanges();
                transport.SetExchangeHook([&, at = from + k](TVirtualP2KTransport::TExchange,
                                                             const std::string&, uint64_t I) {
                    if (I == at) {
                        devices.UnplugPhone("one");
                        if (eventFirst) {
                            devices.DispatchPending();
                        }
                    }
                });
                session->Download();
                transport.SetExchangeHook(nullptr);
                devices.DispatchPending();
                ++runs;

                EXPECT_EQ(session->LastDownload().End, TCommandEnd::PhoneLost);
                ASSERT_EQ(lost.size(), 1u);
                // Every picture done or not tried, none failed.
                EXPECT_EQ(lost[0].Command, TCommandKind::Download);
                EXPECT_EQ(lost[0].Failed, 0);
                EXPECT_EQ(lost[0].Done + lost[0].NotTried, 3);
                const QStringList lines(log.begin(), log.end());
                const std::string all = lines.join("\n").toStdString();
                EXPECT_EQ(lines.filter("The phone was lost").size(), 1) << all;
                EXPECT_TRUE(
                    lines.contains(QString("The phone was lost: %1 files done, %2 not tried")
                                       .arg(lost[0].Done)
                                       .arg(lost[0].NotTried)))
                    << all;
                // A summary comes only when every picture was done before
                // the phone went, in the listing after the deletes.
                EXPECT_EQ(lines.filter(QRegularExpression("Download of .* failed")).size(), 0)
                    << all;
                EXPECT_EQ(lines.filter(QRegularExpression("^Downloaded: [0-2],")).size(), 0) << all;
                EXPECT_TRUE(session->PhoneEntries().isEmpty());
                EXPECT_TRUE(session->Drives().empty());
                EXPECT_EQ(session->Rows().Count(), 0);
                EXPECT_FALSE(session->Busy());
                EXPECT_TRUE(strayFiles(host.Folder).empty());
            }
        }
    }
    RecordProperty("runs", runs);
}

// What a Photo Manager download does after the copy, on virtual phones:
// folders by the date a picture was taken, a different picture of a taken
// name kept too, a second copy in another folder; and when a picture may
// then leave the phone.
#include <QDirIterator>

#include "JpegPicture.h"
#include "core/SessionFixture.h"
#include "core/files/JpegHead.h"
#include "support/TestFiles.h"
#include "support/VirtualRig.h"

namespace {

const std::string Pic = "/a/mobile/picture/";

// A JPEG of about Bytes bytes taken at Taken (no EXIF block when invalid),
// its EXIF block first, as cameras write it; a thumbnail makes that block
// span more than one read.
std::vector<uint8_t> picture(const QDateTime& Taken, qsizetype Bytes, bool Thumbnail = false) {
    const QByteArray jpeg = padJpeg(encodeJpeg(drawLandscape(64, 48, 7, {}), 70), Bytes);
    const QByteArray thumb =
        Thumbnail ? encodeJpeg(drawLandscape(240, 180, 3, {}), 95) : QByteArray();
    const QByteArray data = Taken.isValid() ? withExif(jpeg, Taken, "E398", thumb) : jpeg;
    return {data.begin(), data.end()};
}

QDateTime at(int Y, int M, int D) {
    return QDateTime(QDate(Y, M, D), QTime(12, 0));
}

// The bytes asked of the phone to read Size bytes in reads of Block.
int64_t inBlocks(int64_t Size, int64_t Block) {
    return (Size + Block - 1) / Block * Block;
}

// The bytes asked of the phone to read a picture's head in 4000-byte reads:
// up to the end of its EXIF block, or to where its headers end without one.
int64_t headBytes(const QByteArray& Data) {
    for (qsizetype n = 4000;; n += 4000) {
        if (scanJpegHead(Data.left(n)).Kind != TJpegHead::NeedMore || n >= Data.size()) {
            return n;
        }
    }
}

}  // namespace

class Importer : public test::SessionTest {
  protected:
    void SetUp() override {
        test::SessionTest::SetUp();
        host.Pattern = "%Y/%Y-%m-%d";
    }
    TPhoneSession& startOn(const TFiles& Pictures, const std::string& Model = "E398") {
        phone = plug("one", phoneState(Model, "0A", Pictures));
        TPhoneSession& s = start();
        s.SetDownloadDate([] { return QDate(2010, 2, 3); });
        selectAll();
        return s;
    }
    // Downloads the selected rows; the bytes the phone was asked to read.
    int64_t download() {
        const size_t from = phone->Received().size();
        log.clear();
        session->Download();
        int64_t asked = 0;
        for (size_t i = from; i < phone->Received().size(); ++i) {
            const auto& r = phone->Received()[i];
            if (r.Command == 0x004A && r.Payload.size() >= 8 && r.Payload[3] == 1) {
                asked += r.Payload[6] << 8 | r.Payload[7];
            }
        }
        return asked;
    }
    static void writeLocal(const QString& Path, const QByteArray& Data) {
        QDir().mkpath(QFileInfo(Path).absolutePath());
        QFile f(Path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(Data);
    }
    bool logged(const QString& Line) const {
        return std::find(log.begin(), log.end(), Line) != log.end();
    }
    std::vector<std::string> stepKinds() const {
        std::vector<std::string> kinds;
        for (const std::string& l : files.Log) {
            kinds.push_back(l.substr(0, l.find(' ')));
        }
        return kinds;
    }
    // The phone's delete, seen before the exchange that follows it.
    void watchDeletes() {
        transport.SetExchangeHook([this](auto, const std::string&, uint64_t) {
            for (const auto& [name, data] : pictures) {
                if (!phone->State().Files.contains(name) &&
                    std::find(files.Log.begin(), files.Log.end(), "phone delete " + name) ==
                        files.Log.end()) {
                    files.Log.push_back("phone delete " + name);
                }
            }
        });
    }

    std::shared_ptr<TVirtualPhone> phone;
    TFiles pictures;
};

// Each picture lands byte-identical in the folders of the day it was taken,
// or of the download's day when it carries no date; a second run finds
// them all there from their first blocks, without reading one whole.
TEST_F(Importer, DatedFoldersAndASecondRunReadsOnlyHeads) {
    pictures = {{Pic + "a.jpg", picture(at(2006, 7, 5), 40000, true)},
                {Pic + "b.jpg", picture(at(2007, 1, 31), 30000)},
                {Pic + "c.jpg", picture({}, 20000)},     // no EXIF block
                {Pic + "d.jpg", test::FileBytes(9000)},  // not even a JPEG
                {Pic + "e.jpg", picture(at(9999, 12, 31), 9000)}};
    startOn(pictures);
    download();
    const QStringList want = {"2006/2006-07-05/a.jpg", "2007/2007-01-31/b.jpg",
                              "2010/2010-02-03/c.jpg", "2010/2010-02-03/d.jpg",
                              "9999/9999-12-31/e.jpg"};
    EXPECT_EQ(test::filesUnder(host.Folder), want);  // nothing else: no temporary file
    for (const QString& local : want) {
        const std::string name = Pic + local.section('/', -1).toStdString();
        EXPECT_EQ(readLocal(host.Folder + local), bytes(pictures.at(name))) << name.c_str();
    }
    EXPECT_TRUE(logged("Downloaded: 5, skipped: 0, failed: 0"));

    // Again: every picture is found where it went, from the blocks up to
    // the end of its EXIF block (or of its headers, without one).
    int64_t heads = 0, whole = 0;
    for (const auto& [name, data] : pictures) {
        heads += headBytes(bytes(data));
        whole += inBlocks(qsizetype(data.size()), 4000);
    }
    EXPECT_EQ(download(), heads);
    EXPECT_LT(heads, whole / 2);
    EXPECT_GT(headBytes(bytes(pictures.at(Pic + "a.jpg"))), 4000);  // an EXIF block over a read
    EXPECT_TRUE(logged("The file " + host.Folder + "2006/2006-07-05/a.jpg exists, skipping"));
    EXPECT_TRUE(logged("Downloaded: 0, skipped: 5, failed: 0"));
    EXPECT_EQ(test::filesUnder(host.Folder), want);

    // With "overwrite" no head is read: each picture is fetched whole and
    // replaces its file in the folders its complete bytes name.
    host.Overwrite = true;
    EXPECT_EQ(download(), whole);
    EXPECT_EQ(test::filesUnder(host.Folder), want);
}

// Neither a pattern nor a phone's model nor a date may put a file outside
// the save folder; what cannot be placed safely is not downloaded.
TEST_F(Importer, HostilePatternsModelsAndDatesStayInside) {
    pictures = {{Pic + "a.jpg", picture(at(2006, 7, 5), 9000)}, {Pic + "b.jpg", picture({}, 9000)}};
    const struct {
        QString Pattern;
        std::string Model;
        bool Refused;  // the whole download, before any picture
    } cases[] = {{"../escape", "E398", true},
                 {"/tmp/%Y", "E398", true},
                 {"%Y/../../x", "E398", true},
                 {"%M/%Y", "..", false},
                 {"%M/%Y", "../../x", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Pattern.toStdString() + " " + c.Model);
        session.reset();
        devices.UnplugPhone("one");
        devices.DispatchPending();
        host.Shown.clear();
        host.Pattern = c.Pattern;
        startOn(pictures, c.Model);
        download();
        EXPECT_EQ(test::filesUnder(root), QStringList()) << "written somewhere";
        if (c.Refused) {
            EXPECT_TRUE(logged("The folder pattern " + c.Pattern +
                               " cannot be used: nothing was downloaded"));
            EXPECT_EQ(host.Shown.size(), 1u);
        } else {
            EXPECT_TRUE(logged("The folder pattern makes no safe folder name for " +
                               QString::fromStdString(Pic) + "a.jpg, skipping"));
            EXPECT_TRUE(logged("Downloaded: 0, skipped: 0, failed: 2"));
        }
        EXPECT_EQ(phone->State().Files.size(), 2u);
    }
}

// "Keep both": a different picture of a taken name is saved as "(2)", the
// same picture is skipped, and runs after it neither duplicate nor (the
// download history telling this phone's pictures) read anything again.
TEST_F(Importer, KeepBothThreeRunsLeaveNoDuplicates) {
    host.Pattern.clear();
    host.KeepBoth = true;
    pictures = {{Pic + "x.jpg", test::FileBytes(5000, 1)},
                {Pic + "y.jpg", test::FileBytes(5000, 2)},
                {Pic + "z.jpg", test::FileBytes(5000, 3)}};
    writeLocal(host.Folder + "x.jpg", "last year's x, of another size");
    writeLocal(host.Folder + "y.jpg", bytes(test::FileBytes(5000, 9)));  // same size, other bytes
    writeLocal(host.Folder + "z.jpg", bytes(pictures.at(Pic + "z.jpg")));
    startOn(pictures);
    const QStringList want = {"x (2).jpg", "x.jpg", "y (2).jpg", "y.jpg", "z.jpg"};
    for (int run = 1; run <= 3; ++run) {
        SCOPED_TRACE(run);
        const int64_t asked = download();
        EXPECT_EQ(test::filesUnder(host.Folder), want);
        if (run == 1) {
            EXPECT_TRUE(logged(QString::fromStdString(Pic) +
                               "x.jpg is not the picture already named so: saved as " +
                               host.Folder + "x (2).jpg"));
            EXPECT_TRUE(logged("The file " + host.Folder + "z.jpg exists, skipping"));
            EXPECT_TRUE(logged("Downloaded: 2, skipped: 1, failed: 0"));
        } else {
            EXPECT_EQ(asked, 0);
            EXPECT_TRUE(logged("Downloaded: 0, skipped: 3, failed: 0"));
        }
    }
    EXPECT_EQ(readLocal(host.Folder + "x (2).jpg"), bytes(pictures.at(Pic + "x.jpg")));
    EXPECT_EQ(readLocal(host.Folder + "y (2).jpg"), bytes(pictures.at(Pic + "y.jpg")));
    EXPECT_EQ(readLocal(host.Folder + "x.jpg"), "last year's x, of another size");

    // Without the history, the bytes decide: still no duplicate.
    session->History().Load({});
    download();
    EXPECT_EQ(test::filesUnder(host.Folder), want);
    EXPECT_TRUE(logged("Downloaded: 0, skipped: 3, failed: 0"));
}

// Every durable step is recorded in order, in each place, and only then
// does the picture leave the phone: create beside the target, write,
// flush, close, rename, folder flush; folders by date are made (and their
// parents flushed) before the rename into them.
TEST_F(Importer, BothPlacesAreDurableBeforeThePhoneDelete) {
    const QString second = root + "/usb/";
    QDir().mkpath(second);
    host.Second = second;
    host.DeleteAfter = true;
    pictures = {{Pic + "p.jpg", picture(at(2006, 7, 5), 2500)}};
    const std::vector<std::string> place = {"create",    "write", "write",  "write",
                                            "sync-file", "close", "rename", "sync-folder"};
    const std::vector<std::string> copy = {"create", "write",  "sync-file",
                                           "close",  "rename", "sync-folder"};
    const std::vector<std::string> folders = {"mkdir", "sync-folder", "mkdir", "sync-folder"};
    for (const bool dated : {false, true}) {
        SCOPED_TRACE(dated);
        session.reset();
        devices.UnplugPhone("one");
        devices.DispatchPending();
        QDir(host.Folder).removeRecursively();
        QDir(second).removeRecursively();
        QDir().mkpath(second);
        host.Pattern = dated ? "%Y/%Y-%m-%d" : QString();
        startOn(pictures);
        watchDeletes();
        files.Log.clear();
        download();
        transport.SetExchangeHook(nullptr);

        std::vector<std::string> want(place.begin(), place.end() - 2);  // up to the close
        if (dated) {
            want.insert(want.end(), folders.begin(), folders.end());
        }
        want.insert(want.end(), {"rename", "sync-folder"});
        if (dated) {
            want.push_back("sync-folder");  // the save folder, which the temporary file left
            want.insert(want.end(), folders.begin(), folders.end());
        }
        want.insert(want.end(), copy.begin(), copy.end());
        if (dated) {
            want.push_back("sync-folder");
        }
        want.push_back("phone");
        EXPECT_EQ(stepKinds(), want);
        const QString local = dated ? "2006/2006-07-05/p.jpg" : "p.jpg";
        // Each temporary file beside its place's own target, never elsewhere.
        EXPECT_EQ(files.Log.front().rfind("create " + host.Folder.toStdString() + ".p.jpg.", 0),
                  0u);
        EXPECT_EQ(files.Created.rfind(second.toStdString() + ".p.jpg.", 0), 0u) << files.Created;
        EXPECT_EQ(readLocal(host.Folder + local), bytes(pictures.at(Pic + "p.jpg")));
        EXPECT_EQ(readLocal(second + local), bytes(pictures.at(Pic + "p.jpg")));
        EXPECT_EQ(test::filesUnder(second), QStringList{local});
        EXPECT_FALSE(phone->State().Files.contains(Pic + "p.jpg"));
        EXPECT_EQ(session->LastDownload().Rows.at(0).Second, second + local);
    }
}

// The second place failing at any step of its write keeps the picture on
// the phone. A step that fails with an error ends the command as a failure
// of the first place does: the disk's reason shown, nothing more read,
// nothing deleted, no temporary file left. A folder that cannot be flushed
// fails nothing, but keeps the picture on the phone.
TEST_F(Importer, TheSecondPlaceFailingKeepsThePictureOnThePhone) {
    const QString second = root + "/usb/";
    host.Second = second;
    host.DeleteAfter = true;
    pictures = {{Pic + "p.jpg", picture(at(2006, 7, 5), 2500)},
                {Pic + "q.jpg", picture(at(2006, 7, 6), 2500)}};
    for (const char* fail :
         {"unplugged", "mkdir", "create", "write", "sync-file", "close", "rename", "sync-folder"}) {
        SCOPED_TRACE(fail);
        session.reset();
        devices.UnplugPhone("one");
        devices.DispatchPending();
        QDir(root).removeRecursively();
        QDir().mkpath(root);
        host.Shown.clear();
        const bool unplugged = std::string(fail) == "unplugged";
        if (!unplugged) {
            QDir().mkpath(second);
        }
        files.Fail = unplugged ? "" : fail;
        files.FailUnder = second.toStdString();
        files.FailError = ENOSPC;
        startOn(pictures);
        download();
        files.Fail.clear();
        files.FailUnder.clear();

        EXPECT_EQ(phone->State().Files.size(), 2u) << "a picture left the phone";
        EXPECT_FALSE(QDir(second).exists() && !test::filesUnder(second).filter(".part").isEmpty());
        // A second folder that is not there is refused before anything is read.
        EXPECT_EQ(QFile::exists(host.Folder + "2006/2006-07-05/p.jpg"), !unplugged);
        const TDownloadOutcome& out = session->LastDownload();
        if (std::string(fail) == "sync-folder") {
            EXPECT_EQ(out.End, TCommandEnd::Done);
            EXPECT_EQ(out.Count(TDownloadFate::Downloaded), 2);
            EXPECT_TRUE(logged(QString::fromStdString(Pic) +
                               "p.jpg stays on the phone: its copy could not be flushed to the "
                               "disk"));
            continue;
        }
        EXPECT_EQ(out.End, TCommandEnd::LocalFailure);
        ASSERT_EQ(out.Rows.size(), unplugged ? 0u : 1u) << "read on after the failure";
        EXPECT_FALSE(QFile::exists(host.Folder + "2006/2006-07-06/q.jpg"));
        ASSERT_EQ(host.Shown.size(), 1u);
        const std::string reason = unplugged ? "No such file or directory" : "No space left";
        EXPECT_NE(host.Shown[0].find(reason), std::string::npos) << host.Shown[0];
        EXPECT_EQ(host.Shown[0].rfind("error: " + second.toStdString(), 0), 0u) << host.Shown[0];
    }
}

// A picture kept in the first place (found there, or the same picture)
// reaches a second place that lacks it, as after a run whose second disk
// was unplugged; a second place holding another picture of its name keeps
// it, and keeps the phone's copy too.
TEST_F(Importer, ASecondPlaceIsFilledAndNeverOverwritten) {
    host.Pattern.clear();
    const QString second = root + "/usb/";
    QDir().mkpath(second);
    host.Second = second;
    pictures = {{Pic + "a.jpg", test::FileBytes(3000, 1)},
                {Pic + "b.jpg", test::FileBytes(3000, 2)}};
    writeLocal(host.Folder + "a.jpg", bytes(pictures.at(Pic + "a.jpg")));
    writeLocal(second + "b.jpg", "another b");
    host.DeleteAfter = true;
    startOn(pictures);
    download();
    EXPECT_TRUE(logged("Copied " + host.Folder + "a.jpg to " + second + "a.jpg"));
    EXPECT_EQ(readLocal(second + "a.jpg"), bytes(pictures.at(Pic + "a.jpg")));
    EXPECT_EQ(readLocal(second + "b.jpg"), "another b");
    EXPECT_TRUE(logged(second + "b.jpg holds another picture of that name: " +
                       QString::fromStdString(Pic) + "b.jpg stays on the phone"));
    EXPECT_EQ(phone->State().Files.size(), 2u);
    EXPECT_EQ(session->LastDownload().Rows.at(1).Kept, TKeptOnPhone::SecondDiffers);
}

// The folders by date failing at any step of a picture's write end the
// command as the save folder's own failure does: the disk's reason shown,
// nothing more read, nothing deleted, no temporary file left anywhere.
TEST_F(Importer, TheDatedPlaceFailingEndsTheCommand) {
    host.DeleteAfter = true;
    pictures = {{Pic + "p.jpg", picture(at(2006, 7, 5), 2500)},
                {Pic + "q.jpg", picture(at(2006, 7, 6), 2500)}};
    for (const char* fail : {"mkdir", "create", "write", "sync-file", "close", "rename"}) {
        SCOPED_TRACE(fail);
        session.reset();
        devices.UnplugPhone("one");
        devices.DispatchPending();
        QDir(root).removeRecursively();
        QDir().mkpath(root);
        host.Shown.clear();
        files.Fail = fail;
        files.FailError = ENOSPC;
        startOn(pictures);
        download();
        files.Fail.clear();

        const TDownloadOutcome& out = session->LastDownload();
        EXPECT_EQ(out.End, TCommandEnd::LocalFailure);
        ASSERT_EQ(out.Rows.size(), 1u) << "read on after the failure";
        EXPECT_EQ(out.Rows[0].Fate, TDownloadFate::Failed);
        EXPECT_EQ(phone->State().Files.size(), 2u) << "a picture left the phone";
        EXPECT_EQ(test::filesUnder(host.Folder), QStringList()) << "a file was left";
        ASSERT_EQ(host.Shown.size(), 1u);
        EXPECT_NE(host.Shown[0].find("No space left on device"), std::string::npos)
            << host.Shown[0];
    }
}

// Single files by name: fetched whole, put, deleted, each outcome naming
// its cause, and nothing partial left on either side.
#include <QDir>

#include "SessionFixture.h"
#include "support/VirtualRig.h"

namespace {
const std::string Pic = "/a/mobile/picture/";
}  // namespace

class SessionFiles : public test::SessionTest {
  protected:
    void SetUp() override {
        SessionTest::SetUp();
        phone = plug("one", phoneState("E398", "0A4A5A6A7A8A9B",
                                       {{Pic + "p.jpg", test::FileBytes(9000, 1)},
                                        {Pic + "q.jpg", test::FileBytes(5000, 2)}}));
        start();
        QDir().mkpath(root + "/local");
    }
    // Unplugs the phone at the Exchange-th exchange from now on; the
    // session hears of it at its next pause.
    void unplugAt(uint64_t Exchange) {
        const uint64_t at = transport.Exchanges() + Exchange;
        transport.SetExchangeHook([this, at](auto, const std::string&, uint64_t Index) {
            if (Index == at) {
                devices.UnplugPhone("one");
            }
        });
        host.OnPump = [this](int) { devices.DispatchPending(); };
    }
    QStringList localFiles() const {
        return QDir(root + "/local").entryList(QDir::Files | QDir::Hidden);
    }

    std::shared_ptr<TVirtualPhone> phone;
};

TEST_F(SessionFiles, FetchTakesAFileWholeOrLeavesNothing) {
    const QString local = root + "/local/copy";
    const struct {
        const char* Case;
        std::function<void()> Setup;
        TFileResult Result;
    } cases[] = {
        {"whole", [] {}, TFileResult::Done},
        {"a read the phone fails", [this] { phone->Faults().FailReadAtBlock = 2; },
         TFileResult::PhoneFailed},
        {"the phone pulled out", [this] { unplugAt(6); }, TFileResult::PhoneLost},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Case);
        c.Setup();
        const TFileOutcome outcome = session->FetchFile(Pic + "p.jpg", 9000, local);
        EXPECT_EQ(outcome.Result, c.Result);
        // Told as every command's outcome is: one file, done or failed.
        const TCommandOutcome& told = session->LastOutcome(TCommandKind::Download);
        EXPECT_EQ(told.Done, c.Result == TFileResult::Done ? 1 : 0);
        EXPECT_EQ(told.Files(), 1);
        EXPECT_EQ(told.End == TCommandEnd::PhoneLost, c.Result == TFileResult::PhoneLost);
        EXPECT_EQ(localFiles(),
                  c.Result == TFileResult::Done ? QStringList{"copy"} : QStringList());
        if (c.Result == TFileResult::Done) {
            EXPECT_EQ(readLocal(local), bytes(test::FileBytes(9000, 1)));
            QFile::remove(local);
        }
    }
    EXPECT_EQ(session->FetchFile(Pic + "q.jpg", 5000, root + "/none/copy").Result,
              TFileResult::PhoneLost)
        << "the phone is gone";
}

TEST_F(SessionFiles, PutChecksNameAndRoomFirstAndLeavesNoPart) {
    const QString file = root + "/local/new.jpg";
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes(test::FileBytes(6000, 3)));
    f.close();
    const QString badName = root + "/local/日本.jpg";
    QFile::copy(file, badName);

    const struct {
        const char* Case;
        QString Local;
        int32_t FreeSpace;
        int64_t Replaces;
        std::function<void()> Setup;
        TFileResult Result;
        int LocalError;
    } cases[] = {
        {"no room", file, 5000, 0, [] {}, TFileResult::NoRoom, 0},
        {"a name the phone cannot hold", badName, 1 << 20, 0, [] {}, TFileResult::BadName, 0},
        {"no such local file", root + "/local/none.jpg", 1 << 20, 0, [] {},
         TFileResult::LocalFailed, ENOENT},
        {"a write the phone fails", file, 1 << 20, 0,
         [this] { phone->Faults().FailWriteAtBlock = 3; }, TFileResult::PhoneFailed, 0},
        {"room made by the file it replaces", file, 5000, 2000,
         [this] {
             phone->Faults() = {};
             phone->State().Files[Pic + "new.jpg"] = {test::FileBytes(2000, 4), 0, 0};
         },
         TFileResult::Done, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Case);
        phone->State().Drives[0].FreeSpace = c.FreeSpace;
        c.Setup();
        const uint64_t exchanges = transport.Exchanges();
        const TFileOutcome outcome = session->PutFile(c.Local, Pic, c.Replaces);
        EXPECT_EQ(outcome.Result, c.Result);
        const TCommandOutcome& told = session->LastOutcome(TCommandKind::Upload);
        const bool refusedEarly =
            c.Result == TFileResult::BadName || c.Result == TFileResult::LocalFailed;
        if (!refusedEarly) {
            EXPECT_EQ(told.Failed, c.Result == TFileResult::Done ? 0 : 1);
            EXPECT_EQ(told.Files(), 1);
        }
        EXPECT_EQ(outcome.LocalError, c.LocalError);
        const auto it = phone->State().Files.find(Pic + "new.jpg");
        if (c.Result == TFileResult::Done) {
            ASSERT_NE(it, phone->State().Files.end());
            EXPECT_EQ(it->second.Data, test::FileBytes(6000, 3));
        } else {
            EXPECT_EQ(it, phone->State().Files.end()) << "nothing of it on the phone";
        }
        // A name refused is refused before the phone hears of it.
        if (c.Result == TFileResult::BadName || c.Result == TFileResult::LocalFailed) {
            EXPECT_EQ(transport.Exchanges(), exchanges);
        }
    }
}

TEST_F(SessionFiles, DeleteAndListByName) {
    phone->Faults().FailDeletes = true;
    EXPECT_EQ(session->DeleteNamed(Pic + "p.jpg").Result, TFileResult::PhoneFailed);
    phone->Faults() = {};
    EXPECT_EQ(session->DeleteNamed(Pic + "p.jpg").Result, TFileResult::Done);
    session->SetMode(mmFileManager, false);
    EXPECT_TRUE(session->ListDrive(0));
    EXPECT_EQ(rowNames(), std::vector<std::string>{Pic + "q.jpg"});
    EXPECT_FALSE(session->ListDrive(5)) << "no such drive";

    // One command at a time: asked from inside a running one, each is Busy.
    std::vector<TFileResult> inside;
    host.OnPump = [&](int) {
        if (inside.empty()) {
            inside = {session->FetchFile(Pic + "q.jpg", 5000, root + "/local/x").Result,
                      session->PutFile(root + "/local/x", Pic).Result,
                      session->DeleteNamed(Pic + "q.jpg").Result};
        }
    };
    EXPECT_EQ(session->FetchFile(Pic + "q.jpg", 5000, root + "/local/q").Result, TFileResult::Done);
    EXPECT_EQ(inside, std::vector<TFileResult>(3, TFileResult::Busy));
}

// The user's Stop: the transfer ends after the block in hand, no picture is
// lost, no temporary file stays, and nothing leaves the phone after it.
#include <QDir>

#include "core/SessionFixture.h"
#include "support/VirtualRig.h"

namespace {
const std::string Pic = "/a/mobile/picture/";
}

class StopRule : public test::SessionTest {
  protected:
    // Stops the transfer at the pause after its Block-th block.
    void stopAtBlock(int Block) {
        blocks = 0;
        QObject::connect(session.get(), &TPhoneSession::transferBytes, [this] { ++blocks; });
        host.OnPump = [this, Block](int) {
            if (blocks == Block) {
                session->Stop();
            }
        };
    }
    int blocks = 0;
};

TEST_F(StopRule, AtEveryBlockOfADownloadNoPictureIsLostOrLeftHalf) {
    // Three pictures of three 1000-byte blocks each; delete after on.
    TFiles pictures;
    for (int i = 0; i < 3; ++i) {
        pictures[Pic + "p" + std::to_string(i) + ".jpg"] = test::FileBytes(2500, unsigned(i + 1));
    }
    host.DeleteAfter = true;
    for (int k = 1; k <= 9; ++k) {
        SCOPED_TRACE(k);
        session.reset();
        devices.UnplugPhone("one");
        devices.DispatchPending();
        QDir(root).removeRecursively();
        log.clear();
        auto phone = plug("one", phoneState("A", "0A", pictures));
        start();
        selectAll();
        stopAtBlock(k);
        session->Download();

        EXPECT_EQ(blocks, k);  // not one block more
        const int done = k / 3;
        for (int i = 0; i < 3; ++i) {
            const std::string name = Pic + "p" + std::to_string(i) + ".jpg";
            const QString local = host.Folder + QString::fromStdString(name.substr(Pic.size()));
            EXPECT_EQ(readLocal(local), i < done ? bytes(pictures[name]) : "<missing>") << name;
            // Deleted only when complete before the stop came.
            const bool deleted = i < done && 3 * (i + 1) < k;
            EXPECT_EQ(phone->State().Files.contains(name), !deleted) << name;
        }
        EXPECT_EQ(QDir(host.Folder).entryList(QDir::Files | QDir::Hidden).size(), done);
        const auto stopped = std::find(log.begin(), log.end(),
                                       QString("%1 files done, the command was stopped").arg(done));
        ASSERT_NE(stopped, log.end());
        // The end steps ran: the list read again, its count last.
        EXPECT_EQ(log.back(), QString("%1 files").arg(3 - (k - 1) / 3));
        EXPECT_FALSE(session->Busy());
        EXPECT_FALSE(session->Transferring());
    }
}

TEST_F(StopRule, AStoppedUploadTakesItsPartialFileOffThePhone) {
    const QString up = root + "/up/";
    QDir().mkpath(up);
    for (const char* n : {"a.jpg", "b.jpg"}) {
        QFile f(up + n);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(2500, n[0]));
    }
    host.Files = {up + "a.jpg", up + "b.jpg"};
    struct Case {
        int Block;
        bool PhoneRefusesDelete;
        std::vector<std::string> OnPhone;
        QStringList Lines;
    };
    const Case cases[] = {
        {2,
         false,
         {},
         {"The incomplete file /a/mobile/picture/a.jpg was removed from the phone",
          "0 files done, the command was stopped"}},
        {2,
         true,
         {Pic + "a.jpg"},
         {"The incomplete file /a/mobile/picture/a.jpg could not be removed from the phone",
          "0 files done, the command was stopped"}},
        // At the last block the file is whole: it stays, and b never starts.
        {3, false, {Pic + "a.jpg"}, {"1 files done, the command was stopped"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Block);
        session.reset();
        devices.UnplugPhone("one");
        devices.DispatchPending();
        log.clear();
        auto phone = plug("one", phoneState("A", "0A"));
        phone->Faults().FailDeletes = c.PhoneRefusesDelete;
        start();
        stopAtBlock(c.Block);
        session->Upload();

        std::vector<std::string> onPhone;
        for (const auto& [name, file] : phone->State().Files) {
            onPhone.push_back(name);
        }
        EXPECT_EQ(onPhone, c.OnPhone);
        const QStringList lines(log.begin(), log.end());
        for (const QString& l : c.Lines) {
            EXPECT_TRUE(lines.contains(l)) << l.toStdString() << "\n"
                                           << lines.join("\n").toStdString();
        }
        EXPECT_EQ(lines.filter("failed").size(), 0);
        EXPECT_EQ(log.back(), QString("%1 files").arg(c.OnPhone.size()));  // listed again
    }
}

TEST_F(StopRule, WithNoTransferRunningStopDoesNothing) {
    plug("one", phoneState("A", "0A", {{Pic + "a.jpg", test::FileBytes(100)}}));
    start();
    session->Stop();  // before: not remembered for the next download
    selectAll();
    session->Download();
    EXPECT_EQ(readLocal(host.Folder + "a.jpg"), bytes(test::FileBytes(100)));
    EXPECT_FALSE(session->LastOutcome(TCommandKind::Download).End == TCommandEnd::Stopped);
}

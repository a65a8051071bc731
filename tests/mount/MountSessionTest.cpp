// The mount served in this process, on a virtual phone whose files and
// requests the test reads: real FUSE, real cp and ls on a thread of their
// own while the mount's event loop runs here.
#include <sys/stat.h>

#include <QDeadlineTimer>
#include <QMetaObject>
#include <atomic>
#include <thread>

#include "MountFixture.h"
#include "cli/CliFixture.h"

namespace {

const std::string Pic = "/a/mobile/picture/";

class MountInProcess : public test::CliTest {
  protected:
    void SetUp() override {
        CliTest::SetUp();
        mnt = root + "/mnt";
        QDir().mkpath(mnt);
        QDir().mkpath(root + "/run");
        ::chmod(QFile::encodeName(root + "/run").constData(), 0700);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(root + "/run"));
    }
    void TearDown() override { test::unmount(mnt); }

    // Serves `mount DIR -f Args` here while Client runs on a thread of its
    // own once the folder is mounted; then unmounts. Mount's exit status.
    int serveWhile(std::vector<std::string> Args, const std::function<void()>& Client) {
        std::atomic<bool> over{false};
        bool served = false;
        std::thread client([&] {
            served = test::waitMount(mnt, true, [&] { return over.load(); });
            if (served) {
                Client();
            }
            test::unmount(mnt);
        });
        Args.insert(Args.begin(), {"mount", mnt.toStdString(), "-f"});
        const int status = run(Args);
        over = true;
        client.join();
        EXPECT_TRUE(served) << err.str();
        return status;
    }
    // Runs Fn on this thread, where the mount and its phone live.
    static void onMain(const std::function<void()>& Fn) {
        QMetaObject::invokeMethod(QCoreApplication::instance(), Fn, Qt::BlockingQueuedConnection);
    }
    test::TShell sh(const QString& Script) { return test::shell(Script, root); }

    QString mnt;
};

}  // namespace

// cp into the mount: the phone holds the very bytes, and `ls` of the phone
// shows the file afterwards. An upload the phone fails, and a file larger
// than the free space, fail cp with their error and leave nothing behind.
TEST_F(MountInProcess, UploadsLandOnThePhoneWholeOrNotAtAll) {
    auto phone = plug("cam", phoneState("E398", {{Pic + "p.jpg", test::FileBytes(3000, 1)}}));
    const struct {
        const char* Name;
        size_t Size;
        std::function<void(TVirtualPhone&)> Setup;
        const char* Error;  // nullptr: uploaded
    } cases[] = {
        {"whole.jpg", 25000, [](TVirtualPhone&) {}, nullptr},
        {"failed.jpg", 25000,
         [](TVirtualPhone& P) {
             P.Faults().FailWriteAtBlock = 7;
             P.Faults().BlockFailuresStall = true;
         },
         "Input/output error"},
        {"large.jpg", 25000, [](TVirtualPhone& P) { P.State().Drives[0].FreeSpace = 20000; },
         "No space left on device"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        phone->Faults() = {};
        phone->State().Drives[0].FreeSpace = 4 * 1024 * 1024;
        c.Setup(*phone);
        test::writeBytes(root + "/" + c.Name, test::asBytes(test::FileBytes(c.Size, 9)));
        test::TShell r;
        EXPECT_EQ(
            serveWhile({},
                       [&] { r = sh(QStringLiteral("cp %1 mnt/a/mobile/picture/").arg(c.Name)); }),
            0)
            << err.str();
        const auto it = phone->State().Files.find(Pic + c.Name);
        if (c.Error == nullptr) {
            EXPECT_EQ(r.Exit, 0) << r.Err.toStdString();
            ASSERT_NE(it, phone->State().Files.end());
            EXPECT_EQ(it->second.Data, test::FileBytes(c.Size, 9));
        } else {
            EXPECT_NE(r.Exit, 0);
            EXPECT_TRUE(r.Err.contains(c.Error)) << r.Err.toStdString();
            EXPECT_EQ(it, phone->State().Files.end()) << "a part was left on the phone";
        }
    }
    phone->Faults() = {};
    ASSERT_EQ(run({"ls", "--files"}), 0) << err.str();
    EXPECT_EQ(out.str(),
              "      3000  /a/mobile/picture/p.jpg\n     25000  /a/mobile/picture/whole.jpg\n"
              "2 files, 27.3 kB\n");
}

// A folder read lists its drive again only when due: not within the
// refresh time, once it is over, and after a change made through the
// mount; with --refresh 0 at every read.
TEST_F(MountInProcess, ListsAgainOnlyWhenDue) {
    TFiles files;
    for (int i = 0; i < 30; ++i) {
        files[Pic + "p" + std::to_string(i) + ".jpg"] = test::FileBytes(100, unsigned(i));
    }
    auto phone = plug("cam", phoneState("E398", files));
    const QString ls = QStringLiteral("ls mnt/a/mobile/picture");
    auto requestsFor = [&](const std::function<void()>& Step) {
        uint32_t before = 0, after = 0;
        onMain([&] { before = phone->Transactions(); });
        Step();
        onMain([&] { after = phone->Transactions(); });
        return after - before;
    };
    auto listed = [&] { EXPECT_EQ(sh(ls).Exit, 0); };
    serveWhile({}, [&] {
        EXPECT_EQ(requestsFor(listed), 0u) << "listed at mount, and fresh";
        EXPECT_EQ(requestsFor(listed), 0u);
        onMain([&] { clock.Advance(31000); });
        EXPECT_GT(requestsFor(listed), 10u) << "listed again after 30 s";
        EXPECT_EQ(requestsFor(listed), 0u);
        EXPECT_EQ(sh("rm mnt/a/mobile/picture/p0.jpg").Exit, 0);
        EXPECT_GT(requestsFor(listed), 10u) << "listed again after a change";
        EXPECT_FALSE(sh(ls).Out.contains("p0.jpg"));
    });
    serveWhile({"--refresh", "0"}, [&] {
        EXPECT_GT(requestsFor(listed), 10u);
        EXPECT_GT(requestsFor(listed), 10u);
    });
}

// Other phones plugged in and out while the folder is served: the session
// chooses anew each time (the first phone of its list), and the mount
// brings it back to its own phone, whose files it goes on serving; its own
// phone pulled out ends it.
TEST_F(MountInProcess, StaysWithItsPhoneWhileOthersComeAndGo) {
    plug("first", phoneState("V3", {{Pic + "o.jpg", {1, 2}}}));
    auto phone = plug("cam", phoneState("E398", {{Pic + "p.jpg", test::FileBytes(9000, 1)}}));
    const QString file = mnt + "/a/mobile/picture/p.jpg";
    const QByteArray bytes = test::asBytes(test::FileBytes(9000, 1));
    // The session hears of a change before the next request.
    auto change = [&](const std::function<void()>& Change) {
        Change();
        onMain([&] { devices.DispatchPending(); });
    };
    EXPECT_EQ(
        serveWhile({"--phone", "2"},
                   [&] {
                       EXPECT_EQ(test::readBytes(file), bytes);
                       change([&] { plug("third", phoneState("V3")); });
                       EXPECT_EQ(test::readBytes(file), bytes);
                       change([&] { devices.UnplugPhone("first"); });
                       EXPECT_EQ(
                           sh("cp mnt/a/mobile/picture/p.jpg mnt/a/mobile/picture/q.jpg").Exit, 0);
                       EXPECT_EQ(test::readBytes(mnt + "/a/mobile/picture/q.jpg"), bytes);
                       EXPECT_FALSE(sh("ls mnt/a/mobile/picture").Out.contains("o.jpg"));
                       change([&] { devices.UnplugPhone("cam"); });
                       const test::TShell r = sh("cat mnt/a/mobile/picture/p.jpg");
                       EXPECT_TRUE(r.Err.contains("Input/output error")) << r.Err.toStdString();
                   }),
        3);
    EXPECT_NE(err.str().find("phone 2 was lost"), std::string::npos) << err.str();
    EXPECT_EQ(phone->State().Files.count(Pic + "q.jpg"), 1u);
}

// What needs the phone while a transfer runs waits its turn behind it, and
// what does not is answered meanwhile: a file appended to (fetched first,
// then uploaded) while another is fetched, and its folder listed.
TEST_F(MountInProcess, RequestsWaitTheirTurnBehindATransfer) {
    auto phone = plug("cam", phoneState("E398", {{Pic + "big.jpg", test::FileBytes(400000, 1)},
                                                 {"/a/notes.txt", {'a', 'b', '\n'}}}));
    phone->Faults().DelayMicroseconds = 1000;
    serveWhile({}, [&] {
        QProcess cat;
        cat.setWorkingDirectory(root);
        cat.setStandardOutputFile(root + "/big.out");
        cat.start("cat", {"mnt/a/mobile/picture/big.jpg"});
        // Under way once the copy's temporary file stands in the private folder.
        const QDeadlineTimer deadline(30000);
        auto fetching = [&] {
            QDirIterator it(root + "/run", QDir::Files | QDir::Hidden,
                            QDirIterator::Subdirectories);
            while (it.hasNext()) {
                if (it.next().endsWith(".part")) {
                    return true;
                }
            }
            return false;
        };
        while (!fetching() && !deadline.hasExpired()) {
            QThread::msleep(2);
        }
        EXPECT_TRUE(fetching());
        const test::TShell listed = sh("ls mnt/a");
        EXPECT_EQ(listed.Out, "mobile\nnotes.txt\n");
        const test::TShell appended = sh("echo cd >> mnt/a/notes.txt");
        EXPECT_EQ(appended.Exit, 0) << appended.Err.toStdString();
        EXPECT_TRUE(cat.waitForFinished(30000));
        EXPECT_EQ(cat.exitCode(), 0);
    });
    EXPECT_EQ(test::readBytes(root + "/big.out"), test::asBytes(test::FileBytes(400000, 1)));
    EXPECT_EQ(phone->State().Files["/a/notes.txt"].Data,
              (std::vector<uint8_t>{'a', 'b', '\n', 'c', 'd', '\n'}));
}

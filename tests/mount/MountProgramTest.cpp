// snaprill-cli mount, the program itself, on a folder of virtual phones:
// the phone as a folder that cp, rsync, cat, rm, mkdir and mv use.
#include <sys/stat.h>

#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <csignal>

#include "MountFixture.h"
#include "sim/PhoneFolderClaim.h"
#include "support/VirtualRig.h"

inline void PrintTo(const QString& Text, std::ostream* Out) {
    *Out << '"' << Text.toStdString() << '"';
}

namespace {

const QString Pictures = QStringLiteral("a/mobile/picture");

QByteArray bytes(size_t N, unsigned Seed) {
    const std::vector<uint8_t> b = test::FileBytes(N, Seed);
    return QByteArray(reinterpret_cast<const char*>(b.data()), qsizetype(b.size()));
}

class MountProgram : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        root = tmp.path();
        for (const char* folder : {"phones", "spare", "run", "home", "mnt"}) {
            QDir().mkpath(root + "/" + folder);
        }
        ::chmod(QFile::encodeName(root + "/run").constData(), 0700);
        mnt = root + "/mnt";
    }
    void TearDown() override {
        test::unmount(mnt);
        if (server.state() != QProcess::NotRunning && !server.waitForFinished(15000)) {
            server.kill();
            server.waitForFinished(5000);
        }
    }

    QProcessEnvironment environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", root + "/home");
        env.insert("XDG_CONFIG_HOME", root + "/home/config");
        env.insert("XDG_DATA_HOME", root + "/home/data");
        env.insert("XDG_RUNTIME_DIR", root + "/run");
        env.insert("SNAPRILL_VIRTUAL_PHONES", root + "/phones");
        return env;
    }
    // A phone of these files (paths under the phone's folder) and phone.ini.
    void makePhone(const QString& Name, const std::map<QString, QByteArray>& Files,
                   const QByteArray& Ini = "Model = E398\n") {
        test::writeBytes(root + "/phones/" + Name + "/phone.ini", Ini);
        for (const auto& [path, data] : Files) {
            test::writeBytes(root + "/phones/" + Name + "/" + path, data);
        }
    }
    // Runs snaprill-cli to its end.
    test::TShell cli(const QStringList& Args) {
        QProcess p;
        p.setProcessEnvironment(environment());
        p.start(QStringLiteral(SNAPRILL_CLI_PROGRAM), Args);
        test::TShell r;
        if (p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit) {
            r.Exit = p.exitCode();
        }
        r.Out = QString::fromLocal8Bit(p.readAllStandardOutput());
        r.Err = QString::fromLocal8Bit(p.readAllStandardError());
        return r;
    }
    // Serves the mount in the foreground, and waits until it is mounted.
    void serve(const QStringList& Args = {}) {
        server.setProcessEnvironment(environment());
        server.start(QStringLiteral(SNAPRILL_CLI_PROGRAM), QStringList{"mount", mnt, "-f"} + Args);
        ASSERT_TRUE(server.waitForStarted(10000));
        ASSERT_TRUE(test::waitMount(mnt, true, [this] {
            return server.state() == QProcess::NotRunning;
        })) << server.readAllStandardError().toStdString();
    }
    test::TShell sh(const QString& Script) { return test::shell(Script, root); }
    // The files of the mount's private folder (copies, staged files).
    QStringList kept() const {
        QStringList found;
        QDirIterator it(root + "/run", QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            if (!path.contains("/snaprill-mounts/")) {
                found.append(path);
            }
        }
        return found;
    }

    QTemporaryDir tmp;
    QString root;
    QString mnt;
    QProcess server;
};

}  // namespace

// The demo's phone read through the mount: its picture folder by cp -r, the
// whole phone by rsync -a, two files read at once; all byte for byte.
TEST_F(MountProgram, ReadsThePhoneByteForByte) {
    const test::TShell made = test::shell(
        QStringLiteral("'%1' '%2'").arg(SNAPRILL_DEMO_PHONES_PROGRAM, root + "/phones"), root);
    ASSERT_EQ(made.Exit, 0) << made.Err.toStdString();
    // The phone in modem mode would come later, as a second phone: it stays away.
    QDir(root + "/phones/e398.modem").removeRecursively();
    test::writeBytes(root + "/phones/razr/b/big/one.bin", bytes(300000, 7));
    test::writeBytes(root + "/phones/razr/b/big/two.bin", bytes(200001, 8));
    serve();
    const QString phone = root + "/phones/razr";

    test::TShell r = sh("cp -r mnt/" + Pictures + " pictures");
    ASSERT_EQ(r.Exit, 0) << r.Err.toStdString();
    EXPECT_EQ(test::filesWithBytes(root + "/pictures"),
              test::filesWithBytes(phone + "/" + Pictures));
    EXPECT_EQ(test::filesWithBytes(root + "/pictures").size(), 12u);

    r = sh("rsync -a mnt/ backup/");
    ASSERT_EQ(r.Exit, 0) << r.Err.toStdString();
    std::map<QString, QByteArray> onPhone = test::filesWithBytes(phone);
    onPhone.erase("phone.ini");
    onPhone.erase(PhoneClaimFileName);  // the mount's hold on the phone, not a phone file
    EXPECT_EQ(test::filesWithBytes(root + "/backup"), onPhone);

    r = sh("cat mnt/b/big/one.bin > one & cat mnt/b/big/two.bin > two; wait");
    ASSERT_EQ(r.Exit, 0) << r.Err.toStdString();
    EXPECT_EQ(test::readBytes(root + "/one"), bytes(300000, 7));
    EXPECT_EQ(test::readBytes(root + "/two"), bytes(200001, 8));
    // Sizes come from the listing, as ls -l shows them.
    EXPECT_EQ(QFileInfo(mnt + "/b/big/two.bin").size(), 200001);
    // Copies go with their last reader.
    EXPECT_EQ(kept(), QStringList());
}

// A file copied in lands on the phone: listed at its size and read back
// from the phone byte for byte; a file rewritten or cut short in place
// too; rm deletes.
TEST_F(MountProgram, WritesAndDeletesOnThePhone) {
    makePhone("cam", {{Pictures + "/old.jpg", bytes(5000, 1)},
                      {Pictures + "/gone.jpg", bytes(10, 2)},
                      {"a/notes.txt", bytes(100, 5)}});
    test::writeBytes(root + "/new.jpg", bytes(30000, 3));
    test::writeBytes(root + "/other.jpg", bytes(7000, 4));
    serve();

    test::TShell r =
        sh("cp new.jpg mnt/" + Pictures + "/ && cp other.jpg mnt/" + Pictures +
           "/old.jpg && rm mnt/" + Pictures + "/gone.jpg && truncate -s 10 mnt/a/notes.txt");
    ASSERT_EQ(r.Exit, 0) << r.Err.toStdString();
    EXPECT_EQ(test::readBytes(mnt + "/a/notes.txt"), bytes(100, 5).left(10));
    r = sh("ls -l mnt/" + Pictures);
    EXPECT_TRUE(r.Out.contains(QRegularExpression(" 30000 [^\n]* new\\.jpg\n")))
        << r.Out.toStdString();
    EXPECT_TRUE(r.Out.contains(QRegularExpression(" 7000 [^\n]* old\\.jpg\n")))
        << r.Out.toStdString();
    EXPECT_FALSE(r.Out.contains("gone.jpg")) << r.Out.toStdString();
    EXPECT_EQ(test::readBytes(mnt + "/" + Pictures + "/new.jpg"), bytes(30000, 3));
    EXPECT_EQ(test::readBytes(mnt + "/" + Pictures + "/old.jpg"), bytes(7000, 4));
    r = sh("cat mnt/" + Pictures + "/gone.jpg");
    EXPECT_NE(r.Exit, 0);
    EXPECT_TRUE(r.Err.contains("No such file or directory")) << r.Err.toStdString();
    EXPECT_EQ(kept(), QStringList());
}

// What the phone cannot do is refused with its error number, and nothing
// on the phone changes: a folder made empty, a rename, links, permissions,
// a name its code page cannot hold, a file larger than its free space.
TEST_F(MountProgram, RefusesWhatThePhoneCannotDo) {
    makePhone("cam", {{Pictures + "/p.jpg", bytes(3000, 1)}, {"a/notes.txt", bytes(100, 2)}},
              "Model = E398\nFreeSpace = 100000\n");
    test::writeBytes(root + "/small.jpg", bytes(1000, 3));
    test::writeBytes(root + "/large.jpg", bytes(150000, 4));
    serve();
    const QString listing = "find mnt -exec ls -ld {} + | awk '{print $1, $5, $9}'";
    const QString before = sh(listing).Out;
    ASSERT_TRUE(before.contains("p.jpg")) << before.toStdString();

    const struct {
        QString Script;
        const char* Error;
    } cases[] = {
        {"mkdir mnt/a/new", "Operation not permitted"},
        {"mv mnt/" + Pictures + "/p.jpg mnt/" + Pictures + "/q.jpg", "Operation not permitted"},
        {"ln -s p.jpg mnt/" + Pictures + "/link.jpg", "Operation not permitted"},
        {"ln mnt/" + Pictures + "/p.jpg mnt/" + Pictures + "/hard.jpg", "Operation not permitted"},
        {"chmod 600 mnt/a/notes.txt", "Operation not permitted"},
        {"cp small.jpg 'mnt/" + Pictures + "/日本.jpg'",
         "Invalid or incomplete multibyte or wide character"},
        {"cp small.jpg mnt/" + Pictures + "/" + QString(260, 'x') + ".jpg", "File name too long"},
        {"cp large.jpg mnt/" + Pictures + "/", "No space left on device"},
        {"cp small.jpg mnt/", "Permission denied"},
        {"rmdir mnt/a/mobile", "Directory not empty"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Script.toStdString());
        const test::TShell r = sh(c.Script);
        EXPECT_NE(r.Exit, 0);
        EXPECT_TRUE(r.Err.contains(c.Error)) << r.Err.toStdString();
    }
    EXPECT_EQ(sh(listing).Out, before);
    EXPECT_EQ(test::readBytes(mnt + "/" + Pictures + "/p.jpg"), bytes(3000, 1));
    EXPECT_EQ(kept(), QStringList());
}

TEST_F(MountProgram, ReadOnlyRefusesEveryChange) {
    makePhone("cam", {{Pictures + "/p.jpg", bytes(3000, 1)}});
    test::writeBytes(root + "/small.jpg", bytes(1000, 3));
    serve({"--read-only"});
    for (const QString& script :
         {"cp small.jpg mnt/" + Pictures + "/", "rm mnt/" + Pictures + "/p.jpg",
          QStringLiteral("mkdir mnt/a/x")}) {
        const test::TShell r = sh(script);
        EXPECT_NE(r.Exit, 0) << script.toStdString();
        EXPECT_TRUE(r.Err.contains("Read-only file system")) << r.Err.toStdString();
    }
    EXPECT_EQ(test::readBytes(mnt + "/" + Pictures + "/p.jpg"), bytes(3000, 1));
}

// The phone pulled out in the middle of a copy, out of the mount and into
// it: cp fails with an I/O error, nothing partial is left on either side,
// and the mount answers EIO until it is unmounted.
TEST_F(MountProgram, PhonePulledDuringACopy) {
    for (const bool out : {true, false}) {
        SCOPED_TRACE(out ? "copy out" : "copy in");
        QDir(root + "/phones/cam").removeRecursively();
        QFile::remove(root + "/copy.jpg");
        // A slow phone, so that the copy is under way when the phone goes.
        makePhone("cam", {{Pictures + "/big.jpg", bytes(2000000, 1)}},
                  "Model = E398\nDelay = 2\nFreeSpace = 8000000\n");
        test::writeBytes(root + "/local.jpg", bytes(1000000, 2));
        serve();
        QProcess cp;
        cp.setWorkingDirectory(root);
        cp.start("cp", out ? QStringList{"mnt/" + Pictures + "/big.jpg", "copy.jpg"}
                           : QStringList{"local.jpg", "mnt/" + Pictures + "/copy.jpg"});
        // Under way: the copy being fetched, or the file staged whole.
        const QDeadlineTimer deadline(30000);
        auto underWay = [&] {
            for (const QString& f : kept()) {
                if (out ? f.endsWith(".part") : QFileInfo(f).size() == 1000000) {
                    return true;
                }
            }
            return false;
        };
        while (!underWay() && !deadline.hasExpired() && cp.state() != QProcess::NotRunning) {
            QThread::msleep(5);
        }
        ASSERT_TRUE(underWay());
        ASSERT_TRUE(QDir().rename(root + "/phones/cam", root + "/spare/cam"));
        ASSERT_TRUE(cp.waitForFinished(30000));
        EXPECT_NE(cp.exitCode(), 0);
        EXPECT_TRUE(cp.readAllStandardError().contains("Input/output error"));
        // cp made its file before reading: it holds nothing of the phone's.
        EXPECT_LE(QFileInfo(root + "/copy.jpg").size(), 0);
        for (const QString& script :
             {QStringLiteral("ls mnt/a"), "cat mnt/" + Pictures + "/big.jpg"}) {
            const test::TShell r = sh(script);
            EXPECT_TRUE(r.Err.contains("Input/output error")) << r.Err.toStdString();
        }
        EXPECT_TRUE(test::mounted(mnt));
        EXPECT_EQ(kept(), QStringList());
        test::unmount(mnt);
        ASSERT_TRUE(server.waitForFinished(15000));
        EXPECT_EQ(server.exitCode(), 3) << server.readAllStandardError().toStdString();
        // Plugged in again, the phone holds what it held.
        ASSERT_TRUE(QDir().rename(root + "/spare/cam", root + "/phones/cam"));
        const test::TShell ls = cli({"ls", "--files"});
        EXPECT_EQ(ls.Out, "   2000000  /a/mobile/picture/big.jpg\n1 files, 1.9 MB\n");
    }
}

// As FUSE tools do: mount returns once the folder is there and a server
// serves it in the background; umount ends that server, its private files
// with it. In the foreground, Ctrl+C unmounts.
TEST_F(MountProgram, BackgroundServerUmountAndCtrlC) {
    makePhone("cam", {{Pictures + "/p.jpg", bytes(3000, 1)}});
    test::TShell r = cli({"mount", mnt});
    ASSERT_EQ(r.Exit, 0) << r.Err.toStdString();
    EXPECT_EQ(r.Out + r.Err, "");
    EXPECT_TRUE(test::mounted(mnt));  // at once: mount returned once mounted
    EXPECT_EQ(test::readBytes(mnt + "/" + Pictures + "/p.jpg"), bytes(3000, 1));
    r = cli({"mount", mnt});
    EXPECT_EQ(r.Exit, 2);
    EXPECT_TRUE(r.Err.contains("shows a phone already")) << r.Err.toStdString();
    r = cli({"umount", mnt});
    ASSERT_EQ(r.Exit, 0) << r.Err.toStdString();
    EXPECT_FALSE(test::mounted(mnt));
    // The server is gone once umount returns: nothing of it is left.
    EXPECT_EQ(QDir(root + "/run").entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
              QStringList{"snaprill-mounts"});
    EXPECT_EQ(
        QDir(root + "/run/snaprill-mounts").entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
        QStringList());
    r = cli({"umount", mnt});
    EXPECT_EQ(r.Exit, 2);
    EXPECT_TRUE(r.Err.contains("is not a folder that snaprill-cli mount shows"))
        << r.Err.toStdString();

    r = cli({"mount", root + "/nowhere"});
    EXPECT_EQ(r.Exit, 2);
    EXPECT_TRUE(r.Err.contains("is not a folder")) << r.Err.toStdString();
    // No phone: the error comes from the server, told by mount.
    QDir(root + "/phones/cam").removeRecursively();
    r = cli({"mount", mnt});
    EXPECT_EQ(r.Exit, 3);
    EXPECT_EQ(r.Err, "snaprill-cli: no phone is connected\n");
    EXPECT_FALSE(test::mounted(mnt));

    makePhone("cam", {{Pictures + "/p.jpg", bytes(3000, 1)}});
    serve();
    ::kill(static_cast<pid_t>(server.processId()), SIGINT);
    ASSERT_TRUE(server.waitForFinished(15000));
    EXPECT_EQ(server.exitCode(), 0) << server.readAllStandardError().toStdString();
    EXPECT_FALSE(test::mounted(mnt));
    EXPECT_EQ(kept(), QStringList());
}

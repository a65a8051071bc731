// The program started as a user starts it, on a folder of virtual phones:
// a phone in modem mode is switched, listed and, with "Download all photos
// on connect" on, its pictures land in the save folder.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>

#include "support/VirtualRig.h"

namespace {
void put(const QString& Path, const QByteArray& Data) {
    QDir().mkpath(QFileInfo(Path).absolutePath());
    QFile f(Path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(Data);
}
QByteArray get(const QString& Path) {
    QFile f(Path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
}  // namespace

// Ended by a signal, as a logout or a kill ends it, the program first runs
// its close sequence: the settings and the exclusion list are written.
TEST(ProgramRoad, ModemPhonePicturesArriveByteIdentical) {
    for (const int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signal);
        QTemporaryDir tmp;
        ASSERT_TRUE(tmp.isValid());
        const QString root = tmp.path();
        const QString out = root + "/out/";
        std::map<QString, QByteArray> pictures;
        for (int i = 0; i < 3; ++i) {
            const auto data = test::FileBytes(3000 + 1500 * size_t(i), unsigned(i + 1));
            pictures["img" + QString::number(i) + ".jpg"] =
                QByteArray(reinterpret_cast<const char*>(data.data()), qsizetype(data.size()));
        }
        for (const auto& [name, data] : pictures) {
            put(root + "/phones/cam.modem/a/mobile/picture/" + name, data);
        }
        put(root + "/phones/cam.modem/phone.ini", "Model = Road\n");
        const QString conf = root + "/config/Brenwick/Snaprill.conf";
        put(conf, "[General]\ndownload=1\ndir=" + out.toUtf8() + "\n");

        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", root);
        env.insert("XDG_CONFIG_HOME", root + "/config");
        env.insert("XDG_DATA_HOME", root + "/data");
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("SNAPRILL_VIRTUAL_PHONES", root + "/phones");
        program.setProcessEnvironment(env);
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // The program keeps a signal ignored that its starter ignored (as
        // nohup and a background job of a non-interactive shell ignore
        // SIGINT): the child is given the handling a desktop starts it with,
        // whatever this test program inherited.
        program.setChildProcessModifier([] {
            for (const int s : {SIGTERM, SIGINT, SIGHUP}) {
                ::signal(s, SIG_DFL);
            }
            sigset_t none;
            sigemptyset(&none);
            ::sigprocmask(SIG_SETMASK, &none, nullptr);
        });
        program.start(QStringLiteral(SNAPRILL_PROGRAM), {});
        ASSERT_TRUE(program.waitForStarted(10000));

        auto arrived = [&] {
            for (const auto& [name, data] : pictures) {
                if (get(out + name) != data) {
                    return false;
                }
            }
            return true;
        };
        QElapsedTimer waited;
        waited.start();
        while (!arrived() && waited.elapsed() < 30000 && program.state() == QProcess::Running) {
            QThread::msleep(50);
        }
        const bool running = program.state() == QProcess::Running;
        ::kill(static_cast<pid_t>(program.processId()), signal);
        const bool ended = program.waitForFinished(10000);
        if (!ended) {
            program.kill();
            program.waitForFinished(5000);
        }
        ASSERT_TRUE(running) << "the program ended by itself";
        EXPECT_TRUE(arrived());
        EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::Hidden).size(), pictures.size());
        EXPECT_TRUE(ended);
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), 0);
        EXPECT_TRUE(get(conf).contains("charset=1")) << get(conf).toStdString();
        EXPECT_TRUE(QFile::exists(root + "/data/Brenwick/Snaprill/exclude.txt"));
        // No dialog was opened, so none left its settings behind.
        EXPECT_FALSE(QFile::exists(root + "/config/QtProject.conf"));
    }
}

// Started again with the same settings, the program hands over to the one
// that runs and ends; one killed outright leaves a lock that keeps no later
// start away.
TEST(ProgramRoad, ASecondStartHandsOverAndAKilledOneLeavesNoLock) {
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString root = tmp.path();
    ASSERT_TRUE(QDir().mkpath(root + "/phones"));
    ASSERT_TRUE(QDir().mkpath(root + "/runtime"));
    QFile::setPermissions(root + "/runtime",
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", root);
    env.insert("XDG_CONFIG_HOME", root + "/config");
    env.insert("XDG_DATA_HOME", root + "/data");
    env.insert("XDG_RUNTIME_DIR", root + "/runtime");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("SNAPRILL_VIRTUAL_PHONES", root + "/phones");
    auto start = [&env](QProcess& Program) {
        Program.setProcessEnvironment(env);
        Program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        Program.start(QStringLiteral(SNAPRILL_PROGRAM), {});
        return Program.waitForStarted(10000);
    };
    // A later start that hands over ends at once, with success.
    auto handsOver = [&start](const QProcess& Running) {
        QProcess later;
        if (!start(later) || !later.waitForFinished(15000)) {
            later.kill();
            later.waitForFinished(5000);
            return false;
        }
        return later.exitStatus() == QProcess::NormalExit && later.exitCode() == 0 &&
               Running.state() == QProcess::Running;
    };

    // Whether Program holds the lock, as its file says.
    auto holdsLock = [&root](const QProcess& Program) {
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 10000) {
            for (const QString& name : QDir(root + "/runtime").entryList({"*.lock"}, QDir::Files)) {
                qint64 pid = 0;
                QString host, app;
                if (QLockFile(root + "/runtime/" + name).getLockInfo(&pid, &host, &app) &&
                    pid == Program.processId()) {
                    return true;
                }
            }
            QThread::msleep(20);
        }
        return false;
    };

    QProcess first;
    ASSERT_TRUE(start(first));
    ASSERT_TRUE(holdsLock(first));
    EXPECT_TRUE(handsOver(first));
    ::kill(static_cast<pid_t>(first.processId()), SIGKILL);
    first.waitForFinished(10000);
    ASSERT_FALSE(QDir(root + "/runtime").entryList({"*.lock"}, QDir::Files).isEmpty());

    QProcess next;
    ASSERT_TRUE(start(next));
    ASSERT_TRUE(holdsLock(next));
    EXPECT_TRUE(handsOver(next));
    ::kill(static_cast<pid_t>(next.processId()), SIGTERM);
    EXPECT_TRUE(next.waitForFinished(10000));
    EXPECT_EQ(next.exitCode(), 0);
    EXPECT_TRUE(QDir(root + "/runtime").entryList({"*.lock"}, QDir::Files).isEmpty());
}

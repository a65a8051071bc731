// The window and the command line as two programs on one folder of virtual
// phones: while the window holds a phone, the command line leaves it alone
// and says so; once the window has ended, the command line uses it.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>

#include "sim/PhoneFolderClaim.h"

TEST(TwoPrograms, TheCommandLineLeavesAPhoneTheWindowHolds) {
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString root = tmp.path();
    const QString phone = root + "/phones/cam";
    ASSERT_TRUE(QDir().mkpath(phone + "/a/mobile/picture"));
    {
        QFile picture(phone + "/a/mobile/picture/p.jpg");
        ASSERT_TRUE(picture.open(QIODevice::WriteOnly));
        picture.write("12345");
    }
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
    struct TRun {
        int Status = -1;
        QByteArray Out, Err;
    };
    auto cli = [&env](const QStringList& Args) {
        QProcess program;
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(SNAPRILL_CLI_PROGRAM), Args);
        TRun run;
        if (program.waitForFinished(30000) && program.exitStatus() == QProcess::NormalExit) {
            run.Status = program.exitCode();
        } else {
            program.kill();
            program.waitForFinished(5000);
        }
        run.Out = program.readAllStandardOutput();
        run.Err = program.readAllStandardError();
        return run;
    };

    QProcess window;
    window.setProcessEnvironment(env);
    window.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    window.start(QStringLiteral(SNAPRILL_PROGRAM), {});
    ASSERT_TRUE(window.waitForStarted(10000));
    // Ready once the window has opened the phone (it keeps it open).
    QElapsedTimer waited;
    waited.start();
    while (!PhoneFolderClaimed(phone.toStdString()) && waited.elapsed() < 30000 &&
           window.state() == QProcess::Running) {
        QThread::msleep(20);
    }
    const bool held = PhoneFolderClaimed(phone.toStdString());
    TRun busy, listed;
    if (held) {
        busy = cli({"get", "--to", root + "/out"});
        listed = cli({"phones"});
    }
    ::kill(static_cast<pid_t>(window.processId()), SIGTERM);
    if (!window.waitForFinished(10000)) {
        window.kill();
        window.waitForFinished(5000);
    }
    ASSERT_TRUE(held) << "the window never held the phone";
    EXPECT_EQ(busy.Status, 3);
    EXPECT_EQ(busy.Err,
              "snaprill-cli: phone 1 is in use by another program, such as the Snaprill window: "
              "nothing was done\n");
    EXPECT_FALSE(QDir(root + "/out").exists() && !QDir(root + "/out").isEmpty());
    EXPECT_EQ(listed.Out, "1  unknown model  P2K, in use by another program\n");

    EXPECT_FALSE(PhoneFolderClaimed(phone.toStdString()));
    const TRun free = cli({"get", "--to", root + "/out"});
    EXPECT_EQ(free.Status, 0) << free.Err.toStdString();
    EXPECT_TRUE(QFile::exists(root + "/out/p.jpg"));
}

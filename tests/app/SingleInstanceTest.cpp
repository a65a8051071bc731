// One running program per settings file, in one process: the lock, the
// request a later start sends, and the lock's holder that does not answer.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QLockFile>
#include <QTemporaryDir>

#include "AppFixture.h"
#include "gui/SingleInstance.h"

namespace {
bool runUntil(const std::function<bool()>& Done) {
    QElapsedTimer t;
    t.start();
    while (!Done() && t.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return Done();
}
}  // namespace

TEST(SingleInstance, ALaterStartAsksTheFirstToShowItself) {
    testApp();
    QTemporaryDir runtime;
    using TClaim = TSingleInstance::TClaim;
    TSingleInstance first(runtime.path(), "/home/u/.config/Brenwick/Snaprill.conf");
    ASSERT_EQ(first.Claim(), TClaim::First);
    EXPECT_EQ(first.Error(), "");

    // Asked before the window exists: shown once it is there.
    TSingleInstance second(runtime.path(), "/home/u/.config/Brenwick/Snaprill.conf");
    EXPECT_EQ(second.Claim(1000), TClaim::Forwarded);
    QCoreApplication::processEvents();
    int shown = 0;
    first.SetOnShowAsked([&shown] { ++shown; });
    EXPECT_TRUE(runUntil([&] { return shown == 1; }));
    EXPECT_EQ(TSingleInstance(runtime.path(), "/home/u/.config/Brenwick/Snaprill.conf").Claim(1000),
              TClaim::Forwarded);
    EXPECT_TRUE(runUntil([&] { return shown == 2; }));

    // Anything but the request shows nothing.
    QLocalSocket stranger;
    stranger.connectToServer(first.SocketPath());
    ASSERT_TRUE(stranger.waitForConnected(1000));
    stranger.write(QByteArray(4096, 's'));
    stranger.waitForBytesWritten(1000);
    runUntil([&] { return stranger.state() == QLocalSocket::UnconnectedState; });
    EXPECT_EQ(shown, 2);

    // Another settings file is another program.
    TSingleInstance other(runtime.path(), "/tmp/test/Snaprill.conf");
    EXPECT_EQ(other.Claim(), TClaim::First);
}

TEST(SingleInstance, AHolderThatDoesNotListenIsReportedAndNoFolderStillRuns) {
    testApp();
    QTemporaryDir runtime;
    using TClaim = TSingleInstance::TClaim;
    TSingleInstance later(runtime.path(), "key");
    QLockFile held(later.LockPath());
    ASSERT_TRUE(held.tryLock(0));
    QElapsedTimer waited;
    waited.start();
    EXPECT_EQ(later.Claim(300), TClaim::Unanswered);
    EXPECT_GE(waited.elapsed(), 300);
    EXPECT_EQ(later.HolderPid(), QCoreApplication::applicationPid());

    QFile file(runtime.path() + "/file");  // a file where the folder would go
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    TSingleInstance nowhere(runtime.path() + "/file/sub", "key");
    EXPECT_EQ(nowhere.Claim(), TClaim::First);
    EXPECT_NE(nowhere.Error(), "");
}

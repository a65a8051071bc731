// Temporary files of downloads that a killed program left behind: removed
// when a download into their folder starts, once a day old and not held by
// a running Snaprill.
#include <QDir>
#include <QFile>
#include <QProcess>

#include "core/SessionFixture.h"
#include "core/files/StaleTemporaries.h"
#include "support/VirtualRig.h"

namespace {

void makeFile(const QString& Path, const QDateTime& Modified) {
    QFile f(Path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("part");
    f.flush();  // or the write at close would stamp it anew
    ASSERT_TRUE(f.setFileTime(Modified, QFileDevice::FileModificationTime));
}

// A pid no process can have.
qint64 impossiblePid() {
    QFile f("/proc/sys/kernel/pid_max");
    return f.open(QIODevice::ReadOnly) ? f.readAll().trimmed().toLongLong() + 1 : 99999999;
}

}  // namespace

TEST(StaleTemporaries, OnlyOldFilesOfOursNoSnaprillHolds) {
    test::coreApp();
    QTemporaryDir tmp;
    const QString d = tmp.path() + "/";
    const QDateTime now(QDate(2024, 5, 1), QTime(12, 0), Qt::UTC);
    const QDateTime old = now.addSecs(-TStaleCheck::MaxAgeSeconds - 60);
    const QDateTime fresh = now.addSecs(-TStaleCheck::MaxAgeSeconds + 60);
    struct Case {
        const char* Name;
        QDateTime Modified;
        bool Removed;
    };
    const Case cases[] = {
        {".a.jpg.100.0.part", old, true},
        {".a b.jpg.100.12.part", old, true},
        {".a.jpg.200.0.part", old, false},  // pid 200 is a running Snaprill
        {".a.jpg.100.1.part", fresh, false},
        {"a.jpg.100.0.part", old, false},  // not hidden: not ours
        {".a.jpg.part", old, false},       // no pid
        {".a.jpg.x.0.part", old, false},
        {".a.jpg.100.0.part.jpg", old, false},
        {"a.jpg", old, false},
    };
    for (const Case& c : cases) {
        makeFile(d + c.Name, c.Modified);
    }
    QDir().mkpath(d + ".folder.jpg.100.0.part");
    ASSERT_TRUE(QFile::link(d + "a.jpg", d + ".link.jpg.100.0.part"));

    TStaleCheck check;
    check.Now = [&] { return now; };
    std::vector<qint64> asked;
    check.IsOurs = [&](qint64 Pid) {
        asked.push_back(Pid);
        return Pid == 200;
    };
    QStringList removed = removeStaleTemporaries(d, check);
    removed.sort();
    EXPECT_EQ(removed, (QStringList{d + ".a b.jpg.100.12.part", d + ".a.jpg.100.0.part"}));
    for (const Case& c : cases) {
        EXPECT_EQ(QFile::exists(d + c.Name), !c.Removed) << c.Name;
    }
    EXPECT_TRUE(QFileInfo(d + ".folder.jpg.100.0.part").isDir());
    EXPECT_TRUE(QFileInfo(d + ".link.jpg.100.0.part").isSymLink());
}

TEST(StaleTemporaries, WhichProcessesAreSnaprills) {
    EXPECT_TRUE(TStaleCheck::isSnaprillProcess(QCoreApplication::applicationPid()));
    EXPECT_FALSE(TStaleCheck::isSnaprillProcess(0));
    EXPECT_FALSE(TStaleCheck::isSnaprillProcess(-1));
    EXPECT_FALSE(TStaleCheck::isSnaprillProcess(impossiblePid()));
    QProcess other;
    other.start("sleep", {"10"});
    ASSERT_TRUE(other.waitForStarted());
    EXPECT_FALSE(TStaleCheck::isSnaprillProcess(other.processId()));
    other.kill();
    other.waitForFinished();
}

class StaleOnDownload : public test::SessionTest {};

TEST_F(StaleOnDownload, ADownloadStartingInTheFolderRemovesThem) {
    plug("one", phoneState("A", "0A", {{"/a/mobile/picture/p.jpg", test::FileBytes(100)}}));
    QDir().mkpath(host.Folder);
    const QString stale = host.Folder + QString(".p.jpg.%1.0.part").arg(impossiblePid());
    const QString young = host.Folder + QString(".q.jpg.%1.0.part").arg(impossiblePid());
    makeFile(stale, QDateTime::currentDateTime().addDays(-2));
    makeFile(young, QDateTime::currentDateTime().addSecs(-60));
    start();
    selectAll();
    session->Download();
    EXPECT_FALSE(QFile::exists(stale));
    EXPECT_TRUE(QFile::exists(young));
    EXPECT_TRUE(QFile::exists(host.Folder + "p.jpg"));
    const QStringList lines(log.begin(), log.end());
    EXPECT_TRUE(lines.contains("Removed " + stale + ", left by a download that was cut off"));
}

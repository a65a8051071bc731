#pragma once

// Real mounts in tests: the kernel's FUSE, real cp, rsync, cat, rm, mkdir
// and mv. A mount is waited for by the mount table, with a deadline, and
// always unmounted at the end; a test that cannot mount fails.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <functional>
#include <map>

#include "mount/FuseMount.h"

namespace test {

// What a shell command did.
struct TShell {
    int Exit = -1;
    QString Out;
    QString Err;
};

// Runs Script with /bin/sh in Folder; any thread may run it.
inline TShell shell(const QString& Script, const QString& Folder, int TimeoutMs = 60000) {
    QProcess p;
    p.setWorkingDirectory(Folder);
    p.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), Script});
    TShell r;
    if (!p.waitForStarted(10000)) {
        r.Err = p.errorString();
        return r;
    }
    if (!p.waitForFinished(TimeoutMs)) {
        p.kill();
        p.waitForFinished(5000);
        r.Err = QStringLiteral("timed out: ") + Script;
        return r;
    }
    r.Exit = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.Out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.Err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

inline bool mounted(const QString& Dir) {
    return mountAt(QFileInfo(Dir).absoluteFilePath()).Type == QLatin1String("fuse.snaprill");
}

// Waits until Dir is mounted (or, with Mounted false, no longer is), up
// to a deadline; Stop ends the wait early (the server ended).
inline bool waitMount(const QString& Dir, bool Mounted, const std::function<bool()>& Stop = {},
                      int Ms = 30000) {
    const QDeadlineTimer deadline(Ms);
    while (mounted(Dir) != Mounted) {
        if (deadline.hasExpired() || (Stop && Stop())) {
            return false;
        }
        QThread::msleep(10);
    }
    return true;
}

// Unmounts Dir if it is mounted (lazily, so that a test's failure midway
// never leaves it behind).
inline void unmount(const QString& Dir) {
    if (mounted(Dir)) {
        QProcess::execute(QStringLiteral("fusermount3"),
                          {QStringLiteral("-u"), QStringLiteral("-z"), Dir});
    }
}

inline QByteArray readBytes(const QString& Path) {
    QFile f(Path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

inline void writeBytes(const QString& Path, const QByteArray& Data) {
    QDir().mkpath(QFileInfo(Path).absolutePath());
    QFile f(Path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << Path.toStdString();
    f.write(Data);
}

// Every file under Folder, by its path relative to it, with its bytes.
inline std::map<QString, QByteArray> filesWithBytes(const QString& Folder) {
    std::map<QString, QByteArray> files;
    QDirIterator it(Folder, QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files[QDir(Folder).relativeFilePath(path)] = readBytes(path);
    }
    return files;
}

}  // namespace test

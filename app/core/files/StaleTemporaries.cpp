#include "core/files/StaleTemporaries.h"

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

// The name of the executable behind a /proc entry's "exe" link, or its
// command name; empty when neither can be read.
QString processName(qint64 Pid) {
    const QString proc = QStringLiteral("/proc/%1/").arg(Pid);
    const QString exe = QFileInfo(proc + QStringLiteral("exe")).symLinkTarget();
    if (!exe.isEmpty()) {
        return QFileInfo(exe).fileName();
    }
    QFile comm(proc + QStringLiteral("comm"));
    if (comm.open(QIODevice::ReadOnly)) {
        return QString::fromLocal8Bit(comm.readAll().trimmed());
    }
    return {};
}

}  // namespace

bool TStaleCheck::isSnaprillProcess(qint64 Pid) {
    if (Pid <= 0) {
        return false;
    }
    if (Pid == ::getpid()) {
        return true;
    }
    if (!QFileInfo::exists(QStringLiteral("/proc/%1").arg(Pid))) {
        return false;  // no such process
    }
    const QString name = processName(Pid);
    if (name.isEmpty()) {
        return true;  // a process we may not look at: it may be ours
    }
    // Our own program under any name it was installed as, the window or a
    // front end named after it.
    const QString self =
        QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget()).fileName();
    return name == self || name.startsWith(QLatin1String("snaprill"));
}

std::optional<qint64> temporaryOwner(const QString& FileName) {
    static const QRegularExpression pattern(
        QStringLiteral("^\\..+\\.([0-9]{1,10})\\.[0-9]{1,3}\\.part$"));
    const QRegularExpressionMatch m = pattern.match(FileName);
    if (!m.hasMatch()) {
        return std::nullopt;
    }
    return m.captured(1).toLongLong();
}

QStringList removeStaleTemporaries(const QString& Folder, const TStaleCheck& Check) {
    QStringList removed;
    const QDateTime before = Check.Now().addSecs(-TStaleCheck::MaxAgeSeconds);
    const QFileInfoList entries = QDir(Folder).entryInfoList(
        {QStringLiteral(".*.part")}, QDir::Files | QDir::Hidden | QDir::NoSymLinks);
    for (const QFileInfo& info : entries) {
        const std::optional<qint64> pid = temporaryOwner(info.fileName());
        if (!pid || info.isSymLink() || !info.isFile() ||
            info.lastModified().toUTC() >= before.toUTC() || Check.IsOurs(*pid)) {
            continue;
        }
        if (QFile::remove(info.absoluteFilePath())) {
            removed.append(info.absoluteFilePath());
        }
    }
    return removed;
}

#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// A download lands in ".<name>.<pid>.<n>.part" beside its target and is
// renamed once complete; a program killed meanwhile leaves that file
// behind. Such a file is stale when it was last written more than MaxAge
// ago and no running Snaprill holds its pid.
struct TStaleCheck {
    static constexpr qint64 MaxAgeSeconds = qint64{24} * 60 * 60;
    // The time now.
    std::function<QDateTime()> Now = [] { return QDateTime::currentDateTimeUtc(); };
    // Whether the process Pid is a running Snaprill (or cannot be told
    // apart from one).
    std::function<bool(qint64 Pid)> IsOurs = isSnaprillProcess;

    static bool isSnaprillProcess(qint64 Pid);
};

// The pid in the name of one of our temporary files; nothing for any other name.
std::optional<qint64> temporaryOwner(const QString& FileName);

// Removes the stale temporary files directly in Folder (regular files
// only; links and folders are left alone). Returns the paths removed.
QStringList removeStaleTemporaries(const QString& Folder, const TStaleCheck& Check);

#pragma once

// Reading and writing the local files a test looks at.

#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

namespace test {

inline QByteArray asBytes(const std::vector<uint8_t>& Data) {
    return QByteArray(reinterpret_cast<const char*>(Data.data()), qsizetype(Data.size()));
}

// A local file's bytes, or "<missing>" when it cannot be read.
inline QByteArray readLocal(const QString& Path) {
    QFile f(Path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Writes a local file whole, making its folder first; false when it failed.
inline bool writeLocal(const QString& Path, const QByteArray& Data) {
    QDir().mkpath(QFileInfo(Path).absolutePath());
    QFile f(Path);
    return f.open(QIODevice::WriteOnly) && f.write(Data) == Data.size();
}

// Every file under Folder, hidden ones too, relative to it and sorted.
inline QStringList filesUnder(const QString& Folder) {
    QStringList found;
    QDirIterator it(Folder, QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        found.append(QDir(Folder).relativeFilePath(it.next()));
    }
    found.sort();
    return found;
}

}  // namespace test

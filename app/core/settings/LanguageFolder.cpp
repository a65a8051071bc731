#include "core/settings/LanguageFolder.h"

#include <QDir>
#include <QFileInfo>

QString languageFolderFor(const QString& ExeDir) {
    const QString beside = QDir(ExeDir).filePath(QStringLiteral("lang"));
    const QString installed =
        QDir::cleanPath(QDir(ExeDir).filePath(QStringLiteral("../share/snaprill/lang")));
    if (!QFileInfo(beside).isDir() && QFileInfo(installed).isDir()) {
        return installed;
    }
    return beside;
}

QStringList listLanguageFiles(const QString& Folder) {
    if (Folder.isEmpty()) {
        return {};
    }
    QDir dir(Folder);
    return dir.entryList({QStringLiteral("*.lang")}, QDir::Files, QDir::Name | QDir::IgnoreCase);
}

#pragma once

#include <QString>
#include <QStringList>

// The language folder of an executable in ExeDir: "<ExeDir>/lang", or
// "<ExeDir>/../share/snaprill/lang" when only that one exists (installed).
QString languageFolderFor(const QString& ExeDir);

// The names of the "*.lang" files of Folder: ordinary files only, hidden
// ones left out, sorted without regard to letter case. A missing folder
// lists nothing.
QStringList listLanguageFiles(const QString& Folder);

#pragma once

#include <QString>

// The files the program keeps for its user, where the window and the command
// line both find them.
struct TUserPaths {
    QString SettingsPath;  // the window's settings
    QString ExcludePath;   // the exclusion list, exclude.txt
    QString PicturesDir;   // the default download folder, ending in "/"
    QString HistoryPath;   // the pictures downloaded before, history.txt beside exclude.txt
};

// Names the application as the user's folders know it (Brenwick/Snaprill),
// before any path is asked for.
void setApplicationNames();

// The user's own places: the settings file of the organisation and program,
// exclude.txt in the per-user data folder, and the Pictures folder (the home
// folder when the desktop names none).
TUserPaths defaultUserPaths();

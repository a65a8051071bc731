#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>

class QFileDialog;
class QWidget;

// The window's modal questions and messages. The program shows the
// desktop's dialogs; tests answer them.
struct TFormDialogs {
    // A folder choice: the chosen folder, or an empty text on cancel.
    std::function<QString(QWidget* Parent, const QString& Title, const QString& Current)>
        ChooseFolder;
    // The files chosen in an open-file dialog; empty on cancel.
    std::function<QStringList(QFileDialog* Dialog)> ChooseFiles;
    // A file to save to, suggested Current; an empty text on cancel.
    std::function<QString(QWidget* Parent, const QString& Title, const QString& Current)>
        ChooseSaveFile;
    // A question with the buttons Yes and No; true for Yes.
    std::function<bool(QWidget* Parent, const QString& Text)> AskYesNo;
    // A message with one OK button; Error marks a failure.
    std::function<void(QWidget* Parent, const QString& Text, bool Error)> ShowMessage;
};

// Where the window keeps its files and how it reaches the desktop. The
// program takes the user's own places; tests point every path into a
// temporary folder and replace the desktop calls.
struct TFormConfig {
    QString SettingsPath;   // the settings file
    QString AutostartPath;  // the autostart entry
    QString ExcludePath;    // exclude.txt
    QString HistoryPath;    // history.txt, the pictures downloaded before, beside it
    QString LangDir;        // the language folder
    QString ExePath;        // the executable, as the autostart entry starts it
    QString PicturesDir;    // default download folder, ending in "/"
    QString ThumbnailDir;   // where picture previews are kept; empty: in memory only

    // Opens a mailto: or web address in the user's programs.
    std::function<bool(const QUrl& Url)> OpenUrl;
    TFormDialogs Dialogs;
    // Whether the desktop has a notification area.
    std::function<bool()> TrayAvailable;
};

// The real places and desktop calls of the running program.
TFormConfig defaultFormConfig();

#pragma once

#include <QString>
#include <QStringList>
#include <string>

#include "core/session/SessionMsg.h"

// The options a command reads at the moment it needs them, so that a change
// made while a command runs acts from the next read on.
enum class TSessionOption {
    Overwrite,    // Photo Manager downloads replace existing local files
    DeleteAfter,  // Photo Manager downloads delete each complete picture from the phone
    DownloadAll,  // a phone listed in Photo Manager mode is downloaded whole
    Previews,     // thumbnails of the listed pictures are fetched between commands
    // A complete download takes the time its picture was taken (on by default).
    PictureTime,
    // Photo Manager downloads skip pictures downloaded from that phone before,
    // wherever their copies went (off by default).
    SkipDownloaded,
    // Photo Manager downloads keep a different picture whose name is taken
    // under a numbered name ("x (2).jpg") instead of skipping it (off by
    // default).
    KeepBoth,
};

// What only a front end can do for the phone session: let pending events
// run, answer the questions a command asks and show its messages, and read
// the options where the commands read them. The window implements it with
// its controls and dialogs, tests with answers, the command line with the
// terminal.
class ISessionHost {
  public:
    virtual ~ISessionHost() = default;

    // Handles what is pending (input, repaint, device events). Called at the
    // fixed points of every command; anything handled here runs re-entrantly.
    virtual void ProcessEvents() = 0;

    virtual bool Option(TSessionOption Option) = 0;
    // The folder Photo Manager downloads go to, ending in "/".
    virtual QString SaveFolder() = 0;
    // The phone folder (phone bytes, ending in "/") that File Manager uploads
    // go to; empty when none is chosen.
    virtual std::string UploadFolder() = 0;
    // The folder pattern Photo Manager downloads sort pictures into under
    // the save folder (see FolderPattern.h); empty when they are not sorted.
    virtual QString FolderPattern() = 0;
    // A second folder that Photo Manager downloads copy each picture into,
    // ending in "/"; empty for none.
    virtual QString SecondFolder() = 0;

    // A folder chosen by the user; empty when cancelled.
    virtual QString ChooseFolder(const TSessionMsg& Title) = 0;
    // Local files chosen for an upload; empty when cancelled.
    virtual QStringList ChooseFiles() = 0;
    // A question with the answers Yes (true) and No.
    virtual bool AskYesNo(const TSessionMsg& Question) = 0;
    // A message with one OK button; Error marks a failure.
    virtual void ShowMessage(const TSessionMsg& Message, bool Error) = 0;
};

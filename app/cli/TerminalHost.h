#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <string>

#include "core/session/SessionHost.h"

class TCliReport;
class TPhoneSession;
struct TPhoneBackend;

// The phone session's host on a terminal. Pending events are the device
// source's, handed on directly (no event loop runs during a command), and
// a stop asked for by a signal reaches the running command there. The
// options and answers are the command line's; no dialog is ever shown: a
// folder or the files to upload come from the arguments, a question is
// answered by --overwrite, and error messages go to the report.
class TTerminalHost final : public ISessionHost {
  public:
    TTerminalHost(TPhoneBackend& Backend, TCliReport& Report)
        : backend_(Backend), report_(Report) {}

    void SetSession(TPhoneSession* Session) { session_ = Session; }

    bool Overwrite = false;
    bool DeleteAfter = false;
    bool NewOnly = false;
    bool KeepBoth = false;
    QString Folder;           // where downloads go, ending in "/"
    QString Pattern;          // the folders by date pictures are sorted into; empty: none
    QString Second;           // where a second copy goes, ending in "/"; empty: none
    std::string PhoneFolder;  // where uploads go (phone bytes, ending in "/")
    QStringList Files;        // the files to upload
    // What else is served at a command's pauses: a mounted phone folder's
    // requests, answered while its transfers run.
    std::function<void()> AtPause;

    void ProcessEvents() override;
    bool Option(TSessionOption Option) override;
    QString SaveFolder() override { return Folder; }
    std::string UploadFolder() override { return PhoneFolder; }
    QString FolderPattern() override { return Pattern; }
    QString SecondFolder() override { return Second; }
    QString ChooseFolder(const TSessionMsg&) override { return Folder; }
    QStringList ChooseFiles() override { return Files; }
    bool AskYesNo(const TSessionMsg&) override { return Overwrite; }
    void ShowMessage(const TSessionMsg& Message, bool Error) override;

  private:
    TPhoneBackend& backend_;
    TCliReport& report_;
    TPhoneSession* session_ = nullptr;
};

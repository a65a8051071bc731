#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/ProgressLine.h"
#include "cli/TerminalHost.h"
#include "core/files/ListRules.h"
#include "core/files/TransferRules.h"
#include "core/session/CommandOutcome.h"
#include "core/session/PhoneSession.h"

class TCliReport;
class TMotoP2KModemItem;
class TPhoneSession;
struct TCliEnv;
struct TCliOptions;

// The bytes the command line reads per block, whatever the mode: as much as
// one reply carries on every link (see LinuxControlTransferLimit).
inline constexpr int32_t CliBlockSize = FastBlockSize;
// How long a command waits, without --wait, for a phone it switched out of
// modem mode: its coming back would otherwise cut the command short.
inline constexpr int SwitchWaitSeconds = 15;

// The phone session as the command line drives it: started with the command
// line's rules (4000-byte blocks, listings that stop at the counted entries,
// --mirror), waited for, brought to the phone and drive asked for, its
// transfers drawn on the progress line and its failures told to the report.
class TCliPhone {
  public:
    TCliPhone(TCliEnv& Env, const TCliOptions& Options, TCliReport& Report);
    ~TCliPhone();
    TCliPhone(const TCliPhone&) = delete;
    TCliPhone& operator=(const TCliPhone&) = delete;

    // Starts the session listing in Mode, loads the exclusion list and, with
    // --wait, waits for the phones. Phones in modem mode are left as they
    // are, unless Modems says to switch them all. False (reported) when
    // stopped by a signal.
    bool Start(TManagerMode Mode, TModemPolicy Modems = TModemPolicy::Leave);
    // Brings the session to the phone and drive asked for; false (reported)
    // when there is none or it cannot be used. Phones are counted as
    // `phones` lists them: those in P2K mode, then those in modem mode; a
    // phone in modem mode is switched, alone, and waited for.
    bool Choose();
    // After a command: false (reported) when the phone was lost, the phones
    // changed or a stop was asked for, so the command's work is not whole.
    bool StillThere();

    TPhoneSession& Session() { return *session_; }
    TTerminalHost& Host() { return host_; }
    // The chosen phone's entry as the window shows it.
    QString PhoneName() const;
    // Whether phone Index (from 0) was found held by another program.
    bool HeldElsewhere(int Index) const;
    // The phones switched out of modem mode that have not come back in P2K
    // mode yet, by their modem's description.
    const QStringList& Modems() const { return switching_; }
    // Whether the last listing missed files the phone counted.
    bool ListIncomplete() const { return listIncomplete_; }
    // Pictures left on the phone because their copy could not be flushed.
    const QStringList& KeptOnPhone() const { return keptOnPhone_; }

    // The files of the next transfer, for the progress line.
    void SetTransferFiles(std::vector<TProgressFile> Files) { transferFiles_ = std::move(Files); }

  private:
    void connectSession();
    // Lets events come until Ready or Seconds are up; true when Ready.
    bool waitFor(const std::function<bool()>& Ready, int Seconds);
    bool present() const;
    // Switches modem phone Modem alone and waits for it in P2K mode; its
    // index among the P2K phones, or -1 (reported) when it did not come.
    int switchAndWait(int Modem);
    // The device paths of the P2K phones, by index.
    std::vector<std::string> phonePaths() const;

    TCliEnv& env_;
    const TCliOptions& options_;
    TCliReport& report_;
    TTerminalHost host_;
    TProgressLine progress_;
    std::unique_ptr<TPhoneSession> session_;
    std::shared_ptr<TMotoP2KModemItem> item_;
    std::vector<TProgressFile> transferFiles_;
    bool uploading_ = false;
    bool listIncomplete_ = false;
    bool chosen_ = false;
    bool phonesChanged_ = false;
    // The outcome of the command that found the phone gone, told once.
    std::optional<TCommandOutcome> lost_;
    bool lostTold_ = false;
    QStringList keptOnPhone_;
    QStringList switching_;
    int phonesFound_ = -1;  // P2K phones the session last counted
    int index_ = -1;        // the chosen phone, among the P2K phones
};

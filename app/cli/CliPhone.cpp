#include "cli/CliPhone.h"

#include <algorithm>

#include "MotoP2KMode.h"
#include "MotoSysUtils.h"
#include "backend/Backend.h"
#include "cli/CliEnv.h"
#include "cli/CliReport.h"
#include "cli/StopSignals.h"
#include "core/files/ExcludeList.h"
#include "core/files/PhoneText.h"
#include "core/session/PhoneSession.h"

namespace {
constexpr int WaitSliceMs = 50;
}  // namespace

TCliPhone::TCliPhone(TCliEnv& Env, const TCliOptions& Options, TCliReport& Report)
    : env_(Env),
      options_(Options),
      report_(Report),
      host_(Env.Backend, Report),
      progress_(Env.Err, Env.Backend.Clock, Env.TerminalWidth,
                Env.ErrIsTerminal && !Options.Quiet) {
    report_.BeforePrint = [this] { progress_.Erase(); };
}

TCliPhone::~TCliPhone() {
    report_.BeforePrint = nullptr;
    host_.SetSession(nullptr);
}

void TCliPhone::connectSession() {
    TPhoneSession* s = session_.get();
    QObject::connect(s, &TPhoneSession::listIncomplete, [this] { listIncomplete_ = true; });
    QObject::connect(s, &TPhoneSession::keptOnPhone, [this](const std::string& Name) {
        keptOnPhone_.append(phoneToUnicode(Name));
    });
    QObject::connect(s, &TPhoneSession::modemSwitching, [this](const QString& Modem) {
        report_.Note(QStringLiteral("Switching to P2K mode: %1").arg(Modem));
        switching_.append(Modem);
    });
    QObject::connect(s, &TPhoneSession::phonesFound, [this](int Found) {
        // A switched phone comes back as one more P2K phone.
        for (int i = phonesFound_; i >= 0 && i < Found && !switching_.isEmpty(); ++i) {
            switching_.removeFirst();
        }
        phonesFound_ = Found;
    });
    QObject::connect(s, &TPhoneSession::listingStarted, [this](int) { listIncomplete_ = false; });
    QObject::connect(s, &TPhoneSession::phonesChanged, [this] { phonesChanged_ = chosen_; });
    QObject::connect(s, &TPhoneSession::transferStarted, [this](TTransferKind Kind, int, int) {
        uploading_ = Kind == TTransferKind::Upload;
        progress_.Begin(transferFiles_);
        progress_.SetFile(0);
    });
    QObject::connect(s, &TPhoneSession::transferFileStep, [this](int Value) {
        // A download steps before each file, an upload after it.
        progress_.SetFile(uploading_ ? Value : Value - 1);
    });
    QObject::connect(s, &TPhoneSession::transferBytes,
                     [this](int32_t Done, int32_t) { progress_.SetBytes(Done); });
    QObject::connect(s, &TPhoneSession::transferEnded, [this] { progress_.End(); });
}

bool TCliPhone::Start(TManagerMode Mode) {
    // Phones found at start are listed by the session as it is made; the
    // events of their coming are no news.
    env_.Backend.Devices.DispatchPending();
    session_ = std::make_unique<TPhoneSession>(env_.Backend, host_);
    host_.SetSession(session_.get());
    connectSession();
    session_->SetMode(Mode, false);
    session_->SetDownloadSettings({CliBlockSize, options_.Mirror});
    session_->SetListStopsAtCount(true);
    const TExcludeLoad exclude = loadExcludeList(env_.Paths.ExcludePath);
    if (!exclude.Error.isEmpty()) {
        report_.Note(exclude.Error);
    }
    session_->Exclude().Assign(exclude.Entries);

    session_->Start();
    if (options_.WaitSeconds >= 0) {
        waitFor(
            [this] {
                return session_->PhoneEntries().size() >= options_.Phone && Modems().isEmpty();
            },
            options_.WaitSeconds);
    }
    if (TStopSignals::Asked()) {
        report_.Fail(ExitFailed, QStringLiteral("stopped by a signal"));
        return false;
    }
    return true;
}

bool TCliPhone::waitFor(const std::function<bool()>& Ready, int Seconds) {
    IClock& clock = env_.Backend.Clock;
    const uint32_t start = clock.TickCount();
    const uint32_t limit = static_cast<uint32_t>(Seconds) * 1000u;
    while (!Ready()) {
        const uint32_t waited = clock.TickCount() - start;
        if (waited >= limit || TStopSignals::Asked()) {
            return false;
        }
        env_.Idle(static_cast<int>(std::min<uint32_t>(WaitSliceMs, limit - waited)));
    }
    return true;
}

bool TCliPhone::Choose() {
    if (!Modems().isEmpty() && options_.WaitSeconds < 0 &&
        !waitFor([this] { return Modems().isEmpty(); }, SwitchWaitSeconds) &&
        TStopSignals::Asked()) {
        report_.Fail(ExitFailed, QStringLiteral("stopped by a signal"));
        return false;
    }
    const int count = static_cast<int>(session_->PhoneEntries().size());
    if (count == 0) {
        report_.Fail(ExitNoPhone,
                     Modems().isEmpty()
                         ? QStringLiteral("no phone is connected")
                         : QStringLiteral("a phone switched out of modem mode has not come back "
                                          "in P2K mode: run the command again with --wait "
                                          "SECONDS"));
        return false;
    }
    if (options_.Phone > count) {
        report_.Fail(
            ExitNoPhone,
            QStringLiteral("there is no phone %1: %2 connected").arg(options_.Phone).arg(count));
        return false;
    }
    if (options_.Phone - 1 != session_->ChosenPhone()) {
        session_->ChoosePhone(options_.Phone - 1);
    }
    item_ = session_->ChosenItem();
    if (!item_ || !item_->IsOpen()) {
        report_.Fail(ExitNoPhone,
                     HeldElsewhere(options_.Phone - 1)
                         ? QStringLiteral("phone %1 is in use by another program, such as the "
                                          "Snaprill window: nothing was done")
                               .arg(options_.Phone)
                         : QStringLiteral("phone %1 does not answer").arg(options_.Phone));
        return false;
    }
    if (!options_.Drive.empty()) {
        std::string wanted = options_.Drive;
        while (wanted.size() > 1 && wanted.back() == '/') {
            wanted.pop_back();
        }
        if (wanted.front() != '/') {
            wanted.insert(wanted.begin(), '/');
        }
        const std::vector<std::string>& drives = session_->Drives();
        const std::optional<std::string> bytes = unicodeToPhone(QString::fromStdString(wanted));
        const auto it = std::find_if(drives.begin(), drives.end(), [&](const std::string& D) {
            return bytes && UpperCaseText1251(D) == UpperCaseText1251(*bytes);
        });
        if (it == drives.end()) {
            QStringList names;
            for (const std::string& d : drives) {
                names.append(phoneToUnicode(d));
            }
            report_.Fail(ExitUsage, QStringLiteral("phone %1 has no drive %2 (its drives: %3)")
                                        .arg(options_.Phone)
                                        .arg(QString::fromStdString(options_.Drive),
                                             names.join(QStringLiteral(", "))));
            return false;
        }
        const int index = static_cast<int>(it - drives.begin());
        if (index != session_->ChosenDrive()) {
            session_->ChooseDrive(index);
        }
    }
    chosen_ = true;
    return StillThere();
}

bool TCliPhone::present() const {
    TMotoP2KModemList& phones = session_->P2K().DeviseList();
    for (int i = 0; i < phones.Count(); ++i) {
        if (phones.Hold(i) == item_) {
            return true;
        }
    }
    return false;
}

bool TCliPhone::StillThere() {
    host_.ProcessEvents();  // a removal still waiting is news too
    if (TStopSignals::Asked()) {
        report_.Fail(ExitFailed,
                     QStringLiteral("stopped by a signal: the command ended at its next pause"));
        return false;
    }
    if (item_ && !present()) {
        report_.Fail(ExitNoPhone,
                     QStringLiteral("phone %1 was lost during the command").arg(options_.Phone));
        return false;
    }
    if (phonesChanged_) {
        report_.Fail(ExitNoPhone, QStringLiteral("the phones changed during the command (one was "
                                                 "plugged in or out): run it again"));
        return false;
    }
    return true;
}

QString TCliPhone::PhoneName() const {
    const int i = options_.Phone - 1;
    const QStringList& entries = session_->PhoneEntries();
    return i >= 0 && i < entries.size() ? entries[i] : QString();
}

bool TCliPhone::HeldElsewhere(int Index) const {
    const std::shared_ptr<TMotoP2KModemItem> item = session_->P2K().DeviseList().Hold(Index);
    return item && !item->IsOpen() && env_.Backend.P2K.HeldElsewhere(item->ModemInfo().DevicePath);
}

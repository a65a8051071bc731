// The session's life, its one-command-at-a-time rule and the connection
// flow: modem phones switched to P2K mode, P2K phones listed in the phone
// choice, the chosen one opened and listed.
#include "core/session/PhoneSession.h"

#include <QSocketNotifier>

#include "MotoATMode.h"
#include "MotoP2KMode.h"
#include "backend/Backend.h"
#include "core/files/PhoneText.h"
#include "core/program/LogCategories.h"
#include "core/session/FileListModel.h"

TPhoneSession::TPhoneSession(TPhoneBackend& Backend, ISessionHost& Host, QObject* Parent)
    : QObject(Parent),
      backend_(Backend),
      host_(Host),
      fileList_(new TFileListModel(this)),
      rate_([this] { return clockMs(); }) {
    for (int k = 0; k < CommandKindCount; ++k) {
        outcomes_[static_cast<size_t>(k)].Command = static_cast<TCommandKind>(k);
    }
    createLinks();
}

TPhoneSession::~TPhoneSession() {
    // Whatever holds a phone file open closes it while the phones are still there.
    emit closing();
    delete deviceNotifier_;
    deviceNotifier_ = nullptr;
    p2k_.reset();
    at_.reset();
}

void TPhoneSession::createLinks() {
    // Each component lists the phones present as it is made. Their
    // per-operation lines are not shown (they go to the developer logging
    // categories, off by default); the P2K errors are counted.
    at_ = std::make_unique<TMotoATMode>(backend_);
    at_->OnArrival = [this](void*) { atArrival(); };
    if (lcAt().isDebugEnabled()) {
        at_->SetOnDebug([](TMotoATModemItem* Item, const std::string& Text, TDebugType Type, bool) {
            qCDebug(lcAt).noquote()
                << (Type == dtError ? "error:" : "info:") << QString::fromLatin1(Text) << "on"
                << QString::fromStdString(Item->ModemInfo().DevicePath);
        });
    }
    p2k_ = std::make_unique<TMotoP2KMode>(backend_);
    p2k_->SetOnDebug(
        [this](TMotoP2KModemItem* Item, const std::string& Text, TDebugType Type, bool) {
            phoneErrors_ += Type == dtError ? 1 : 0;
            qCDebug(lcP2K).noquote()
                << (Type == dtError ? "error:" : "info:") << QString::fromLatin1(Text) << "on"
                << QString::fromStdString(Item->ModemInfo().DevicePath);
        });
    p2k_->OnArrival = [this](void*) { p2kArrival(); };
    p2k_->OnRemove = [this](void*) { p2kRemoval(); };

    // Device changes wait in the source until the event loop hands them on.
    const int fd = backend_.Devices.EventFd();
    if (fd >= 0) {
        deviceNotifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(deviceNotifier_, &QSocketNotifier::activated, this,
                [this] { backend_.Devices.DispatchPending(); });
    }
}

const TFileRows& TPhoneSession::Rows() const {
    return fileList_->Rows();
}

std::shared_ptr<TMotoP2KModemItem> TPhoneSession::ChosenItem() const {
    return p2k_->DeviseList().Hold(chosenPhone_);
}

TPhoneIdentity TPhoneSession::ChosenIdentity() const {
    return chosenPhone_ >= 0 && chosenPhone_ < static_cast<int>(phoneIds_.size())
               ? phoneIds_[static_cast<size_t>(chosenPhone_)]
               : TPhoneIdentity();
}

int64_t TPhoneSession::clockMs() {
    // The tick count wraps every 49 days; the rate needs a time that does not.
    const uint32_t tick = backend_.Clock.TickCount();
    if (clockStarted_) {
        clockMs_ += static_cast<uint32_t>(tick - lastTick_);
    }
    clockStarted_ = true;
    lastTick_ = tick;
    return clockMs_;
}

std::string TPhoneSession::ChosenDriveName() const {
    return chosenDrive_ < 0 ? std::string() : drives_[static_cast<size_t>(chosenDrive_)];
}

ILocalFiles& TPhoneSession::LocalFiles() {
    return backend_.Files;
}

void TPhoneSession::ReportLocalFailure(const QString& Text) {
    const TSessionMsg msg = TSessionMsg::Plain(Text);
    Log(msg);
    host_.ShowMessage(msg, true);
}

void TPhoneSession::phonesCounted(int Count) {
    LogMsg("idPhoneFound", {qint64{Count}});
    emit phonesFound(Count);
}

void TPhoneSession::listingIncomplete() {
    LogMsg("idListIncomplete");
    emit listIncomplete();
}

// --- One command at a time ---------------------------------------------------

void TPhoneSession::runCommand(TCommandKind Kind, const std::function<void()>& Body) {
    if (!guard_.Begin()) {
        return;
    }
    outcome_ = TCommandOutcome();
    outcome_.Command = Kind;
    struct TEnd {
        TPhoneSession* Session;
        ~TEnd() {
            TCommandOutcome& out = Session->outcome_;
            // Whatever the body made of it, a change of the phones under
            // the command is how it ended.
            if (out.End == TCommandEnd::Done && Session->guard_.Interrupted()) {
                out.End = TCommandEnd::Interrupted;
            }
            Session->guard_.End();
            Session->outcomes_[static_cast<size_t>(out.Command)] = out;
            // A copy: what runs on busyChanged may start the next command.
            const TCommandOutcome ended = out;
            emit Session->busyChanged(false);
            emit Session->commandEnded(ended);
        }
    };
    // A preview's phone file is closed before the command's first exchange.
    emit commandStarting();
    qCDebug(lcSession) << "command begins";
    {
        TEnd end{this};
        emit busyChanged(true);
        Body();
    }
    qCDebug(lcSession) << "command ends" << (guard_.Interrupted() ? "(interrupted)" : "");
    runDeferredDeviceEvents();
}

bool TPhoneSession::Pump() {
    host_.ProcessEvents();
    return !guard_.Interrupted();
}

void TPhoneSession::Interrupt() {
    guard_.Interrupt();
}

void TPhoneSession::Stop() {
    // Not the guard's interrupt: the phones are as the command found them,
    // so the end steps run as after any transfer.
    if (transferring_) {
        stopRequested_ = true;
    }
}

void TPhoneSession::BeginModal() {
    ++modal_;
}

void TPhoneSession::EndModal() {
    if (modal_ > 0 && --modal_ == 0) {
        runDeferredDeviceEvents();
        emit modalEnded();
    }
}

void TPhoneSession::deferDeviceEvent(TDeviceEvent Event) {
    qCDebug(lcSession) << "device event" << static_cast<int>(Event)
                       << "waits for the command or dialog to end";
    // A burst of the same event is handled once.
    if (deferred_.empty() || deferred_.back() != Event) {
        deferred_.push_back(Event);
    }
}

void TPhoneSession::runDeferredDeviceEvents() {
    while (!deferred_.empty() && !deferring()) {
        const TDeviceEvent e = deferred_.front();
        deferred_.erase(deferred_.begin());
        switch (e) {
            case TDeviceEvent::P2KArrival:
                p2kArrival();
                break;
            case TDeviceEvent::P2KRemoval:
                p2kRemoval();
                break;
            case TDeviceEvent::ATArrival:
                atArrival();
                break;
        }
    }
}

// --- Device events -------------------------------------------------------------

void TPhoneSession::p2kArrival() {
    if (deferring()) {
        // A running command's phone list is stale: it ends, then the choice
        // is rebuilt.
        guard_.Interrupt();
        deferDeviceEvent(TDeviceEvent::P2KArrival);
        return;
    }
    getDevises();
}

void TPhoneSession::p2kRemoval() {
    if (deferring()) {
        guard_.Interrupt();
        deferDeviceEvent(TDeviceEvent::P2KRemoval);
        return;
    }
    // No phone is chosen again, even when others are still attached; the
    // Log tells how many are left.
    phoneEntries_.clear();
    phoneIds_.clear();
    chosenPhone_ = -1;
    emit phonesChanged();
    fileList_->SetRows({});
    emit connectionChanged(false);
    phonesCounted(p2k_->DeviseList().Count());
}

void TPhoneSession::atArrival() {
    if (deferring()) {
        // Switching needs no phone the command uses: it waits, and the
        // command goes on.
        deferDeviceEvent(TDeviceEvent::ATArrival);
        return;
    }
    switchP2K();
}

// --- The flow ------------------------------------------------------------------

void TPhoneSession::Start() {
    switchP2K();
    getDevises();
}

void TPhoneSession::switchP2K() {
    TMotoATModemList& modems = at_->DeviseList();
    modems.Rescan();
    for (int i = 0; i < modems.Count(); ++i) {
        const std::shared_ptr<TMotoATModemItem> item = modems.Hold(i);
        if (!item || !item->OpenPhone() || !item->IsOpen()) {
            continue;
        }
        // The port stays open until the next close-all.
        item->SwitchMode(amMode8);
        const QString modem = phoneToUnicode(item->ModemInfo().DeviceDesc);
        LogMsg("idSwitchingP2K", {modem});
        emit modemSwitching(modem);
    }
    // The switched phone comes back later as a P2K arrival.
    p2k_->DeviseList().Rescan();
}

void TPhoneSession::getDevises() {
    runCommand(TCommandKind::FindPhones, [this] {
        phoneEntries_.clear();
        phoneIds_.clear();
        chosenPhone_ = -1;
        emit phonesChanged();
        TMotoP2KModemList& phones = p2k_->DeviseList();
        phones.Rescan();
        phonesCounted(phones.Count());
        for (int i = 0; i < phones.Count(); ++i) {
            const std::shared_ptr<TMotoP2KModemItem> item = phones.Hold(i);
            if (!item) {
                continue;
            }
            // Left open; a phone that does not answer reads " []". One that
            // another program holds is not talked to: its commands and ours
            // would mix on the phone's one command channel.
            if (!item->OpenPhone() && backend_.P2K.HeldElsewhere(item->ModemInfo().DevicePath)) {
                LogMsg("idPhoneInUse", {qint64{i + 1}});
            }
            const std::string model = item->GetPhoneModel();
            const std::string flex = item->GetFlexVersion();
            phoneEntries_.append(phoneToUnicode(model + " [" + flex + "]"));
            phoneIds_.push_back({model, flex, item->ModemInfo().SerialNumber});
        }
        if (!phoneEntries_.isEmpty()) {
            chosenPhone_ = 0;
        }
        emit phonesChanged();
        if (chosenPhone_ == 0) {
            connectAndList(std::nullopt);
        }
    });
}

void TPhoneSession::closeAllDevices() {
    LogMsg("idClosingAT");
    TMotoATModemList& modems = at_->DeviseList();
    for (int i = 0; i < modems.Count(); ++i) {
        if (auto item = modems.Hold(i); item && item->IsOpen()) {
            item->ClosePhone();
        }
    }
    LogMsg("idClosingP2K");
    TMotoP2KModemList& phones = p2k_->DeviseList();
    for (int i = 0; i < phones.Count(); ++i) {
        if (auto item = phones.Hold(i); item && item->IsOpen()) {
            item->ClosePhone();
        }
    }
}

void TPhoneSession::ChoosePhone(int Index) {
    if (Busy()) {
        return;
    }
    chosenPhone_ = Index >= 0 && Index < phoneEntries_.size() ? Index : -1;
    runCommand(TCommandKind::List, [this] { connectAndList(std::nullopt); });
}

void TPhoneSession::Refresh() {
    // With no phone to list, the phones attached are found again, as when
    // one arrives; a phone left after another was unplugged comes back so.
    if (phoneEntries_.isEmpty()) {
        getDevises();
        return;
    }
    runCommand(TCommandKind::List, [this] { connectAndList(std::nullopt); });
}

void TPhoneSession::ChooseDrive(int Index) {
    if (Busy()) {
        return;
    }
    // The whole connect-and-list sequence, keeping the drive chosen.
    chosenDrive_ = Index >= 0 && Index < static_cast<int>(drives_.size()) ? Index : -1;
    const std::string chosen = ChosenDriveName();
    runCommand(TCommandKind::List, [&] { connectAndList(chosen); });
}

void TPhoneSession::SetMode(TManagerMode Mode, bool Relist) {
    mode_ = Mode;
    fileList_->SetCheckable(Mode == mmPhotoManager);
    if (Relist) {
        runCommand(TCommandKind::List, [this] { connectAndList(std::nullopt); });
    }
}

void TPhoneSession::connectAndList(const std::optional<std::string>& KeepDrive) {
    if (!Pump()) {
        return;
    }
    closeAllDevices();
    getDrives(KeepDrive);
    getPics();
    if (Interrupted()) {
        return;
    }
    if (host_.Option(TSessionOption::DownloadAll) && mode_ == mmPhotoManager) {
        fileList_->SelectAll();  // a view of the list shows it
        downloadSelected();
    }
}

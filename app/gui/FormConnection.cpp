// The phone link components and the connection flow: modem phones switched
// to P2K mode, P2K phones listed in the phone choice, the chosen one opened
// and listed.
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QToolButton>
#include <QTreeView>

#include "MotoATMode.h"
#include "MotoP2KMode.h"
#include "backend/Backend.h"
#include "core/FileListModel.h"
#include "core/ListRules.h"
#include "core/PhoneText.h"
#include "core/WindowTitle.h"
#include "gui/TForm1.h"

void TForm1::createLinks() {
    // Each component lists the phones present as it is made. Their
    // per-operation lines are not shown; the P2K errors are only counted.
    MotoATMode1 = std::make_unique<TMotoATMode>(backend_);
    MotoATMode1->OnArrival = [this](void* Sender) { MotoATMode1Arrival(Sender); };
    MotoP2KMode1 = std::make_unique<TMotoP2KMode>(backend_);
    MotoP2KMode1->SetOnDebug([this](TMotoP2KModemItem*, const std::string&, TDebugType Type, bool) {
        phoneErrors_ += Type == dtError ? 1 : 0;
    });
    MotoP2KMode1->OnArrival = [this](void* Sender) { MotoP2KMode1Arrival(Sender); };
    MotoP2KMode1->OnRemove = [this](void* Sender) { MotoP2KMode1Remove(Sender); };

    // Device changes wait in the source until the GUI loop hands them on.
    const int fd = backend_.Devices.EventFd();
    if (fd >= 0) {
        deviceNotifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(deviceNotifier_, &QSocketNotifier::activated, this,
                [this] { backend_.Devices.DispatchPending(); });
    }
}

void TForm1::destroyLinks() {
    delete deviceNotifier_;
    deviceNotifier_ = nullptr;
    MotoP2KMode1.reset();
    MotoATMode1.reset();
}

void TForm1::connectConnectionHandlers() {
    connect(idDownload, &QToolButton::clicked, this, [this] { idDownloadClick(idDownload); });
    connect(idDelete, &QToolButton::clicked, this, [this] { idDeleteClick(idDelete); });
    connect(idUpload, &QToolButton::clicked, this, [this] { idUploadClick(idUpload); });
    connect(idRefresh, &QToolButton::clicked, this, [this] { idRefreshClick(idRefresh); });
    connect(ComboBox1, &QComboBox::activated, this, [this] { ComboBox1Select(ComboBox1); });
    connect(idDriveSelect, &QComboBox::activated, this,
            [this] { idDriveSelectClick(idDriveSelect); });
    connect(ListView1, &QTreeView::clicked, this, [this] { ListView1Click(ListView1); });
    connect(ListView1, &QTreeView::doubleClicked, this, [this] { idDownloadClick(ListView1); });
    connect(ListView1->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& Selected, const QItemSelection& Deselected) {
                fileList_->ApplySelection(Selected, Deselected);
                ListView1SelectItem(ListView1);
            });
    connect(Neverdownloadthisfile1, &QAction::triggered, this,
            [this] { Neverdownloadthisfile1Click(Neverdownloadthisfile1); });
}

// --- One command at a time -------------------------------------------------

void TForm1::runCommand(const std::function<void()>& Body) {
    if (!commands_.Begin()) {
        return;
    }
    struct TEnd {
        TForm1* Form;
        ~TEnd() {
            Form->commands_.End();
            Form->showProgress(true);
            Form->setPhoneControlsEnabled(true);
        }
    };
    {
        setPhoneControlsEnabled(false);
        TEnd end{this};
        Body();
    }
    runDeferredDeviceEvents();
}

void TForm1::setPhoneControlsEnabled(bool Enabled) {
    for (QWidget* w : {static_cast<QWidget*>(idRefresh), static_cast<QWidget*>(ComboBox1),
                       static_cast<QWidget*>(idDriveSelect), static_cast<QWidget*>(idModeSelect),
                       static_cast<QWidget*>(idDownload), static_cast<QWidget*>(idUpload),
                       static_cast<QWidget*>(idDelete)}) {
        w->setEnabled(Enabled);
    }
}

bool TForm1::pumpMessages() {
    QCoreApplication::processEvents();
    return !interrupted();
}

void TForm1::deferDeviceEvent(TDeviceEvent Event) {
    // A burst of the same event is handled once.
    if (deferred_.empty() || deferred_.back() != Event) {
        deferred_.push_back(Event);
    }
}

void TForm1::runDeferredDeviceEvents() {
    while (!deferred_.empty() && !commands_.Busy()) {
        const TDeviceEvent e = deferred_.front();
        deferred_.erase(deferred_.begin());
        switch (e) {
            case TDeviceEvent::P2KArrival:
                MotoP2KMode1Arrival(nullptr);
                break;
            case TDeviceEvent::P2KRemoval:
                MotoP2KMode1Remove(nullptr);
                break;
            case TDeviceEvent::ATArrival:
                MotoATMode1Arrival(nullptr);
                break;
        }
    }
}

// --- The flow ----------------------------------------------------------------

std::shared_ptr<TMotoP2KModemItem> TForm1::chosenPhone() const {
    return MotoP2KMode1->DeviseList().Hold(ComboBox1->currentIndex());
}

void TForm1::switchP2K() {
    TMotoATModemList& modems = MotoATMode1->DeviseList();
    modems.Rescan();
    for (int i = 0; i < modems.Count(); ++i) {
        const std::shared_ptr<TMotoATModemItem> item = modems.Hold(i);
        if (!item || !item->OpenPhone() || !item->IsOpen()) {
            continue;
        }
        // The port stays open until the next close-all.
        item->SwitchMode(amMode8);
        AddMsg("idSwitchingP2K", {phoneToUnicode(item->ModemInfo().DeviceDesc)});
    }
    // The switched phone comes back later as a P2K arrival.
    MotoP2KMode1->DeviseList().Rescan();
}

void TForm1::GetDevises() {
    runCommand([this] {
        ComboBox1->clear();
        TMotoP2KModemList& phones = MotoP2KMode1->DeviseList();
        phones.Rescan();
        AddMsg("idPhoneFound", {qint64{phones.Count()}});
        for (int i = 0; i < phones.Count(); ++i) {
            const std::shared_ptr<TMotoP2KModemItem> item = phones.Hold(i);
            if (!item) {
                continue;
            }
            item->OpenPhone();  // left open; a phone that does not answer reads " []"
            const std::string model = item->GetPhoneModel();
            const std::string flex = item->GetFlexVersion();
            ComboBox1->addItem(phoneToUnicode(model + " [" + flex + "]"));
        }
        if (ComboBox1->count() > 0) {
            ComboBox1->setCurrentIndex(0);
            connectAndList(std::nullopt);
        }
    });
}

void TForm1::CloseAllDevices() {
    AddMsg("idClosingAT");
    TMotoATModemList& modems = MotoATMode1->DeviseList();
    for (int i = 0; i < modems.Count(); ++i) {
        if (auto item = modems.Hold(i); item && item->IsOpen()) {
            item->ClosePhone();
        }
    }
    AddMsg("idClosingP2K");
    TMotoP2KModemList& phones = MotoP2KMode1->DeviseList();
    for (int i = 0; i < phones.Count(); ++i) {
        if (auto item = phones.Hold(i); item && item->IsOpen()) {
            item->ClosePhone();
        }
    }
}

void TForm1::MotoP2KMode1Arrival(void* /*Sender*/) {
    if (commands_.Busy()) {
        // The running command's phone list is stale: it ends, then the
        // choice is rebuilt.
        commands_.Interrupt();
        deferDeviceEvent(TDeviceEvent::P2KArrival);
        return;
    }
    GetDevises();
}

void TForm1::MotoP2KMode1Remove(void* /*Sender*/) {
    if (commands_.Busy()) {
        commands_.Interrupt();
        deferDeviceEvent(TDeviceEvent::P2KRemoval);
        return;
    }
    // No phone is chosen again, even when others are still attached; the
    // Log tells how many are left.
    ComboBox1->clear();
    fileList_->SetRows({});
    setCaptionState("idDisconnected");
    AddMsg("idPhoneFound", {qint64{MotoP2KMode1->DeviseList().Count()}});
}

void TForm1::MotoATMode1Arrival(void* /*Sender*/) {
    if (commands_.Busy()) {
        // Switching needs no phone the command uses: it waits, and the
        // command goes on.
        deferDeviceEvent(TDeviceEvent::ATArrival);
        return;
    }
    switchP2K();
}

void TForm1::ComboBox1Select(QObject* /*Sender*/) {
    runCommand([&] { connectAndList(std::nullopt); });
}

void TForm1::idRefreshClick(QObject* Sender) {
    ComboBox1Select(Sender);
}

void TForm1::connectAndList(const std::optional<std::string>& KeepDrive) {
    if (!pumpMessages()) {
        return;
    }
    CloseAllDevices();
    const int index = ComboBox1->currentIndex();
    getDrives(index, KeepDrive);
    GetPics(index);
    if (interrupted()) {
        return;
    }
    if (idDownloadAll->isChecked() && ManagerMode == mmPhotoManager) {
        ListView1->selectAll();
        downloadSelected();
    }
}

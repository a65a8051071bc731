// The phone link components and the connection flow's entry points. The
// flow itself (switching modems, listing phones and files) comes with the
// phone work; until then the handlers report what they were asked.
#include <QComboBox>
#include <QSocketNotifier>
#include <QToolButton>
#include <QTreeWidget>

#include "MotoATMode.h"
#include "MotoP2KMode.h"
#include "backend/Backend.h"
#include "gui/TForm1.h"

void TForm1::createLinks() {
    // Each component lists the phones present as it is made. Neither gets a
    // debug handler: their per-operation lines are not shown.
    MotoATMode1 = std::make_unique<TMotoATMode>(backend_);
    MotoATMode1->OnArrival = [this](void* Sender) { MotoATMode1Arrival(Sender); };
    MotoP2KMode1 = std::make_unique<TMotoP2KMode>(backend_);
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
    connect(ListView1, &QTreeWidget::itemClicked, this, [this] { ListView1Click(ListView1); });
    connect(ListView1, &QTreeWidget::itemDoubleClicked, this,
            [this] { idDownloadClick(ListView1); });
    connect(ListView1, &QTreeWidget::itemSelectionChanged, this,
            [this] { ListView1SelectItem(ListView1); });
}

void TForm1::switchP2K() {}

void TForm1::GetDevises() {
    // Listing the phones into the phone choice comes with the connection
    // flow; for now the count is reported.
    AddLog(Msg("idPhoneFound", {qint64{MotoP2KMode1->DeviseList().Count()}}));
}

void TForm1::MotoP2KMode1Arrival(void* /*Sender*/) {
    GetDevises();
}

void TForm1::MotoP2KMode1Remove(void* /*Sender*/) {
    GetDevises();
}

void TForm1::MotoATMode1Arrival(void* /*Sender*/) {
    switchP2K();
}

void TForm1::ComboBox1Select(QObject* /*Sender*/) {}
void TForm1::idDriveSelectClick(QObject* /*Sender*/) {}
void TForm1::idDownloadClick(QObject* /*Sender*/) {}
void TForm1::idDeleteClick(QObject* /*Sender*/) {}
void TForm1::idUploadClick(QObject* /*Sender*/) {}
void TForm1::idRefreshClick(QObject* /*Sender*/) {}
void TForm1::ListView1Click(QObject* /*Sender*/) {}
void TForm1::ListView1SelectItem(QObject* /*Sender*/) {}

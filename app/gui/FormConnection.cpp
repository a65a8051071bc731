// The phone link components and the connection flow's entry points. The
// flow itself (switching modems, listing phones and files) comes with the
// phone work; until then the handlers report what they were asked.
#include <QComboBox>
#include <QToolButton>
#include <QTreeWidget>

#include "gui/TForm1.h"

void TForm1::createLinks() {}

void TForm1::destroyLinks() {}

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
    AddLog(Msg("idPhoneFound", {qint64{0}}));
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

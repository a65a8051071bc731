// The window as a view of the phone session: what the user does goes to the
// session, and what the session reports is shown.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeView>
#include <algorithm>

#include "core/files/PhoneText.h"
#include "core/session/FileListModel.h"
#include "core/session/SelectionLink.h"
#include "gui/TForm1.h"

void TForm1::connectControls() {
    TPhoneSession* s = session_.get();
    connect(modeChoice_, &QComboBox::activated, this, [this] { modeChosen(true); });
    connect(languageChoice_, &QComboBox::activated, this, [this] { languageChosen(); });
    connect(charsetChoice_, &QComboBox::activated, this, [this] { charsetChosen(); });
    connect(browseButton_, &QPushButton::clicked, this, [this] { browseForFolder(); });
    connectImportOptions();
    connect(downloadButton_, &QToolButton::clicked, s, &TPhoneSession::Download);
    connect(deleteButton_, &QToolButton::clicked, s, &TPhoneSession::Delete);
    connect(uploadButton_, &QToolButton::clicked, s, &TPhoneSession::Upload);
    connect(refreshButton_, &QToolButton::clicked, s, &TPhoneSession::Refresh);
    connect(stopButton_, &QToolButton::clicked, s, &TPhoneSession::Stop);
    // Escape stops too, while the Pictures page is on show.
    stopKey_ = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    stopKey_->setContext(Qt::WindowShortcut);
    stopKey_->setEnabled(false);
    connect(stopKey_, &QShortcut::activated, this, [this] {
        if (tabs_->currentWidget() == picturesPage_) {
            session_->Stop();
        }
    });
    // Rows downloaded before look muted only while they are skipped.
    connect(skipDownloadedBox_, &QCheckBox::toggled, this,
            [this] { fileView_->viewport()->update(); });
    // F5 refreshes, as in every file manager, from any page of the window. It
    // is the button's click: while a command runs the button, and so the
    // key, does nothing.
    auto* refreshKey = new QShortcut(QKeySequence(Qt::Key_F5), this);
    connect(refreshKey, &QShortcut::activated, refreshButton_, &QToolButton::click);
    connect(phoneChoice_, &QComboBox::activated, this, [this](int Index) {
        session_->ChoosePhone(Index);
        showPhones();  // a choice the session did not take is undone
    });
    connect(driveChoice_, &QComboBox::activated, this, [this](int Index) {
        session_->ChooseDrive(Index);
        showDrives();
    });
    connect(fileView_, &QTreeView::clicked, s, &TPhoneSession::ApplyCheckMarks);
    connect(fileView_, &QTreeView::doubleClicked, s, &TPhoneSession::Download);
    // The list's selection is the truth: the view shows it and writes the
    // user's changes into it; the summary follows the list.
    new TSelectionLink(session_->FileList(), *fileView_->selectionModel(), this);
    connect(&session_->FileList(), &TFileListModel::selectionChanged, this,
            &TForm1::showSelectionSummary);
    connect(neverDownloadAction_, &QAction::triggered, s, &TPhoneSession::NeverDownloadSelected);
}

void TForm1::connectSession() {
    TPhoneSession* s = session_.get();
    connect(s, &TPhoneSession::logged, this, &TForm1::addMsg);
    connect(s, &TPhoneSession::busyChanged, this, [this](bool Busy) {
        if (!Busy) {
            showProgress(true);
        }
        setCommandControlsEnabled(!Busy);
    });
    connect(s, &TPhoneSession::phonesChanged, this, &TForm1::showPhones);
    connect(s, &TPhoneSession::drivesChanged, this, &TForm1::showDrives);
    connect(s, &TPhoneSession::connectionChanged, this, [this](bool Connected) {
        setCaptionState(Connected ? "idConnected" : "idDisconnected");
    });
    connect(s, &TPhoneSession::freeSpaceRead, this,
            [this](double Kb) { setPanelMsg(1, shownMsg("idFreeSpace", {Kb})); });
    connect(s, &TPhoneSession::uploadFolderFound, this, &TForm1::addUploadFolder);
    connect(s, &TPhoneSession::listingStarted, this, &TForm1::showListingStarted);
    connect(s, &TPhoneSession::listingStep, this,
            [this](int Listed) { bytesBar_->setValue(std::min(Listed, bytesBar_->maximum())); });
    connect(s, &TPhoneSession::listingEnded, this, &TForm1::showListingEnded);
    connect(s, &TPhoneSession::transferStarted, this, &TForm1::showTransferStarted);
    connect(s, &TPhoneSession::transferFileStep, this, [this](int Value) {
        setFileBar(Value);
        showProgress(false);
    });
    connect(s, &TPhoneSession::transferBytes, this, &TForm1::setBytesBar);
    connect(s, &TPhoneSession::transferEnded, this, &TForm1::showTransferEnded);
}

void TForm1::setCommandControlsEnabled(bool Enabled) {
    // The controls that start a phone command, and those that open a dialog
    // or re-dress the window under a running command.
    for (QWidget* w :
         {static_cast<QWidget*>(refreshButton_), static_cast<QWidget*>(phoneChoice_),
          static_cast<QWidget*>(driveChoice_), static_cast<QWidget*>(modeChoice_),
          static_cast<QWidget*>(downloadButton_), static_cast<QWidget*>(uploadButton_),
          static_cast<QWidget*>(deleteButton_), static_cast<QWidget*>(browseButton_),
          static_cast<QWidget*>(languageChoice_), static_cast<QWidget*>(charsetChoice_),
          static_cast<QWidget*>(alsoCopyBrowse_)}) {
        w->setEnabled(Enabled);
    }
}

void TForm1::showPhones() {
    const QStringList& entries = session_->PhoneEntries();
    bool same = phoneChoice_->count() == entries.size();
    for (int i = 0; same && i < entries.size(); ++i) {
        same = phoneChoice_->itemText(i) == entries[i];
    }
    if (!same) {
        phoneChoice_->clear();
        phoneChoice_->addItems(entries);
    }
    phoneChoice_->setCurrentIndex(session_->ChosenPhone());
}

void TForm1::showDrives() {
    const std::vector<std::string>& drives = session_->Drives();
    driveChoice_->clear();
    for (const std::string& d : drives) {
        driveChoice_->addItem(phoneToUnicode(d));
    }
    driveChoice_->setCurrentIndex(session_->ChosenDrive());
}

void TForm1::addUploadFolder(const std::string& Folder) {
    // Adding to an empty box would select the new entry; the box keeps
    // showing what it showed, with no entry selected.
    const bool noneSelected = uploadFolderBox_->currentIndex() < 0;
    const QString shown = uploadFolderBox_->currentText();
    uploadFolderBox_->addItem(phoneToUnicode(Folder), QByteArray::fromStdString(Folder));
    if (noneSelected) {
        uploadFolderBox_->setCurrentIndex(-1);
        uploadFolderBox_->setEditText(shown);
    }
}

void TForm1::showListingStarted(int Count) {
    fileView_->setUpdatesEnabled(false);
    fileView_->setEnabled(false);
    bytesBar_->setRange(0, std::max(Count, 1));  // 0..0 would be a busy indicator
    bytesBar_->setValue(0);
    bytesBar_->show();
}

void TForm1::showListingEnded() {
    bytesBar_->setValue(0);
    bytesBar_->hide();
    fileView_->setUpdatesEnabled(true);
    fileView_->setEnabled(true);
}

void TForm1::showTransferStarted(TTransferKind Kind, int Files, int From) {
    if (Kind == TTransferKind::Download) {
        // The Pictures page is the user's way into the phone: it waits, but
        // for the Stop button (its tool bar's commands are off while busy).
        fileView_->setEnabled(false);
        uploadRow_->setEnabled(false);
    }
    stopButton_->setEnabled(true);
    stopKey_->setEnabled(true);
    panelMsgs_[2].reset();
    ratePanel_->clear();
    ratePanel_->show();
    filesBar_->setRange(0, Files);
    setFileBar(From);
    setBytesBar(0, 0);
    showProgress(true);
    bytesBar_->show();
    filesBar_->show();
}

void TForm1::showTransferEnded() {
    showProgress(true);
    stopButton_->setEnabled(false);
    stopKey_->setEnabled(false);
    fileView_->setEnabled(true);
    uploadRow_->setEnabled(true);
    bytesBar_->hide();
    filesBar_->hide();
    panelMsgs_[2].reset();
    ratePanel_->hide();
}

void TForm1::showRate() {
    const TTransferRate& rate = session_->Rate();
    const std::optional<double> speed = rate.BytesPerSecond();
    const std::optional<int64_t> left = rate.SecondsLeft();
    if (speed && left) {
        setPanelMsg(2, shownMsg("idSpeedTimeLeft", {*speed / 1024.0, formatTimeLeft(*left)}));
    }
}

void TForm1::showSelectionSummary() {
    showProgress(true);  // the summary comes after every line logged so far
    const TFileRows& rows = session_->Rows();
    setPanelMsg(0,
                shownMsg("idSelectedFiles", {qint64{rows.SelectedCount()}, qint64{rows.Count()},
                                             static_cast<double>(rows.SelectedBytes()) / 1024.0}));
}

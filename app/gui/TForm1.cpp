// The window's life: creation, the progress it shows, the mode and its events.
#include "gui/TForm1.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeView>
#include <algorithm>

#include "core/files/ListRules.h"
#include "core/previews/PreviewFetcher.h"
#include "core/settings/LogModel.h"

TForm1::TForm1(TPhoneBackend& Backend, TFormConfig Config, QWidget* Parent)
    : QMainWindow(Parent),
      config_(std::move(Config)),
      session_(std::make_unique<TPhoneSession>(Backend, static_cast<ISessionHost&>(*this))) {
    // Before any view connects to the file list (the fetcher's rows are
    // built again first); the session owns and ends it.
    previewFetcher_ = new TPreviewFetcher(*session_);
    shownAt_.start();
    buildWindow();
    buildTray();
    connectControls();
    connectSession();
    // The upload path box ends under the phone choice, wherever the tool
    // bar's layout puts it.
    phoneChoice_->installEventFilter(this);

    FormCreate();
}

// The session goes first: its components close every phone.
TForm1::~TForm1() = default;

void TForm1::showProgress(bool Now) {
    if (!Now && !shownAt_.hasExpired(ShowEveryMs)) {
        return;
    }
    shownAt_.start();
    if (logModel_->HasUnpublished()) {
        logModel_->Publish();
        showInMessagePanel(logModel_->Line(logModel_->Lines() - 1));
        panelMsgs_[0] = lastLineMsg_;
    }
    if (session_->Transferring()) {
        showRate();
    }
    if (barsPending_) {
        barsPending_ = false;
        // A range of 0..0 would turn the bar into a busy indicator.
        showBar(bytesBar_, std::max({bytesTotal_, bytesDone_, 1}), bytesDone_);
        showBar(filesBar_, filesBar_->maximum(), fileValue_);
    }
}

void TForm1::showBar(QProgressBar* Bar, int Maximum, int Value) {
    if (Bar->maximum() == Maximum && Bar->value() == Value) {
        return;
    }
    // A bar repaints itself at once on a new value; without updates it is
    // drawn with the rest of the window instead, in one pass.
    Bar->setUpdatesEnabled(false);
    Bar->setRange(0, Maximum);
    Bar->setValue(Value);
    Bar->setUpdatesEnabled(true);
}

void TForm1::setBytesBar(int32_t Done, int32_t Total) {
    bytesDone_ = Done;
    bytesTotal_ = Total;
    barsPending_ = true;
}

void TForm1::setFileBar(int Value) {
    fileValue_ = Value;
    barsPending_ = true;
}

QObject* TForm1::findControl(const QString& Name) const {
    return controls_.value(Name.toLower(), nullptr);
}

void TForm1::modeChosen(bool ByUser) {
    // Any index but File Manager's counts as Photo Manager.
    const TManagerMode mode =
        modeChoice_->currentIndex() == mmFileManager ? mmFileManager : mmPhotoManager;
    const bool photo = mode == mmPhotoManager;
    for (QWidget* w :
         {static_cast<QWidget*>(saveFolderLabel_), static_cast<QWidget*>(saveFolderField_),
          static_cast<QWidget*>(browseButton_), static_cast<QWidget*>(downloadAllBox_),
          static_cast<QWidget*>(overwriteBox_), static_cast<QWidget*>(deleteAfterBox_),
          static_cast<QWidget*>(skipDownloadedBox_)}) {
        w->setVisible(photo);
    }
    for (QWidget* w : importOptionControls()) {
        w->setVisible(photo);
    }
    uploadRow_->setVisible(!photo);
    if (!photo) {
        placeUploadPath();
    }
    // Only a change made in the mode choice itself lists the files again.
    session_->SetMode(mode, ByUser);
}

void TForm1::changeEvent(QEvent* Event) {
    QMainWindow::changeEvent(Event);
    if (Event->type() == QEvent::WindowStateChange && isMinimized()) {
        // Queued: showMinimized() shows the window again right after the
        // state change that reports the minimising.
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (isMinimized()) {
                    minimized();
                }
            },
            Qt::QueuedConnection);
    }
}

bool TForm1::eventFilter(QObject* Watched, QEvent* Event) {
    if (Watched == fileView_ && Event->type() == QEvent::Resize) {
        showNameWidth();
    }
    if (Watched == phoneChoice_ &&
        (Event->type() == QEvent::Resize || Event->type() == QEvent::Move)) {
        placeUploadPath();
    }
    return QMainWindow::eventFilter(Watched, Event);
}

void TForm1::closeEvent(QCloseEvent* Event) {
    // A command still running ends at its next pause instead of keeping a
    // closed program busy with the phone.
    session_->Interrupt();
    FormClose();
    Event->accept();
}

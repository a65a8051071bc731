// The window's life: creation, the log sink, message texts and the mode.
#include "gui/TForm1.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>

#include "MotoATMode.h"
#include "MotoP2KMode.h"
#include "core/FileListModel.h"
#include "core/ListRules.h"

TForm1::TForm1(TPhoneBackend& Backend, TFormConfig Config, QWidget* Parent)
    : QMainWindow(Parent), backend_(Backend), config_(std::move(Config)) {
    shownAt_.start();
    buildWindow();
    buildComponents();
    createLinks();

    connect(idModeSelect, &QComboBox::activated, this,
            [this] { idModeSelectChange(idModeSelect); });
    connect(idLanguageSel, &QComboBox::activated, this,
            [this] { idLanguageSelClick(idLanguageSel); });
    connect(idCharsetSel, &QComboBox::activated, this,
            [this] { idCharsetSelChange(idCharsetSel); });
    connect(idBrowse, &QPushButton::clicked, this, [this] { idBrowseClick(idBrowse); });
    connectConnectionHandlers();
    // The upload path box ends under the phone choice, wherever the tool
    // bar's layout puts it.
    ComboBox1->installEventFilter(this);

    FormCreate();
}

TForm1::~TForm1() {
    destroyLinks();
}

void TForm1::showProgress(bool Now) {
    if (!Now && !shownAt_.hasExpired(ShowEveryMs)) {
        return;
    }
    shownAt_.start();
    if (!pendingLog_.isEmpty()) {
        // One append for many lines: each line still becomes its own paragraph.
        Log->appendPlainText(pendingLog_.join(QLatin1Char('\n')));
        StatusPanel0->setText(pendingLog_.last());
        panelMsgs_[0] = lastLineMsg_;
        pendingLog_.clear();
    }
    if (barsPending_) {
        barsPending_ = false;
        // A range of 0..0 would turn the bar into a busy indicator.
        showBar(ProgressBar1, std::max({bytesTotal_, bytesDone_, 1}), bytesDone_);
        showBar(ProgressBar2, ProgressBar2->maximum(), fileValue_);
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

void TForm1::stepFileBar() {
    setFileBar(std::min(std::max(fileValue_, 0) + 1, ProgressBar2->maximum()));
    showProgress(false);
}

QObject* TForm1::findControl(const QString& Name) const {
    return controls_.value(Name.toLower(), nullptr);
}

void TForm1::idModeSelectChange(QObject* Sender) {
    // Any index but File Manager's counts as Photo Manager.
    ManagerMode = idModeSelect->currentIndex() == mmFileManager ? mmFileManager : mmPhotoManager;
    const bool photo = ManagerMode == mmPhotoManager;
    for (QWidget* w : {static_cast<QWidget*>(idSaveImages), static_cast<QWidget*>(Edit1),
                       static_cast<QWidget*>(idBrowse), static_cast<QWidget*>(idDownloadAll),
                       static_cast<QWidget*>(idOverwrite), static_cast<QWidget*>(idDeleteAfter)}) {
        w->setVisible(photo);
    }
    Panel3->setVisible(!photo);
    fileList_->SetCheckable(photo);
    if (!photo) {
        placeUploadPath();
    }
    // Only a change made in the mode choice itself lists the files again.
    if (Sender == idModeSelect) {
        ComboBox1Select(Sender);
    }
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
                    MinimizeEvtHandler();
                }
            },
            Qt::QueuedConnection);
    }
}

bool TForm1::eventFilter(QObject* Watched, QEvent* Event) {
    if (Watched == ComboBox1 &&
        (Event->type() == QEvent::Resize || Event->type() == QEvent::Move)) {
        placeUploadPath();
    }
    return QMainWindow::eventFilter(Watched, Event);
}

void TForm1::closeEvent(QCloseEvent* Event) {
    // A command still running ends at its next pause instead of keeping a
    // closed program busy with the phone.
    commands_.Interrupt();
    FormClose();
    Event->accept();
}

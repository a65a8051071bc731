// The Log page's menu: copy the selected lines, select them all, save the
// Log to a file, clear it.
#include <QAction>
#include <QDir>
#include <QMenu>
#include <QSaveFile>

#include "core/settings/LogModel.h"
#include "gui/LogView.h"
#include "gui/TForm1.h"

void TForm1::buildLogMenu() {
    logMenu_ = new QMenu(this);
    logMenu_->setObjectName(QStringLiteral("LogMenu"));
    auto entry = [this](const char* Name) {
        auto* a = logMenu_->addAction(QString());
        a->setObjectName(QString::fromLatin1(Name));
        return a;
    };
    logCopy_ = entry("LogCopy");
    logCopy_->setShortcut(QKeySequence::Copy);
    logSelectAll_ = entry("LogSelectAll");
    logSelectAll_->setShortcut(QKeySequence::SelectAll);
    logMenu_->addSeparator();
    logSave_ = entry("LogSave");
    logMenu_->addSeparator();
    logClear_ = entry("LogClear");
    connect(logCopy_, &QAction::triggered, logView_, &TLogView::copySelection);
    connect(logSelectAll_, &QAction::triggered, logView_, &QAbstractItemView::selectAll);
    connect(logSave_, &QAction::triggered, this, &TForm1::saveLog);
    connect(logClear_, &QAction::triggered, this, [this] {
        showProgress(true);  // lines waiting to be shown go too
        logModel_->Clear();
    });
    logView_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(logView_, &QWidget::customContextMenuRequested, this, &TForm1::showLogMenu);
}

void TForm1::showLogMenu(const QPoint& At) {
    // Named when shown, from the templates applied now.
    showProgress(true);
    logCopy_->setText(Msg("idLogCopy"));
    logSelectAll_->setText(Msg("idLogSelectAll"));
    logSave_->setText(Msg("idLogSave"));
    logClear_->setText(Msg("idLogClear"));
    const bool lines = logModel_->Lines() > 0;
    logCopy_->setEnabled(!logView_->selectedText().isEmpty());
    logSelectAll_->setEnabled(lines);
    logSave_->setEnabled(lines);
    logClear_->setEnabled(lines);
    logMenu_->popup(logView_->viewport()->mapToGlobal(At));
}

void TForm1::saveLog() {
    if (!config_.Dialogs.ChooseSaveFile) {
        return;
    }
    session_->BeginModal();
    const QString path = config_.Dialogs.ChooseSaveFile(
        this, Msg("idLogSave"), QDir::homePath() + QStringLiteral("/snaprill-log.txt"));
    session_->EndModal();
    if (path.isEmpty()) {
        return;
    }
    showProgress(true);
    // Every line, also those not published yet; written whole or not at all.
    QSaveFile file(path);
    bool written = file.open(QIODevice::WriteOnly);
    for (int row = 0; written && row < logModel_->Lines(); ++row) {
        written = file.write(logModel_->Line(row).toUtf8().append('\n')) >= 0;
    }
    QString reason = file.errorString();
    if (written && !file.commit()) {
        written = false;
        reason = file.errorString();
    }
    if (!written) {
        ShowMessage(TSessionMsg::Template("idLogSaveFailed", {path, reason}), true);
    }
}

// The folder chooser and the About page's links.
#include <QDir>
#include <QLabel>
#include <QLineEdit>

#include "gui/LinkLabel.h"
#include "gui/TForm1.h"

void TForm1::browseForFolder() {
    if (!config_.Dialogs.ChooseFolder) {
        return;
    }
    QString current = saveFolderField_->text();
    if (current.isEmpty() || !QDir(current).exists()) {
        current.clear();
    }
    // A phone arriving meanwhile is listed once the chooser has closed.
    session_->BeginModal();
    QString chosen = config_.Dialogs.ChooseFolder(this, Msg("idSelectDirectory"), current);
    session_->EndModal();
    if (chosen.isEmpty()) {
        return;  // cancelled: the folder stays
    }
    if (!chosen.endsWith(QLatin1Char('/'))) {
        chosen += QLatin1Char('/');
    }
    saveFolderField_->setText(chosen);
}

void TForm1::openLink(const QString& Target) {
    if (config_.OpenUrl && !Target.trimmed().isEmpty()) {
        config_.OpenUrl(QUrl::fromUserInput(Target.trimmed()));
    }
}

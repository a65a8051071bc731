// The folder chooser and the About page's links.
#include <QDir>
#include <QLabel>
#include <QLineEdit>

#include "gui/LinkLabel.h"
#include "gui/TForm1.h"

QString TForm1::chooseFolderFrom(const QString& Current) {
    if (!config_.Dialogs.ChooseFolder) {
        return {};
    }
    // A phone arriving meanwhile is listed once the chooser has closed.
    session_->BeginModal();
    QString chosen = config_.Dialogs.ChooseFolder(this, Msg("idSelectDirectory"),
                                                  QDir(Current).exists() ? Current : QString());
    session_->EndModal();
    if (!chosen.isEmpty() && !chosen.endsWith(QLatin1Char('/'))) {
        chosen += QLatin1Char('/');
    }
    return chosen;
}

void TForm1::browseForFolder() {
    const QString chosen = chooseFolderFrom(saveFolderField_->text());
    if (!chosen.isEmpty()) {  // cancelled: the folder stays
        saveFolderField_->setText(chosen);
    }
}

void TForm1::openLink(const QString& Target) {
    if (config_.OpenUrl && !Target.trimmed().isEmpty()) {
        config_.OpenUrl(QUrl::fromUserInput(Target.trimmed()));
    }
}

// The folder chooser and the About page's links.
#include <QDir>
#include <QLabel>
#include <QLineEdit>

#include "gui/LinkLabel.h"
#include "gui/TForm1.h"

void TForm1::idBrowseClick(QObject* /*Sender*/) {
    if (!config_.Dialogs.ChooseFolder) {
        return;
    }
    QString current = Edit1->text();
    if (current.isEmpty() || !QDir(current).exists()) {
        current.clear();
    }
    QString chosen = config_.Dialogs.ChooseFolder(this, Msg("idSelectDirectory"), current);
    if (chosen.isEmpty()) {
        return;  // cancelled: the folder stays
    }
    if (!chosen.endsWith(QLatin1Char('/'))) {
        chosen += QLatin1Char('/');
    }
    Edit1->setText(chosen);
}

void TForm1::openLink(const QString& Target) {
    if (config_.OpenUrl && !Target.trimmed().isEmpty()) {
        config_.OpenUrl(QUrl::fromUserInput(Target.trimmed()));
    }
}

void TForm1::Label1Click(QObject* /*Sender*/) {
    if (config_.OpenUrl) {
        config_.OpenUrl(QUrl(QStringLiteral("mailto:") + Label1->text().trimmed()));
    }
}

void TForm1::Label6Click(QObject* /*Sender*/) {
    openLink(Label6->text());
}
void TForm1::Label8Click(QObject* /*Sender*/) {
    openLink(Label8->text());
}
void TForm1::Label11Click(QObject* /*Sender*/) {
    openLink(Label11->text());
}
void TForm1::Label13Click(QObject* /*Sender*/) {
    openLink(Label13->text());
}

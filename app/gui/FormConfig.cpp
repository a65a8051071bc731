#include "gui/FormConfig.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QStandardPaths>
#include <QSystemTrayIcon>

#include "core/Autostart.h"
#include "core/LanguageFolder.h"
#include "core/SettingsStore.h"

TFormConfig defaultFormConfig() {
    TFormConfig c;
    c.SettingsPath = TSettingsStore().path();
    c.AutostartPath = defaultAutostartPath();
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    c.ExcludePath = data + QStringLiteral("/exclude.txt");
    c.HistoryPath = data + QStringLiteral("/history.txt");
    c.ExePath = QCoreApplication::applicationFilePath();
    c.LangDir = languageFolderFor(QCoreApplication::applicationDirPath());
    QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (pictures.isEmpty()) {
        pictures = QDir::homePath();
    }
    if (!pictures.endsWith(QLatin1Char('/'))) {
        pictures += QLatin1Char('/');
    }
    c.PicturesDir = pictures;
    c.OpenUrl = [](const QUrl& Url) { return QDesktopServices::openUrl(Url); };
    c.Dialogs.ChooseFolder = [](QWidget* Parent, const QString& Title, const QString& Current) {
        return QFileDialog::getExistingDirectory(Parent, Title, Current, QFileDialog::ShowDirsOnly);
    };
    c.Dialogs.ChooseFiles = [](QFileDialog* Dialog) {
        return Dialog->exec() == QDialog::Accepted ? Dialog->selectedFiles() : QStringList();
    };
    c.Dialogs.AskYesNo = [](QWidget* Parent, const QString& Text) {
        QMessageBox box(QMessageBox::Question, QCoreApplication::applicationName(), Text,
                        QMessageBox::Yes | QMessageBox::No, Parent);
        box.setTextFormat(Qt::PlainText);  // the text names files from the phone
        return box.exec() == QMessageBox::Yes;
    };
    c.Dialogs.ShowMessage = [](QWidget* Parent, const QString& Text, bool Error) {
        QMessageBox box(Error ? QMessageBox::Critical : QMessageBox::NoIcon,
                        QCoreApplication::applicationName(), Text, QMessageBox::Ok, Parent);
        box.setTextFormat(Qt::PlainText);
        box.exec();
    };
    c.TrayAvailable = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
    return c;
}

#include "gui/FormConfig.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QSystemTrayIcon>

#include "core/Autostart.h"
#include "core/LanguageFolder.h"
#include "core/UserPaths.h"

TFormConfig defaultFormConfig() {
    TFormConfig c;
    const TUserPaths paths = defaultUserPaths();
    c.SettingsPath = paths.SettingsPath;
    c.AutostartPath = defaultAutostartPath();
    c.ExcludePath = paths.ExcludePath;
    c.ExePath = QCoreApplication::applicationFilePath();
    c.LangDir = languageFolderFor(QCoreApplication::applicationDirPath());
    c.PicturesDir = paths.PicturesDir;
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

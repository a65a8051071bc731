#include "gui/FormConfig.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QStandardPaths>
#include <QSystemTrayIcon>

#include "core/Autostart.h"
#include "core/LanguageFolder.h"
#include "core/SettingsStore.h"

TFormConfig defaultFormConfig() {
    TFormConfig c;
    c.SettingsPath = TSettingsStore().path();
    c.AutostartPath = defaultAutostartPath();
    c.ExcludePath = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
                    QStringLiteral("/exclude.txt");
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
    c.ChooseFolder = [](QWidget* Parent, const QString& Title, const QString& Current) {
        return QFileDialog::getExistingDirectory(Parent, Title, Current, QFileDialog::ShowDirsOnly);
    };
    c.TrayAvailable = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
    return c;
}

#include "gui/FormConfig.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QMessageBox>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <algorithm>

#include "core/program/Autostart.h"
#include "core/program/UserPaths.h"
#include "core/settings/LanguageFolder.h"

namespace {

// A box as narrow as a short text leaves the window manager's title bar too
// little room beside its buttons, and the title shows as "...": the box is
// made wide enough for the title and the buttons of a title bar.
constexpr int MinBoxWidth = 280;
constexpr int TitleBarButtons = 160;

void widenForTitle(QMessageBox& Box) {
    auto* grid = qobject_cast<QGridLayout*>(Box.layout());
    if (!grid) {
        return;
    }
    const int title = Box.fontMetrics().horizontalAdvance(Box.windowTitle());
    grid->addItem(new QSpacerItem(std::max(MinBoxWidth, title + TitleBarButtons), 0,
                                  QSizePolicy::Minimum, QSizePolicy::Fixed),
                  grid->rowCount(), 0, 1, grid->columnCount());
}

}  // namespace

TFormConfig defaultFormConfig() {
    TFormConfig c;
    const TUserPaths paths = defaultUserPaths();
    c.SettingsPath = paths.SettingsPath;
    c.AutostartPath = defaultAutostartPath();
    c.ExcludePath = paths.ExcludePath;
    c.HistoryPath = paths.HistoryPath;
    c.ExePath = QCoreApplication::applicationFilePath();
    c.LangDir = languageFolderFor(QCoreApplication::applicationDirPath());
    c.PicturesDir = paths.PicturesDir;
    c.ThumbnailDir = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    if (!c.ThumbnailDir.isEmpty()) {
        c.ThumbnailDir += QStringLiteral("/thumbnails");
    }
    c.OpenUrl = [](const QUrl& Url) { return QDesktopServices::openUrl(Url); };
    c.Dialogs.ChooseFolder = [](QWidget* Parent, const QString& Title, const QString& Current) {
        return QFileDialog::getExistingDirectory(Parent, Title, Current, QFileDialog::ShowDirsOnly);
    };
    c.Dialogs.ChooseSaveFile = [](QWidget* Parent, const QString& Title, const QString& Current) {
        return QFileDialog::getSaveFileName(Parent, Title, Current);
    };
    c.Dialogs.ChooseFiles = [](QFileDialog* Dialog) {
        return Dialog->exec() == QDialog::Accepted ? Dialog->selectedFiles() : QStringList();
    };
    c.Dialogs.AskYesNo = [](QWidget* Parent, const QString& Text) {
        QMessageBox box(QMessageBox::Question, QCoreApplication::applicationName(), Text,
                        QMessageBox::Yes | QMessageBox::No, Parent);
        box.setTextFormat(Qt::PlainText);  // the text names files from the phone
        widenForTitle(box);
        return box.exec() == QMessageBox::Yes;
    };
    c.Dialogs.ShowMessage = [](QWidget* Parent, const QString& Text, bool Error) {
        QMessageBox box(Error ? QMessageBox::Critical : QMessageBox::NoIcon,
                        QCoreApplication::applicationName(), Text, QMessageBox::Ok, Parent);
        box.setTextFormat(Qt::PlainText);
        widenForTitle(box);
        box.exec();
    };
    c.TrayAvailable = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
    return c;
}

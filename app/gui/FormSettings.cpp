// Start-up and shut-down: the settings, the autostart entry and the
// exclusion list, restored into the controls and written back at close.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QScreen>

#include "core/Autostart.h"
#include "core/Charsets.h"
#include "core/ExcludeList.h"
#include "core/SettingsStore.h"
#include "core/WindowTitle.h"
#include "gui/TForm1.h"

void TForm1::FormCreate() {
    setWindowTitle(QString::fromLatin1(WindowTitle));

    QString error;
    const TStoredSettings stored = TSettingsStore(config_.SettingsPath).read(&error);
    if (!error.isEmpty()) {
        AddLog(error);
    }
    Edit1->setText(stored.Dir.value_or(config_.PicturesDir));
    idOverwrite->setChecked(stored.Overwrite.value_or(false));
    idDeleteAfter->setChecked(stored.Delete.value_or(false));
    idDownloadAll->setChecked(stored.Download.value_or(false));
    idHide->setChecked(stored.Hide.value_or(false));

    // The window first appears in the middle of its screen.
    if (const QScreen* screen = this->screen()) {
        move(screen->availableGeometry().center() - rect().center());
    }

    // Without a notification area a hidden window could never be reached.
    const bool trayAvailable = config_.TrayAvailable && config_.TrayAvailable();
    if (!idHide->isChecked() || !trayAvailable) {
        show();
    }

    getLangs();
    if (stored.Lang) {
        idLanguageSel->setCurrentIndex(
            idLanguageSel->findText(*stored.Lang, Qt::MatchFixedString));  // case-insensitive
    }
    if (stored.Mode) {
        idModeSelect->setCurrentIndex(*stored.Mode == 1 ? 1 : 0);
    }
    if (stored.Charset && charsetValueAt(*stored.Charset) >= 0) {
        // Applied before the language file, whose texts it decodes.
        idCharsetSel->setCurrentIndex(*stored.Charset);
        fontCharset_ = charsetValueAt(*stored.Charset);
    }
    idLoad->setChecked(autostartPresent(config_.AutostartPath));

    minimizeHandlerInstalled_ = true;

    loadLang(idLanguageSel->currentIndex() >= 0 ? idLanguageSel->currentText() : QString());

    const TExcludeLoad exclude = loadExcludeList(config_.ExcludePath);
    if (!exclude.Error.isEmpty()) {
        AddLog(exclude.Error);
    }
    idExclude.Assign(exclude.Entries);

    idModeSelectChange(this);
    switchP2K();
    GetDevises();
}

void TForm1::FormClose() {
    TSettingsToWrite values;
    values.Dir = Edit1->text();
    values.Overwrite = idOverwrite->isChecked();
    values.Delete = idDeleteAfter->isChecked();
    values.Download = idDownloadAll->isChecked();
    values.Hide = idHide->isChecked();
    values.Lang = idLanguageSel->currentIndex() >= 0 ? idLanguageSel->currentText() : QString();
    values.Mode = idModeSelect->currentIndex();
    values.Charset = idCharsetSel->currentIndex();
    QString error;
    if (!TSettingsStore(config_.SettingsPath).write(values, &error)) {
        AddLog(error);
    }

    error = idLoad->isChecked() ? writeAutostart(config_.AutostartPath, config_.ExePath)
                                : removeAutostart(config_.AutostartPath);
    if (!error.isEmpty()) {
        AddLog(error);
    }

    error = saveExcludeList(config_.ExcludePath, idExclude.Entries());
    if (!error.isEmpty()) {
        AddLog(error);
    }
}

// Start-up and shut-down: the settings, the autostart entry and the
// exclusion list, restored into the controls and written back at close.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include "core/files/ExcludeList.h"
#include "core/program/Autostart.h"
#include "core/program/WindowTitle.h"
#include "core/settings/Charsets.h"
#include "core/settings/SettingsStore.h"
#include "gui/TForm1.h"

void TForm1::FormCreate() {
    setWindowTitle(QString::fromLatin1(WindowTitle));

    QString error;
    const TStoredSettings stored = TSettingsStore(config_.SettingsPath).read(&error);
    if (!error.isEmpty()) {
        AddLog(error);
    }
    saveFolderField_->setText(stored.Dir.value_or(config_.PicturesDir));
    overwriteBox_->setChecked(stored.Overwrite.value_or(false));
    deleteAfterBox_->setChecked(stored.Delete.value_or(false));
    downloadAllBox_->setChecked(stored.Download.value_or(false));
    hideBox_->setChecked(stored.Hide.value_or(false));
    previewsBox_->setChecked(stored.Previews.value_or(true));
    pictureTimeBox_->setChecked(stored.PictureTime.value_or(true));
    skipDownloadedBox_->setChecked(stored.SkipDownloaded.value_or(false));
    restoreImportOptions(stored);

    restorePlace(stored.Place);

    // Without a notification area a hidden window could never be reached.
    const bool trayAvailable = config_.TrayAvailable && config_.TrayAvailable();
    if (!hideBox_->isChecked() || !trayAvailable) {
        show();
    }

    getLangs();
    if (stored.Lang) {
        languageChoice_->setCurrentIndex(
            languageChoice_->findText(*stored.Lang, Qt::MatchFixedString));  // case-insensitive
    }
    if (stored.Mode) {
        modeChoice_->setCurrentIndex(*stored.Mode == 1 ? 1 : 0);
    }
    if (stored.Charset && charsetValueAt(*stored.Charset) >= 0) {
        // Applied before the language file, whose texts it decodes.
        charsetChoice_->setCurrentIndex(*stored.Charset);
        fontCharset_ = charsetValueAt(*stored.Charset);
    }
    autostartBox_->setChecked(autostartPresent(config_.AutostartPath));

    minimizeHandlerInstalled_ = true;

    loadLang(languageChoice_->currentIndex() >= 0 ? languageChoice_->currentText() : QString());

    const TExcludeLoad exclude = loadExcludeList(config_.ExcludePath);
    if (!exclude.Error.isEmpty()) {
        AddLog(exclude.Error);
    }
    session_->Exclude().Assign(exclude.Entries);
    const QString historyError = session_->History().Load(config_.HistoryPath);
    if (!historyError.isEmpty()) {
        AddLog(historyError);
    }

    modeChosen(false);
    session_->Start();
}

void TForm1::FormClose() {
    TSettingsToWrite values;
    values.Dir = saveFolderField_->text();
    values.Overwrite = overwriteBox_->isChecked();
    values.Delete = deleteAfterBox_->isChecked();
    values.Download = downloadAllBox_->isChecked();
    values.Hide = hideBox_->isChecked();
    values.Previews = previewsBox_->isChecked();
    values.PictureTime = pictureTimeBox_->isChecked();
    values.SkipDownloaded = skipDownloadedBox_->isChecked();
    storeImportOptions(values);
    values.Lang = languageChoice_->currentIndex() >= 0 ? languageChoice_->currentText() : QString();
    values.Mode = modeChoice_->currentIndex();
    values.Charset = charsetChoice_->currentIndex();
    values.Place = currentPlace();
    QString error;
    if (!TSettingsStore(config_.SettingsPath).write(values, &error)) {
        AddLog(error);
    }

    error = autostartBox_->isChecked() ? writeAutostart(config_.AutostartPath, config_.ExePath)
                                       : removeAutostart(config_.AutostartPath);
    if (!error.isEmpty()) {
        AddLog(error);
    }

    error = saveExcludeList(config_.ExcludePath, session_->Exclude().Entries());
    if (!error.isEmpty()) {
        AddLog(error);
    }
}

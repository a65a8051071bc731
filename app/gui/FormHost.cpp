// The window as the phone session's host: its event loop, its dialogs and
// the options as its controls show them.
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QRadioButton>

#include "gui/TForm1.h"

void TForm1::ProcessEvents() {
    // The one place where pending events are handled inside a command.
    QCoreApplication::processEvents();
}

bool TForm1::Option(TSessionOption Option) {
    switch (Option) {
        case TSessionOption::Overwrite:
            return overwriteBox_->isChecked();
        case TSessionOption::DeleteAfter:
            return deleteAfterBox_->isChecked();
        case TSessionOption::DownloadAll:
            return downloadAllBox_->isChecked();
        case TSessionOption::Previews:
            return previewsBox_->isChecked();
        case TSessionOption::PictureTime:
            return pictureTimeBox_->isChecked();
        case TSessionOption::SkipDownloaded:
            return skipDownloadedBox_->isChecked();
        case TSessionOption::KeepBoth:
            return keepBothButton_->isChecked();
    }
    return false;
}

QString TForm1::SaveFolder() {
    return saveFolderField_->text();
}

std::string TForm1::UploadFolder() {
    // Only an entry picked from the list counts, not text typed over it.
    const int i = uploadFolderBox_->currentIndex();
    if (i < 0 || uploadFolderBox_->currentText() != uploadFolderBox_->itemText(i)) {
        return {};
    }
    return uploadFolderBox_->itemData(i).toByteArray().toStdString();
}

QString TForm1::text(const TSessionMsg& Message) const {
    return Message.Name ? Msg(Message.Name, Message.Args) : Message.Text;
}

QString TForm1::ChooseFolder(const TSessionMsg& Title) {
    showProgress(true);
    if (!config_.Dialogs.ChooseFolder) {
        return {};
    }
    return config_.Dialogs.ChooseFolder(this, text(Title), QString());
}

QStringList TForm1::ChooseFiles() {
    showProgress(true);
    return config_.Dialogs.ChooseFiles ? config_.Dialogs.ChooseFiles(openDialog()) : QStringList();
}

bool TForm1::AskYesNo(const TSessionMsg& Question) {
    showProgress(true);
    return config_.Dialogs.AskYesNo && config_.Dialogs.AskYesNo(this, text(Question));
}

void TForm1::ShowMessage(const TSessionMsg& Message, bool Error) {
    showProgress(true);
    if (config_.Dialogs.ShowMessage) {
        config_.Dialogs.ShowMessage(this, text(Message), Error);
    }
}

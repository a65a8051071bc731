// The upload and delete commands.
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QProgressBar>
#include <system_error>

#include "MotoP2KMode.h"
#include "core/FileRows.h"
#include "core/ListRules.h"
#include "core/TransferRules.h"
#include "gui/TForm1.h"

void TForm1::idUploadClick(QObject* /*Sender*/) {
    if (commandRunning() || !chosenPhone()) {
        return;
    }
    const QStringList files =
        config_.Dialogs.ChooseFiles ? config_.Dialogs.ChooseFiles(openDialog()) : QStringList();
    if (files.isEmpty()) {
        return;
    }
    runCommand([&] {
        // The phones may have changed while the dialog was open.
        if (const std::shared_ptr<TMotoP2KModemItem> item = chosenPhone()) {
            uploadFiles(item, files);
        }
    });
}

void TForm1::uploadFiles(const std::shared_ptr<TMotoP2KModemItem>& Item, const QStringList& Files) {
    // The file bar goes on from where the last transfer left it.
    const int count = static_cast<int>(Files.size());
    const int from = std::clamp(ProgressBar2->value(), 0, count);
    ProgressBar2->setRange(0, count);
    setFileBar(from);
    setBytesBar(0, 0);
    showProgress(true);
    ProgressBar1->show();
    ProgressBar2->show();
    const std::string folder =
        ManagerMode == mmPhotoManager ? selectedDrive() + PictureFolder : selectedUploadFolder();
    for (const QString& file : Files) {
        if (!pumpMessages()) {
            break;
        }
        const std::optional<std::string> phoneName = uploadPhoneName(folder, file);
        if (!phoneName) {
            // Sent as "?" it would land under a name nobody chose.
            AddMsg("idBadPhoneName", {QFileInfo(file).fileName()});
            stepFileBar();
            continue;
        }
        bool sent = false;
        try {
            sent = Item->UploadFile(
                QFile::encodeName(file).toStdString(), *phoneName, UploadBlockSize,
                [this](int32_t Done, int32_t Total) { return UploadProgress(Done, Total); });
        } catch (const std::system_error& e) {
            reportLocalFailure(QString::fromUtf8(e.what()));
            break;
        }
        if (!sent && !interrupted()) {
            AddMsg("idUploadFailed", {file});
        }
        stepFileBar();
    }
    showProgress(true);
    ProgressBar1->hide();
    ProgressBar2->hide();
    if (!interrupted()) {
        GetPics(ComboBox1->currentIndex());
    }
}

bool TForm1::UploadProgress(int32_t Done, int32_t Total) {
    setBytesBar(Done, Total);
    AddMsg("idUploading", {Done / 1024.0, Total / 1024.0});
    return pumpMessages();
}

void TForm1::idDeleteClick(QObject* /*Sender*/) {
    if (commandRunning() || !chosenPhone()) {
        return;
    }
    // Highlighted rows only; the check marks play no part.
    const std::vector<TFileRow> rows = fileRows().SelectedRows();
    if (rows.empty()) {
        return;
    }
    runCommand([&] {
        const std::shared_ptr<TMotoP2KModemItem> item = chosenPhone();
        if (!item) {
            return;
        }
        for (const TFileRow& row : rows) {
            item->DeleteFile(row.Name);
        }
        connectAndList(std::nullopt);
    });
}

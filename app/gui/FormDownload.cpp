// The download command: the selected rows copied from the phone into a
// local folder, block by block, and in Photo Manager mode deleted from the
// phone once their local copy is complete.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProgressBar>
#include <QTreeView>
#include <system_error>

#include "MotoP2KMode.h"
#include "core/FileListModel.h"
#include "core/ListRules.h"
#include "core/PhoneText.h"
#include "core/TransferRules.h"
#include "gui/TForm1.h"

void TForm1::idDownloadClick(QObject* /*Sender*/) {
    runCommand([this] { downloadSelected(); });
}

void TForm1::reportLocalFailure(const QString& Text) {
    AddLog(Text);
    showProgress(true);
    if (config_.Dialogs.ShowMessage) {
        config_.Dialogs.ShowMessage(this, Text, true);
    }
}

void TForm1::downloadSelected() {
    // The rows are taken as they stand now; nothing below reads the list
    // again, so a list emptied or rebuilt meanwhile cannot be walked.
    const std::vector<TFileRow> rows = fileList_->Rows().SelectedRows();
    if (rows.empty()) {
        return;
    }
    const int mode = ManagerMode;
    idList->setEnabled(false);
    const bool live = pumpMessages();
    ProgressBar2->setRange(0, static_cast<int>(rows.size()));
    setFileBar(0);
    setBytesBar(0, 0);
    showProgress(true);
    ProgressBar1->show();
    ProgressBar2->show();
    auto abandon = [this] {
        showProgress(true);
        idList->setEnabled(true);
        ProgressBar1->hide();
        ProgressBar2->hide();
    };

    const std::shared_ptr<TMotoP2KModemItem> item = chosenPhone();
    if (!live || !item) {
        abandon();
        return;
    }
    QString folder;
    if (mode == mmFileManager) {
        showProgress(true);
        if (config_.Dialogs.ChooseFolder) {
            folder = config_.Dialogs.ChooseFolder(this, Msg("idSelectDirectory"), QString());
        }
        if (folder.isEmpty() || interrupted()) {
            abandon();
            return;
        }
    } else {
        folder = Edit1->text();
    }
    // Each file lands inside the folder, never beside it.
    if (!folder.endsWith(QLatin1Char('/'))) {
        folder += QLatin1Char('/');
    }
    ListView1->setEnabled(false);

    // Set when a local failure or a change of the phones ended the command early.
    bool stopped = false;
    if (!QDir().mkpath(folder)) {
        reportLocalFailure(QStringLiteral("Cannot create the folder %1").arg(folder));
        stopped = true;
    }
    for (const TFileRow& row : rows) {
        if (stopped || !pumpMessages()) {
            stopped = true;
            break;
        }
        stepFileBar();
        const std::optional<QString> name = localFileName(row.Name);
        if (!name) {
            AddMsg("idBadLocalName", {phoneToUnicode(row.Name)});
            continue;
        }
        const QString local = folder + *name;
        const bool overwrite = idOverwrite->isChecked();
        const TDownloadStep step =
            downloadStep(mode, overwrite, QFileInfo::exists(local), idExclude.Contains(row.Name));
        if (step == TDownloadStep::SkipExisting) {
            AddMsg("idSkipping", {local});
            continue;
        }
        if (step == TDownloadStep::SkipExcluded) {
            continue;
        }
        if (step == TDownloadStep::AskReplace) {
            showProgress(true);
            const bool yes = config_.Dialogs.AskYesNo &&
                             config_.Dialogs.AskYesNo(this, Msg("idReplaceQ", {local}));
            if (interrupted()) {
                stopped = true;
                break;
            }
            if (!yes) {
                continue;
            }
        }

        bool complete = false;
        try {
            complete = item->DownloadFile(
                row.Name, QFile::encodeName(local).toStdString(),
                downloadBlockSize(mode, overwrite), row.Size,
                [this](int32_t Done, int32_t Total) { return DownloadProgress(Done, Total); });
        } catch (const std::system_error& e) {
            reportLocalFailure(QString::fromUtf8(e.what()));
            stopped = true;
            break;
        }
        if (!complete) {
            if (!interrupted()) {
                AddMsg("idDownloadFailed", {phoneToUnicode(row.Name)});
            }
            continue;
        }
        // Only a complete local copy lets the phone's copy go, and only
        // while the phones are as the command found them.
        if (mode == mmPhotoManager && idDeleteAfter->isChecked() && !interrupted()) {
            item->DeleteFile(row.Name);
        }
    }

    ListView1->setEnabled(true);
    abandon();
    AddMsg("idFilesCount", {qint64{fileList_->Rows().Count()}});
    if (interrupted()) {
        return;
    }
    if (idDeleteAfter->isChecked()) {
        GetPics(ComboBox1->currentIndex());
    }
    if (!stopped && mode == mmPhotoManager && idDownloadAll->isChecked() &&
        config_.Dialogs.ShowMessage) {
        showProgress(true);
        config_.Dialogs.ShowMessage(this, Msg("idDlComplete"), false);
    }
}

bool TForm1::DownloadProgress(int32_t Done, int32_t Total) {
    setBytesBar(Done, Total);
    AddMsg("idDownloading", {Done / 1024.0, Total / 1024.0});
    return pumpMessages();
}

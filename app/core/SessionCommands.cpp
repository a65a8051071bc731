// The three commands on the listed files: download, upload and delete.
#include <QDir>
#include <algorithm>

#include "MotoP2KMode.h"
#include "core/DownloadJob.h"
#include "core/FileListModel.h"
#include "core/PhoneSession.h"
#include "core/UploadJob.h"

void TPhoneSession::SetFileBar(int Value) {
    fileBar_ = Value;
    emit transferFileStep(Value);
}

void TPhoneSession::beginTransfer(TTransferKind Kind, int Files, int From) {
    fileBar_ = From;
    emit transferStarted(Kind, Files, From);
}

void TPhoneSession::Download() {
    runCommand([this] { downloadSelected(); });
}

void TPhoneSession::downloadSelected() {
    // The rows are taken as they stand now; nothing below reads the list
    // again, so a list emptied or rebuilt meanwhile cannot be walked.
    std::vector<TFileRow> rows = fileList_->Rows().SelectedRows();
    lastDownload_ = TDownloadOutcome();
    if (rows.empty()) {
        return;
    }
    const TManagerMode mode = mode_;
    const auto total = static_cast<qint64>(rows.size());
    beginTransfer(TTransferKind::Download, static_cast<int>(total), 0);
    const bool live = Pump();
    const std::shared_ptr<TMotoP2KModemItem> item = ChosenItem();
    if (!live || !item) {
        lastDownload_.Interrupted = !live;
        emit transferEnded();
        return;
    }
    QString folder;
    if (mode == mmFileManager) {
        folder = host_.ChooseFolder(TSessionMsg::Template("idSelectDirectory"));
        if (folder.isEmpty() || Interrupted()) {
            emit transferEnded();
            return;
        }
    } else {
        folder = host_.SaveFolder();
    }
    // Each file lands inside the folder, never beside it.
    if (!folder.endsWith(QLatin1Char('/'))) {
        folder += QLatin1Char('/');
    }

    TDownloadOutcome& outcome = lastDownload_;
    outcome = TDownloadOutcome();
    const bool ran = QDir().mkpath(folder);
    if (ran) {
        outcome = TDownloadJob(*this, item, mode, std::move(rows), downloadSettings_).Run(folder);
    } else {
        ReportLocalFailure(QStringLiteral("Cannot create the folder %1").arg(folder));
        outcome.LocalFailure = true;
    }

    emit transferEnded();
    if (ran) {
        // What became of the rows, in one line; the list's count stays last.
        LogMsg("idDownloadSummary",
               {qint64{outcome.Count(TDownloadFate::Downloaded)}, qint64{outcome.Skipped()},
                qint64{outcome.NotDownloaded()}});
    }
    LogMsg("idFilesCount", {qint64{fileList_->Rows().Count()}});
    if (Interrupted()) {
        return;
    }
    if (host_.Option(TSessionOption::DeleteAfter)) {
        getPics();
    }
    if (!outcome.LocalFailure && !outcome.Interrupted && mode == mmPhotoManager &&
        host_.Option(TSessionOption::DownloadAll)) {
        // The end-of-download box claims success only when nothing failed.
        if (outcome.NotDownloaded() > 0) {
            host_.ShowMessage(
                TSessionMsg::Template("idDlIncomplete", {qint64{outcome.NotDownloaded()}, total}),
                true);
        } else {
            host_.ShowMessage(TSessionMsg::Template("idDlComplete"), false);
        }
    }
}

void TPhoneSession::Upload() {
    if (Busy() || !ChosenItem()) {
        return;
    }
    const std::shared_ptr<TMotoP2KModemItem> chosen = ChosenItem();
    BeginModal();
    const QStringList files = host_.ChooseFiles();
    EndModal();
    lastUpload_ = TUploadOutcome();
    // The phones may have changed while the dialog was open: the files go
    // only to the phone they were chosen for.
    if (files.isEmpty() || Busy() || ChosenItem() != chosen) {
        return;
    }
    runCommand([&] {
        const std::string folder =
            mode_ == mmPhotoManager ? ChosenDriveName() + PictureFolder : host_.UploadFolder();
        // The file bar goes on from where the last transfer left it.
        const int count = static_cast<int>(files.size());
        beginTransfer(TTransferKind::Upload, count, std::clamp(fileBar_, 0, count));
        lastUpload_ = TUploadJob(*this, chosen, folder, files).Run();
        emit transferEnded();
        if (!Interrupted()) {
            getPics();
        }
    });
}

void TPhoneSession::Delete() {
    if (Busy() || !ChosenItem()) {
        return;
    }
    // Highlighted rows only; the check marks play no part.
    const std::vector<TFileRow> rows = fileList_->Rows().SelectedRows();
    if (rows.empty()) {
        return;
    }
    runCommand([&] {
        const std::shared_ptr<TMotoP2KModemItem> item = ChosenItem();
        if (!item) {
            return;
        }
        for (const TFileRow& row : rows) {
            item->DeleteFile(row.Name);
        }
        connectAndList(std::nullopt);
    });
}

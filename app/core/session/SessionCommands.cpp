// The three commands on the listed files: download, upload and delete.
#include <QDir>
#include <QFileInfo>
#include <algorithm>

#include "MotoP2KMode.h"
#include "core/session/DownloadJob.h"
#include "core/session/FileListModel.h"
#include "core/session/PhoneSession.h"
#include "core/session/UploadJob.h"

void TPhoneSession::SetFileBar(int Value) {
    fileBar_ = Value;
    emit transferFileStep(Value);
}

void TPhoneSession::beginTransfer(TTransferKind Kind, int Files, int From, int64_t Bytes) {
    fileBar_ = From;
    transferring_ = true;
    stopRequested_ = false;
    rate_.Begin(Bytes);
    emit transferStarted(Kind, Files, From);
}

void TPhoneSession::endTransfer() {
    transferring_ = false;
    stopRequested_ = false;
    emit transferEnded();
}

void TPhoneSession::ReportBytes(int32_t Done, int32_t Total) {
    rate_.FileProgress(Done);
    emit transferBytes(Done, Total);
}

bool TPhoneSession::TransferBlock(const char* Template, int32_t Done, int32_t Total,
                                  bool& Stopped) {
    ReportBytes(Done, Total);
    LogMsg(Template, {Done / 1024.0, Total / 1024.0});
    if (!Pump()) {
        return false;
    }
    Stopped = StopRequested();
    return !Stopped;
}

void TPhoneSession::RecordDownloaded(const TFileRow& Row) {
    // A history that cannot be written says so once, not at every picture.
    const QString error = history_.Record(ChosenIdentity(), Row.Name, Row.Size);
    if (!error.isEmpty() && error != historyError_) {
        historyError_ = error;
        Log(TSessionMsg::Plain(error));
    }
    if (ChosenIdentity().Known()) {
        fileList_->MarkDownloadedBefore(Row.Name, Row.Size);
    }
}

bool TPhoneSession::PhoneLost(const std::shared_ptr<TMotoP2KModemItem>& Item) {
    if (!phoneLost_ && guard_.Busy() && Item && Item->IsOpen() && !Item->IsPresent()) {
        phoneLost_ = true;
        // Whatever the command would do next needs the phone.
        guard_.Interrupt();
    }
    return phoneLost_;
}

void TPhoneSession::reportPhoneLost(int Done, int NotTried) {
    if (lostReported_) {
        return;
    }
    lostReported_ = true;
    LogMsg("idPhoneLost", {qint64{Done}, qint64{NotTried}});
    emit phoneLost(Done, NotTried);
    forgetPhones();
}

void TPhoneSession::removeStaleTemporaries(const QString& Folder) {
    for (const QString& path : ::removeStaleTemporaries(Folder, staleCheck_)) {
        LogMsg("idStaleRemoved", {path});
    }
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
    int64_t bytes = 0;
    for (const TFileRow& r : rows) {
        bytes += std::max(r.Size, 0);
    }
    beginTransfer(TTransferKind::Download, static_cast<int>(total), 0, bytes);
    const bool live = Pump();
    const std::shared_ptr<TMotoP2KModemItem> item = ChosenItem();
    if (!live || !item) {
        lastDownload_.Interrupted = !live;
        endTransfer();
        return;
    }
    QString folder;
    if (mode == mmFileManager) {
        folder = host_.ChooseFolder(TSessionMsg::Template("idSelectDirectory"));
        if (folder.isEmpty() || Interrupted()) {
            endTransfer();
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
        removeStaleTemporaries(folder);
        outcome = TDownloadJob(*this, item, mode, std::move(rows), downloadSettings_).Run(folder);
    } else {
        ReportLocalFailure(QStringLiteral("Cannot create the folder %1").arg(folder));
        outcome.LocalFailure = true;
    }
    // A phone pulled out after the last exchange is lost all the same,
    // whether or not its removal event has come yet.
    outcome.PhoneLost = outcome.PhoneLost || PhoneLost(item);
    if (outcome.Stopped && !outcome.PhoneLost) {
        LogMsg("idStopped", {qint64{outcome.Count(TDownloadFate::Downloaded)}});
    }

    endTransfer();
    if (outcome.PhoneLost) {
        reportPhoneLost(outcome.Count(TDownloadFate::Downloaded),
                        static_cast<int>(total) - static_cast<int>(outcome.Rows.size()));
        return;
    }
    if (ran) {
        // What became of the rows, in one line; the list's count stays last.
        LogMsg("idDownloadSummary", {qint64{outcome.Count(TDownloadFate::Downloaded)},
                                     qint64{outcome.Skipped()}, qint64{outcome.NotDownloaded()}});
    }
    LogMsg("idFilesCount", {qint64{fileList_->Rows().Count()}});
    if (Interrupted()) {
        return;
    }
    if (host_.Option(TSessionOption::DeleteAfter)) {
        getPics();
        if (phoneLost_) {
            outcome.PhoneLost = true;
            reportPhoneLost(outcome.Count(TDownloadFate::Downloaded), 0);
            return;
        }
    }
    if (!outcome.LocalFailure && !outcome.Interrupted && !outcome.Stopped &&
        mode == mmPhotoManager && host_.Option(TSessionOption::DownloadAll)) {
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
        int64_t bytes = 0;
        for (const QString& f : files) {
            bytes += QFileInfo(f).size();
        }
        beginTransfer(TTransferKind::Upload, count, std::clamp(fileBar_, 0, count), bytes);
        lastUpload_ = TUploadJob(*this, chosen, folder, files).Run();
        lastUpload_.PhoneLost = lastUpload_.PhoneLost || PhoneLost(chosen);
        if (lastUpload_.Stopped && !lastUpload_.PhoneLost) {
            LogMsg("idStopped", {qint64(lastUpload_.Uploaded.size())});
        }
        endTransfer();
        if (!Interrupted()) {
            getPics();
        }
        if (phoneLost_) {
            lastUpload_.PhoneLost = true;
            const auto reached = lastUpload_.Uploaded.size() + lastUpload_.Failed.size();
            reportPhoneLost(static_cast<int>(lastUpload_.Uploaded.size()),
                            count - static_cast<int>(reached));
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

// The three commands on the listed files: download, upload and delete.
#include <QDir>
#include <QFileInfo>
#include <algorithm>

#include "MotoP2KMode.h"
#include "core/files/FolderPattern.h"
#include "core/files/PhoneText.h"
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

void TPhoneSession::reportBytes(int32_t Done, int32_t Total) {
    rate_.FileProgress(Done);
    emit transferBytes(Done, Total);
}

bool TPhoneSession::TransferBlock(const char* Template, int32_t Done, int32_t Total,
                                  bool& Stopped) {
    reportBytes(Done, Total);
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

bool TPhoneSession::DownloadedBefore(const TFileRow& Row) const {
    return history_.Contains(ChosenIdentity(), Row.Name, Row.Size);
}

void TPhoneSession::KeptOnPhone(const std::string& Name) {
    LogMsg("idKeptOnPhone", {phoneToUnicode(Name)});
    emit keptOnPhone(Name);
}

void TPhoneSession::removeStaleTemporaries(const QString& Folder) {
    for (const QString& path : ::removeStaleTemporaries(Folder, staleCheck_)) {
        LogMsg("idStaleRemoved", {path});
    }
}

void TPhoneSession::Download() {
    runCommand(TCommandKind::Download, [this] { downloadSelected(); });
}

void TPhoneSession::downloadSelected() {
    // The rows are taken as they stand now; nothing below reads the list
    // again, so a list emptied or rebuilt meanwhile cannot be walked.
    std::vector<TFileRow> rows = fileList_->Rows().SelectedRows();
    lastDownload_ = TDownloadOutcome();
    // A listing that downloads every picture on connect becomes a download.
    outcome_ = lastDownload_.Summary(0);
    if (rows.empty()) {
        return;
    }
    const TManagerMode mode = mode_;
    const auto total = static_cast<qint64>(rows.size());
    // Whatever ends it early, the rows not reached are told.
    struct TSummary {
        TPhoneSession* Session;
        int Total;
        ~TSummary() { Session->outcome_ = Session->lastDownload_.Summary(Total); }
    } summary{this, static_cast<int>(total)};
    int64_t bytes = 0;
    for (const TFileRow& r : rows) {
        bytes += std::max(r.Size, 0);
    }
    beginTransfer(TTransferKind::Download, static_cast<int>(total), 0, bytes);
    const bool live = Pump();
    const std::shared_ptr<TMotoP2KModemItem> item = ChosenItem();
    if (!live || !item) {
        lastDownload_.End = live ? TCommandEnd::Done : TCommandEnd::Interrupted;
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

    // A folder pattern that could put pictures outside the folder (or
    // names no folder at all) is refused before anything is read.
    const QString pattern = mode == mmPhotoManager ? host_.FolderPattern() : QString();
    if (!pattern.isEmpty() && folderPatternProblem(pattern)) {
        const TSessionMsg msg = TSessionMsg::Template("idBadFolderPattern", {pattern});
        Log(msg);
        host_.ShowMessage(msg, true);
        lastDownload_.End = TCommandEnd::LocalFailure;
        lastDownload_.Reason = builtInText(msg);
        endTransfer();
        return;
    }

    TDownloadOutcome& outcome = lastDownload_;
    outcome = TDownloadOutcome();
    const bool ran = QDir().mkpath(folder);
    if (ran) {
        removeStaleTemporaries(folder);
        // A second place gets its temporary files in its own folder.
        const QString second = mode == mmPhotoManager ? host_.SecondFolder() : QString();
        if (!second.isEmpty() && QFileInfo(second).isDir()) {
            removeStaleTemporaries(second.endsWith(QLatin1Char('/')) ? second
                                                                     : second + QLatin1Char('/'));
        }
        outcome = TDownloadJob(*this, item, mode, std::move(rows), downloadSettings_).Run(folder);
    } else {
        const QString text = QStringLiteral("Cannot create the folder %1").arg(folder);
        ReportLocalFailure(text);
        outcome.End = TCommandEnd::LocalFailure;
        outcome.Reason = text;
    }
    const TCommandOutcome counts = outcome.Summary(static_cast<int>(total));
    // The user's stop is told even when a local failure ended the download
    // at the same time.
    if (outcome.End == TCommandEnd::Stopped ||
        (outcome.End == TCommandEnd::LocalFailure && ran && stopRequested_)) {
        LogMsg("idStopped", {qint64{counts.Done}});
    }

    endTransfer();
    if (ran) {
        // What became of the rows, in one line; the list's count stays last.
        LogMsg("idDownloadSummary",
               {qint64{counts.Done}, qint64{counts.Skipped}, qint64{counts.Failed}});
    }
    LogMsg("idFilesCount", {qint64{fileList_->Rows().Count()}});
    if (Interrupted()) {
        return;
    }
    if (host_.Option(TSessionOption::DeleteAfter)) {
        getPics();
    }
    if (outcome.End == TCommandEnd::Done && mode == mmPhotoManager &&
        host_.Option(TSessionOption::DownloadAll)) {
        // The end-of-download box claims success only when nothing failed.
        if (counts.Failed > 0) {
            host_.ShowMessage(
                TSessionMsg::Template("idDlIncomplete", {qint64{counts.Failed}, total}), true);
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
        if (!files.isEmpty() && !Busy()) {
            lastUpload_.End = TCommandEnd::Interrupted;
            outcomes_[static_cast<size_t>(TCommandKind::Upload)] =
                lastUpload_.Summary(static_cast<int>(files.size()));
        }
        return;
    }
    runCommand(TCommandKind::Upload, [&] {
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
        outcome_ = lastUpload_.Summary(count);
        if (lastUpload_.End == TCommandEnd::Stopped ||
            (lastUpload_.End == TCommandEnd::LocalFailure && stopRequested_)) {
            LogMsg("idStopped", {qint64(lastUpload_.Uploaded.size())});
        }
        endTransfer();
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
    runCommand(TCommandKind::Delete, [&] {
        outcome_.NotTried = static_cast<int>(rows.size());
        const std::shared_ptr<TMotoP2KModemItem> item = ChosenItem();
        if (!item) {
            return;
        }
        for (const TFileRow& row : rows) {
            const bool deleted = item->DeleteFile(row.Name);
            --outcome_.NotTried;
            (deleted ? outcome_.Done : outcome_.Failed) += 1;
            outcome_.Deleted += deleted ? 1 : 0;
        }
        connectAndList(std::nullopt);
    });
}

#include "core/DownloadJob.h"

#include <QFile>
#include <QFileInfo>
#include <filesystem>
#include <system_error>

#include "MotoP2KMode.h"
#include "core/PhoneSession.h"
#include "core/PhoneText.h"
#include "core/TransferRules.h"

TDownloadJob::TDownloadJob(TPhoneSession& Session, std::shared_ptr<TMotoP2KModemItem> Item,
                           TManagerMode Mode, std::vector<TFileRow> Rows,
                           TDownloadSettings Settings)
    : session_(Session),
      item_(std::move(Item)),
      mode_(Mode),
      rows_(std::move(Rows)),
      settings_(Settings) {}

TDownloadOutcome TDownloadJob::Run(const QString& Folder) {
    TDownloadOutcome out;
    ISessionHost& host = session_.Host();
    int step = 0;
    for (const TFileRow& row : rows_) {
        if (!session_.Pump()) {
            out.Interrupted = true;
            break;
        }
        session_.SetFileBar(++step);
        TDownloadedRow& result = out.Rows.emplace_back();
        result.Name = row.Name;
        const std::optional<QString> name =
            settings_.Mirror ? localMirrorPath(row.Name) : localFileName(row.Name);
        if (!name) {
            session_.LogMsg("idBadLocalName", {phoneToUnicode(row.Name)});
            result.Fate = TDownloadFate::BadName;
            continue;
        }
        const QString local = Folder + *name;
        result.Local = local;
        const bool overwrite = host.Option(TSessionOption::Overwrite);
        const TDownloadStep action = downloadStep(mode_, overwrite, QFileInfo::exists(local),
                                                  session_.Exclude().Contains(row.Name));
        if (action == TDownloadStep::SkipExisting) {
            session_.LogMsg("idSkipping", {local});
            result.Fate = TDownloadFate::Existing;
            continue;
        }
        if (action == TDownloadStep::SkipExcluded) {
            result.Fate = TDownloadFate::Excluded;
            continue;
        }
        if (action == TDownloadStep::AskReplace) {
            const bool yes = host.AskYesNo(TSessionMsg::Template("idReplaceQ", {local}));
            if (session_.Interrupted()) {
                out.Rows.pop_back();  // not reached: the phones changed meanwhile
                out.Interrupted = true;
                break;
            }
            if (!yes) {
                result.Fate = TDownloadFate::Existing;
                continue;
            }
        }
        if (settings_.Mirror && !makeFolders(local)) {
            out.LocalFailure = true;
            break;
        }
        if (!fetch(row, result, out)) {
            break;
        }
    }
    return out;
}

bool TDownloadJob::makeFolders(const QString& Local) {
    const QString folder = QFileInfo(Local).path();
    std::error_code error;
    std::filesystem::create_directories(QFile::encodeName(folder).toStdString(), error);
    if (error) {
        session_.ReportLocalFailure(QStringLiteral("Cannot create the folder %1: %2")
                                        .arg(folder, QString::fromStdString(error.message())));
        return false;
    }
    return true;
}

bool TDownloadJob::fetch(const TFileRow& Row, TDownloadedRow& Result, TDownloadOutcome& Out) {
    ISessionHost& host = session_.Host();
    const int32_t block = settings_.BlockSize > 0
                              ? settings_.BlockSize
                              : downloadBlockSize(mode_, host.Option(TSessionOption::Overwrite));
    bool complete = false;
    try {
        complete = item_->DownloadFile(
            Row.Name, QFile::encodeName(Result.Local).toStdString(), block, Row.Size,
            [this](int32_t Done, int32_t Total) {
                emit session_.transferBytes(Done, Total);
                session_.LogMsg("idDownloading", {Done / 1024.0, Total / 1024.0});
                return session_.Pump();
            });
    } catch (const std::system_error& e) {
        session_.ReportLocalFailure(QString::fromUtf8(e.what()));
        Out.LocalFailure = true;
        return false;
    }
    if (!complete) {
        if (session_.Interrupted()) {
            Out.Interrupted = true;
            return false;
        }
        session_.LogMsg("idDownloadFailed", {phoneToUnicode(Row.Name)});
        return true;
    }
    Result.Fate = TDownloadFate::Downloaded;
    emit session_.fileDownloaded(Row.Name, Row.Size, Result.Local);
    // Only a complete local copy known to be on the disk lets the phone's
    // copy go, and only while the phones are as the command found them.
    if (mode_ != mmPhotoManager || !host.Option(TSessionOption::DeleteAfter) ||
        session_.Interrupted()) {
        return true;
    }
    if (item_->LastDownloadDurable()) {
        Result.Deleted = item_->DeleteFile(Row.Name);
    } else {
        session_.LogMsg("idKeptOnPhone", {phoneToUnicode(Row.Name)});
    }
    return true;
}

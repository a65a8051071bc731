#include "core/DownloadJob.h"

#include <QFile>
#include <QFileInfo>
#include <system_error>

#include "MotoP2KMode.h"
#include "core/PhoneSession.h"
#include "core/PhoneText.h"
#include "core/TransferRules.h"

TDownloadJob::TDownloadJob(TPhoneSession& Session, std::shared_ptr<TMotoP2KModemItem> Item,
                           TManagerMode Mode, std::vector<TFileRow> Rows)
    : session_(Session), item_(std::move(Item)), mode_(Mode), rows_(std::move(Rows)) {}

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
        const std::optional<QString> name = localFileName(row.Name);
        if (!name) {
            session_.LogMsg("idBadLocalName", {phoneToUnicode(row.Name)});
            out.Skipped.push_back(row.Name);
            continue;
        }
        const QString local = Folder + *name;
        const bool overwrite = host.Option(TSessionOption::Overwrite);
        const TDownloadStep action = downloadStep(mode_, overwrite, QFileInfo::exists(local),
                                                  session_.Exclude().Contains(row.Name));
        if (action == TDownloadStep::SkipExisting) {
            session_.LogMsg("idSkipping", {local});
            out.Skipped.push_back(row.Name);
            continue;
        }
        if (action == TDownloadStep::SkipExcluded) {
            out.Skipped.push_back(row.Name);
            continue;
        }
        if (action == TDownloadStep::AskReplace) {
            const bool yes = host.AskYesNo(TSessionMsg::Template("idReplaceQ", {local}));
            if (session_.Interrupted()) {
                out.Interrupted = true;
                break;
            }
            if (!yes) {
                out.Skipped.push_back(row.Name);
                continue;
            }
        }
        if (!fetch(row, local, out)) {
            break;
        }
    }
    return out;
}

bool TDownloadJob::fetch(const TFileRow& Row, const QString& Local, TDownloadOutcome& Out) {
    ISessionHost& host = session_.Host();
    bool complete = false;
    try {
        complete = item_->DownloadFile(
            Row.Name, QFile::encodeName(Local).toStdString(),
            downloadBlockSize(mode_, host.Option(TSessionOption::Overwrite)), Row.Size,
            [this](int32_t Done, int32_t Total) {
                emit session_.transferBytes(Done, Total);
                session_.LogMsg("idDownloading", {Done / 1024.0, Total / 1024.0});
                return session_.Pump();
            });
    } catch (const std::system_error& e) {
        session_.ReportLocalFailure(QString::fromUtf8(e.what()));
        Out.LocalFailure = true;
        Out.Failed.push_back(Row.Name);
        return false;
    }
    if (!complete) {
        if (session_.Interrupted()) {
            Out.Interrupted = true;
            return false;
        }
        session_.LogMsg("idDownloadFailed", {phoneToUnicode(Row.Name)});
        Out.Failed.push_back(Row.Name);
        return true;
    }
    Out.Downloaded.push_back(Row.Name);
    emit session_.fileDownloaded(Row.Name, Row.Size, Local);
    // Only a complete local copy known to be on the disk lets the phone's
    // copy go, and only while the phones are as the command found them.
    if (mode_ != mmPhotoManager || !host.Option(TSessionOption::DeleteAfter) ||
        session_.Interrupted()) {
        return true;
    }
    if (item_->LastDownloadDurable()) {
        item_->DeleteFile(Row.Name);
    } else {
        session_.LogMsg("idKeptOnPhone", {phoneToUnicode(Row.Name)});
    }
    return true;
}

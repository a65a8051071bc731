#include "core/DownloadJob.h"

#include <QFile>
#include <QFileInfo>
#include <system_error>

#include "MotoP2KMode.h"
#include "core/PhoneSession.h"
#include "core/PhoneText.h"
#include "core/PictureTime.h"
#include "core/TransferRules.h"

TDownloadJob::TDownloadJob(TPhoneSession& Session, std::shared_ptr<TMotoP2KModemItem> Item,
                           TManagerMode Mode, std::vector<TFileRow> Rows)
    : session_(Session), item_(std::move(Item)), mode_(Mode), rows_(std::move(Rows)) {}

TDownloadOutcome TDownloadJob::Run(const QString& Folder) {
    TDownloadOutcome out;
    ISessionHost& host = session_.Host();
    TTransferRate& rate = session_.Rate();
    int step = 0;
    for (const TFileRow& row : rows_) {
        if (!session_.Pump()) {
            out.Interrupted = true;
            break;
        }
        if (session_.StopRequested()) {
            out.Stopped = true;
            break;
        }
        session_.SetFileBar(++step);
        rate.FileBegins(row.Size);
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
        if (knownBefore(row)) {
            session_.LogMsg("idSkippingKnown", {phoneToUnicode(row.Name)});
            out.Skipped.push_back(row.Name);
            continue;
        }
        if (action == TDownloadStep::AskReplace) {
            const bool yes = host.AskYesNo(TSessionMsg::Template("idReplaceQ", {local}));
            if (session_.Interrupted()) {
                out.Interrupted = true;
                break;
            }
            if (session_.StopRequested()) {
                out.Stopped = true;
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
    rate.FileEnds();
    // A stop at the last block of the last row still kept its picture on
    // the phone: the command was stopped, if with nothing left to fetch.
    out.Stopped = out.Stopped || (!out.Interrupted && session_.StopRequested());
    return out;
}

bool TDownloadJob::knownBefore(const TFileRow& Row) const {
    return mode_ == mmPhotoManager && session_.Host().Option(TSessionOption::SkipDownloaded) &&
           session_.History().Contains(session_.ChosenIdentity(), Row.Name, Row.Size);
}

bool TDownloadJob::fetch(const TFileRow& Row, const QString& Local, TDownloadOutcome& Out) {
    ISessionHost& host = session_.Host();
    bool complete = false;
    // Set when this file ends because the user stopped it, not because it failed.
    bool stopped = false;
    try {
        complete = item_->DownloadFile(
            Row.Name, QFile::encodeName(Local).toStdString(),
            downloadBlockSize(mode_, host.Option(TSessionOption::Overwrite)), Row.Size,
            [this, &stopped](int32_t Done, int32_t Total) {
                session_.ReportBytes(Done, Total);
                session_.LogMsg("idDownloading", {Done / 1024.0, Total / 1024.0});
                if (!session_.Pump()) {
                    return false;
                }
                stopped = session_.StopRequested();
                return !stopped;
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
        if (stopped) {
            // Its temporary file went with the download; it did not fail.
            Out.Stopped = true;
            return false;
        }
        session_.LogMsg("idDownloadFailed", {phoneToUnicode(Row.Name)});
        Out.Failed.push_back(Row.Name);
        return true;
    }
    // A stop at the last block finds the picture complete: it counts as
    // downloaded, but nothing leaves the phone once the user said stop.
    Out.Downloaded.push_back(Row.Name);
    if (mode_ == mmPhotoManager) {
        session_.RecordDownloaded(Row);
    }
    if (host.Option(TSessionOption::PictureTime)) {
        applyPictureTime(Local);
    }
    // Only a complete local copy known to be on the disk lets the phone's
    // copy go, and only while the phones are as the command found them.
    if (mode_ != mmPhotoManager || !host.Option(TSessionOption::DeleteAfter) ||
        session_.Interrupted() || session_.StopRequested()) {
        return true;
    }
    if (item_->LastDownloadDurable()) {
        item_->DeleteFile(Row.Name);
    } else {
        session_.LogMsg("idKeptOnPhone", {phoneToUnicode(Row.Name)});
    }
    return true;
}

#include "core/session/DownloadJob.h"

#include <QFile>
#include <QFileInfo>
#include <filesystem>
#include <system_error>

#include "MotoP2KMode.h"
#include "core/files/PhoneText.h"
#include "core/files/PictureTime.h"
#include "core/files/TransferRules.h"
#include "core/session/PhoneSession.h"

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
    TTransferRate& rate = session_.Rate();
    int step = 0;
    for (const TFileRow& row : rows_) {
        if (!session_.Pump()) {
            endChanged(out);
            break;
        }
        if (session_.StopRequested()) {
            out.Stopped = true;
            break;
        }
        session_.SetFileBar(++step);
        rate.FileBegins(row.Size);
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
        if (knownBefore(row)) {
            session_.LogMsg("idSkippingKnown", {phoneToUnicode(row.Name)});
            result.Fate = TDownloadFate::Known;
            continue;
        }
        if (action == TDownloadStep::AskReplace) {
            const bool yes = host.AskYesNo(TSessionMsg::Template("idReplaceQ", {local}));
            if (session_.Interrupted() || session_.StopRequested()) {
                out.Rows.pop_back();  // not reached: the phones changed or the user stopped
                if (session_.Interrupted()) {
                    endChanged(out);
                } else {
                    out.Stopped = true;
                }
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
    rate.FileEnds();
    // A stop at the last block of the last row still kept its picture on
    // the phone: the command was stopped, if with nothing left to fetch.
    out.Stopped = out.Stopped || (!out.Interrupted && !out.PhoneLost && session_.StopRequested());
    return out;
}

void TDownloadJob::endChanged(TDownloadOutcome& Out) {
    (session_.PhoneLost(item_) ? Out.PhoneLost : Out.Interrupted) = true;
}

bool TDownloadJob::knownBefore(const TFileRow& Row) const {
    return mode_ == mmPhotoManager && session_.Host().Option(TSessionOption::SkipDownloaded) &&
           session_.History().Contains(session_.ChosenIdentity(), Row.Name, Row.Size);
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
    // Set when this file ends because the user stopped it, not because it failed.
    bool stopped = false;
    try {
        complete = item_->DownloadFile(
            Row.Name, QFile::encodeName(Result.Local).toStdString(), block, Row.Size,
            [this, &stopped](int32_t Done, int32_t Total) {
                return session_.TransferBlock("idDownloading", Done, Total, stopped);
            });
    } catch (const std::system_error& e) {
        session_.ReportLocalFailure(QString::fromUtf8(e.what()));
        Out.LocalFailure = true;
        return false;
    }
    if (!complete) {
        // A phone that left fails no file: this one was not done, like the
        // rest. It is asked of the phone, so the outcome is the same whether
        // the removal event came before this point or comes later.
        if (session_.PhoneLost(item_)) {
            Out.Rows.pop_back();
            Out.PhoneLost = true;
            return false;
        }
        if (session_.Interrupted()) {
            Out.Interrupted = true;
            return false;
        }
        if (stopped) {
            // Its temporary file went with the download; it did not fail.
            Out.Rows.pop_back();
            Out.Stopped = true;
            return false;
        }
        session_.LogMsg("idDownloadFailed", {phoneToUnicode(Row.Name)});
        return true;
    }
    // A stop at the last block finds the picture complete: it counts as
    // downloaded, but nothing leaves the phone once the user said stop.
    Result.Fate = TDownloadFate::Downloaded;
    if (mode_ == mmPhotoManager) {
        session_.RecordDownloaded(Row);
    }
    if (host.Option(TSessionOption::PictureTime)) {
        applyPictureTime(Result.Local);
    }
    emit session_.fileDownloaded(Row.Name, Row.Size, Result.Local);
    // Only a complete local copy known to be on the disk lets the phone's
    // copy go, and only while the phones are as the command found them and
    // the user has not said stop.
    if (mode_ != mmPhotoManager || !host.Option(TSessionOption::DeleteAfter) ||
        session_.Interrupted() || session_.StopRequested()) {
        return true;
    }
    if (item_->LastDownloadDurable()) {
        Result.Deleted = item_->DeleteFile(Row.Name);
        if (!Result.Deleted && session_.PhoneLost(item_)) {
            Out.PhoneLost = true;  // its copy is whole; the phone went before the delete
            return false;
        }
    } else {
        session_.LogMsg("idKeptOnPhone", {phoneToUnicode(Row.Name)});
    }
    return true;
}

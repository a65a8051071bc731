#include "core/session/DownloadJob.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "MotoP2KMode.h"
#include "core/files/PhoneText.h"
#include "core/files/PictureTime.h"
#include "core/files/TransferRules.h"
#include "core/session/CommandContext.h"

TCommandOutcome TDownloadOutcome::Summary(int Total) const {
    TCommandOutcome out;
    out.Command = TCommandKind::Download;
    out.End = End;
    out.Reason = Reason;
    out.Done = Count(TDownloadFate::Downloaded);
    out.Skipped = Skipped();
    out.Failed = NotDownloaded();
    out.NotTried = std::max(Total - static_cast<int>(Rows.size()), 0);
    for (const TDownloadedRow& r : Rows) {
        out.Deleted += r.Deleted ? 1 : 0;
    }
    return out;
}

TDownloadJob::TDownloadJob(ICommandContext& Context, std::shared_ptr<TMotoP2KModemItem> Item,
                           TManagerMode Mode, std::vector<TFileRow> Rows,
                           TDownloadSettings Settings)
    : context_(Context),
      item_(std::move(Item)),
      mode_(Mode),
      rows_(std::move(Rows)),
      settings_(Settings) {}

TDownloadOutcome TDownloadJob::Run(const QString& Folder) {
    TDownloadOutcome out;
    int step = 0;
    for (const TFileRow& row : rows_) {
        if (!context_.Pump()) {
            endChanged(out);
            break;
        }
        if (context_.StopRequested()) {
            out.End = TCommandEnd::Stopped;
            break;
        }
        context_.SetFileBar(++step);
        context_.FileBegins(row.Size);
        TDownloadedRow& result = out.Rows.emplace_back();
        result.Name = row.Name;
        const std::optional<QString> name =
            settings_.Mirror ? localMirrorPath(row.Name) : localFileName(row.Name);
        if (!name) {
            context_.LogMsg("idBadLocalName", {phoneToUnicode(row.Name)});
            result.Fate = TDownloadFate::BadName;
            continue;
        }
        const QString local = Folder + *name;
        result.Local = local;
        const bool overwrite = context_.Option(TSessionOption::Overwrite);
        const TDownloadStep action =
            downloadStep(mode_, overwrite, QFileInfo::exists(local), context_.Excluded(row.Name));
        if (action == TDownloadStep::SkipExisting) {
            context_.LogMsg("idSkipping", {local});
            result.Fate = TDownloadFate::Existing;
            continue;
        }
        if (action == TDownloadStep::SkipExcluded) {
            result.Fate = TDownloadFate::Excluded;
            continue;
        }
        if (knownBefore(row)) {
            context_.LogMsg("idSkippingKnown", {phoneToUnicode(row.Name)});
            result.Fate = TDownloadFate::Known;
            continue;
        }
        if (action == TDownloadStep::AskReplace) {
            const bool yes = context_.AskYesNo(TSessionMsg::Template("idReplaceQ", {local}));
            if (context_.Interrupted() || context_.StopRequested()) {
                out.Rows.pop_back();  // not reached: the phones changed or the user stopped
                if (context_.Interrupted()) {
                    endChanged(out);
                } else {
                    out.End = TCommandEnd::Stopped;
                }
                break;
            }
            if (!yes) {
                result.Fate = TDownloadFate::Existing;
                continue;
            }
        }
        if (settings_.Mirror && !makeFolders(local, out)) {
            break;
        }
        if (!fetch(row, result, out)) {
            break;
        }
    }
    context_.FileEnds();
    // A stop at the last block of the last row still kept its picture on
    // the phone: the command was stopped, if with nothing left to fetch.
    if (out.End == TCommandEnd::Done && context_.StopRequested()) {
        out.End = TCommandEnd::Stopped;
    }
    return out;
}

void TDownloadJob::endChanged(TDownloadOutcome& Out) {
    Out.End = context_.PhoneLost(item_) ? TCommandEnd::PhoneLost : TCommandEnd::Interrupted;
}

bool TDownloadJob::knownBefore(const TFileRow& Row) const {
    return mode_ == mmPhotoManager && context_.Option(TSessionOption::SkipDownloaded) &&
           context_.DownloadedBefore(Row);
}

void TDownloadJob::localFailure(const QString& Text, TDownloadOutcome& Out) {
    context_.ReportLocalFailure(Text);
    Out.End = TCommandEnd::LocalFailure;
    Out.Reason = Text;
}

bool TDownloadJob::makeFolders(const QString& Local, TDownloadOutcome& Out) {
    const QString folder = QFileInfo(Local).path();
    std::error_code error;
    std::filesystem::create_directories(QFile::encodeName(folder).toStdString(), error);
    if (error) {
        localFailure(QStringLiteral("Cannot create the folder %1: %2")
                         .arg(folder, QString::fromStdString(error.message())),
                     Out);
        return false;
    }
    return true;
}

bool TDownloadJob::fetch(const TFileRow& Row, TDownloadedRow& Result, TDownloadOutcome& Out) {
    const int32_t block =
        settings_.BlockSize > 0
            ? settings_.BlockSize
            : downloadBlockSize(mode_, context_.Option(TSessionOption::Overwrite));
    bool complete = false;
    // Set when this file ends because the user stopped it, not because it failed.
    bool stopped = false;
    try {
        complete = item_->DownloadFile(
            Row.Name, QFile::encodeName(Result.Local).toStdString(), block, Row.Size,
            [this, &stopped](int32_t Done, int32_t Total) {
                return context_.TransferBlock("idDownloading", Done, Total, stopped);
            });
    } catch (const std::system_error& e) {
        localFailure(QString::fromUtf8(e.what()), Out);
        return false;
    }
    if (!complete) {
        // A phone that left fails no file: this one was not done, like the
        // rest. It is asked of the phone, so the outcome is the same whether
        // the removal event came before this point or comes later.
        if (context_.PhoneLost(item_)) {
            Out.Rows.pop_back();
            Out.End = TCommandEnd::PhoneLost;
            return false;
        }
        if (context_.Interrupted()) {
            Out.End = TCommandEnd::Interrupted;
            return false;
        }
        if (stopped) {
            // Its temporary file went with the download; it did not fail.
            Out.Rows.pop_back();
            Out.End = TCommandEnd::Stopped;
            return false;
        }
        context_.LogMsg("idDownloadFailed", {phoneToUnicode(Row.Name)});
        return true;
    }
    // A stop at the last block finds the picture complete: it counts as
    // downloaded, but nothing leaves the phone once the user said stop.
    Result.Fate = TDownloadFate::Downloaded;
    if (mode_ == mmPhotoManager) {
        context_.RecordDownloaded(Row);
    }
    if (context_.Option(TSessionOption::PictureTime)) {
        applyPictureTime(Result.Local);
    }
    context_.FileDownloaded(Row, Result.Local);
    // Only a complete local copy known to be on the disk lets the phone's
    // copy go, and only while the phones are as the command found them and
    // the user has not said stop.
    if (mode_ != mmPhotoManager || !context_.Option(TSessionOption::DeleteAfter) ||
        context_.Interrupted() || context_.StopRequested()) {
        return true;
    }
    if (item_->LastDownloadDurable()) {
        Result.Deleted = item_->DeleteFile(Row.Name);
        if (!Result.Deleted && context_.PhoneLost(item_)) {
            Out.End =
                TCommandEnd::PhoneLost;  // its copy is whole; the phone went before the delete
            return false;
        }
    } else {
        context_.KeptOnPhone(Row.Name);
    }
    return true;
}

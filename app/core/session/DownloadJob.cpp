#include "core/session/DownloadJob.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "MotoP2KMode.h"
#include "core/files/FolderPattern.h"
#include "core/files/PhoneText.h"
#include "core/files/PictureTime.h"
#include "core/files/SameName.h"
#include "core/files/TransferRules.h"
#include "core/session/CommandContext.h"
#include "core/session/ImportPlaces.h"

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

TDownloadJob::~TDownloadJob() = default;

TDownloadOutcome TDownloadJob::Run(const QString& Folder) {
    TDownloadOutcome out;
    folder_ = Folder;
    setUpPlaces(Folder);
    int step = 0;
    // A row's fate is known once the command goes on past it (a phone
    // lost or a stop asked for meanwhile is the command's end, not the
    // row's) or has ended: only then is it told.
    size_t told = 0;
    auto tell = [&] {
        for (; told < out.Rows.size(); ++told) {
            context_.RowDone(out.Rows[told], out);
        }
    };
    for (const TFileRow& row : rows_) {
        if (!context_.Pump()) {
            endChanged(out);
            break;
        }
        if (context_.StopRequested()) {
            out.End = TCommandEnd::Stopped;
            break;
        }
        tell();
        context_.SetFileBar(++step);
        context_.FileBegins(row.Size);
        TDownloadedRow& result = out.Rows.emplace_back();
        result.Name = row.Name;
        const bool targeted = !target_.isEmpty();
        // Folders by date choose the folders instead of the phone's.
        const bool mirror =
            settings_.Mirror && !(places_ && !places_->Settings().Pattern.isEmpty());
        const std::optional<QString> name = targeted ? std::optional<QString>(target_)
                                            : mirror ? localMirrorPath(row.Name)
                                                     : localFileName(row.Name);
        if (!name) {
            context_.LogMsg("idBadLocalName", {phoneToUnicode(row.Name)});
            result.Fate = TDownloadFate::BadName;
            continue;
        }
        // Where the picture is looked for: in its folders by date, when
        // they are known before it is fetched.
        bool known = true;
        const std::optional<QString> before =
            targeted ? name : placeBefore(row, Folder, *name, known);
        if (!before) {
            result.Fate = TDownloadFate::BadName;
            continue;
        }
        QString local = *before;
        result.Local = local;
        const bool overwrite = context_.Option(TSessionOption::Overwrite);
        const bool excluded = context_.Excluded(row.Name);
        // A file that goes where its front end chose replaces what is there.
        TDownloadStep action =
            targeted ? TDownloadStep::Fetch
                     : downloadStep(mode_, overwrite, known && QFileInfo::exists(local), excluded);
        // Keep both: a picture of a taken name is fetched, unless the one
        // there may be the same picture.
        if (action == TDownloadStep::SkipExisting && places_ && places_->Settings().KeepBoth &&
            !excluded && !sameBefore(row, local)) {
            action = TDownloadStep::Fetch;
        }
        if (action == TDownloadStep::SkipExisting) {
            context_.LogMsg("idSkipping", {local});
            result.Fate = TDownloadFate::Existing;
            result.Local = local;
            if (!fillSecond(result, out)) {
                break;
            }
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
        if (mirror && !makeFolders(local, out)) {
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
    tell();
    return out;
}

void TDownloadJob::endChanged(TDownloadOutcome& Out) {
    Out.End = context_.PhoneLost(item_) ? TCommandEnd::PhoneLost : TCommandEnd::Interrupted;
}

bool TDownloadJob::knownBefore(const TFileRow& Row) const {
    return mode_ == mmPhotoManager && context_.Option(TSessionOption::SkipDownloaded) &&
           context_.DownloadedBefore(Row);
}

void TDownloadJob::setUpPlaces(const QString& Folder) {
    // A single file fetched where its front end chose goes there alone.
    if (mode_ != mmPhotoManager || !target_.isEmpty()) {
        return;
    }
    TImportSettings s;
    s.Pattern = context_.FolderPattern();
    s.KeepBoth = context_.Option(TSessionOption::KeepBoth);
    s.Second = context_.SecondFolder();
    if (!s.Any()) {
        return;
    }
    if (!s.Second.isEmpty() && !s.Second.endsWith(QLatin1Char('/'))) {
        s.Second += QLatin1Char('/');
    }
    s.Overwrite = context_.Option(TSessionOption::Overwrite);
    s.Model = phoneToUnicode(context_.PhoneModel()).trimmed();
    s.Today = context_.DownloadDate();
    places_ = std::make_unique<TImportPlaces>(std::move(s), Folder, context_.LocalFiles());
}

std::optional<QString> TDownloadJob::placeBefore(const TFileRow& Row, const QString& Folder,
                                                 const QString& Name, bool& Known) {
    Known = true;
    if (!places_ || places_->Settings().Pattern.isEmpty()) {
        return Folder + Name;
    }
    std::optional<QDate> date;
    if (places_->Dated()) {
        // The head is read only where it decides something: an existing
        // file is looked for (not replaced), and the row is not left for
        // the exclusion list or the history anyway.
        Known = !context_.Option(TSessionOption::Overwrite) && !context_.Excluded(Row.Name) &&
                !knownBefore(Row);
        if (Known) {
            const THeadDate head = readHeadDate(*item_, Row.Name, Row.Size);
            Known = head.Read;
            date = head.Date;
        }
        if (!Known) {
            return Folder + Name;  // looked for once complete
        }
    }
    const std::optional<QString> folders = places_->FoldersFor(date);
    if (!folders) {
        context_.LogMsg("idBadDateFolder", {phoneToUnicode(Row.Name)});
        return std::nullopt;
    }
    return Folder + *folders + Name;
}

bool TDownloadJob::sameBefore(const TFileRow& Row, QString& Local) const {
    if (!context_.DownloadedBefore(Row)) {
        return false;
    }
    const QFileInfo info(Local);
    const QString dir = info.path() + QLatin1Char('/');
    for (const QString& name : numberedNames(dir, info.fileName()).Taken) {
        if (QFileInfo(dir + name).size() == Row.Size) {
            Local = dir + name;
            return true;
        }
    }
    return false;
}

bool TDownloadJob::notPlaced(const TFileRow& Row, TDownloadedRow& Result, TDownloadOutcome& Out) {
    switch (places_->Placed()) {
        case TImportPlaces::TPlaced::Same:
            // The same bytes: this phone gave that picture, wherever its
            // name came from.
            context_.RecordDownloaded(Row);
            [[fallthrough]];
        case TImportPlaces::TPlaced::Existing:
            Result.Fate = TDownloadFate::Existing;
            Result.Local = places_->Local();
            context_.LogMsg("idSkipping", {Result.Local});
            return fillSecond(Result, Out);
        case TImportPlaces::TPlaced::BadFolder:
            Result.Fate = TDownloadFate::BadName;
            context_.LogMsg("idBadDateFolder", {phoneToUnicode(Row.Name)});
            return true;
        case TImportPlaces::TPlaced::NoName:
            Result.Fate = TDownloadFate::BadName;
            context_.LogMsg("idBadLocalName", {phoneToUnicode(Row.Name)});
            return true;
        case TImportPlaces::TPlaced::Target:
        case TImportPlaces::TPlaced::Numbered:
            break;
    }
    return true;
}

bool TDownloadJob::secondCopy(const TFileRow& Row, TDownloadedRow& Result, TDownloadOutcome& Out,
                              bool& Durable, bool& Told) {
    Durable = true;
    Told = false;
    if (!places_ || places_->Settings().Second.isEmpty()) {
        return true;
    }
    try {
        switch (places_->CopyToSecond(Result.Local)) {
            case TImportPlaces::TCopied::Durable:
                Result.Second = places_->Second();
                break;
            case TImportPlaces::TCopied::NotFlushed:
                Result.Second = places_->Second();
                Durable = false;
                break;
            case TImportPlaces::TCopied::Differs:
                Durable = false;
                Told = true;
                context_.LogMsg("idSecondDiffers", {places_->Second(), phoneToUnicode(Row.Name)});
                break;
        }
    } catch (const std::system_error& e) {
        localFailure(QString::fromUtf8(e.what()), Out);
        Out.LocalError = e.code().value();
        return false;
    }
    return true;
}

bool TDownloadJob::fillSecond(TDownloadedRow& Result, TDownloadOutcome& Out) {
    if (!places_ || places_->Settings().Second.isEmpty()) {
        return true;
    }
    try {
        if (places_->FillSecond(Result.Local)) {
            Result.Second = places_->Second();
            context_.LogMsg("idAlsoCopied", {Result.Local, Result.Second});
        }
    } catch (const std::system_error& e) {
        localFailure(QString::fromUtf8(e.what()), Out);
        Out.LocalError = e.code().value();
        return false;
    }
    return true;
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
    TP2KPlaceCallback place;
    if (places_) {
        // The temporary file lies beside the picture's undated place, in
        // the save folder; its final place is chosen once all of it is there.
        const QString undated = places_->Settings().Pattern.isEmpty()
                                    ? Result.Local
                                    : folder_ + QFileInfo(Result.Local).fileName();
        place = [this, undated](const std::string& Temp) { return places_->Place(Temp, undated); };
        Result.Local = undated;
    }
    try {
        complete = item_->DownloadFile(
            Row.Name, QFile::encodeName(Result.Local).toStdString(), block, Row.Size,
            [this, &stopped](int32_t Done, int32_t Total) {
                return context_.TransferBlock("idDownloading", Done, Total, stopped);
            },
            place);
    } catch (const std::system_error& e) {
        localFailure(QString::fromUtf8(e.what()), Out);
        Out.LocalError = e.code().value();
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
    if (places_) {
        if (item_->LastDownloadPath().empty()) {
            return notPlaced(Row, Result, Out);
        }
        Result.Local = places_->Local();
        if (places_->Placed() == TImportPlaces::TPlaced::Numbered) {
            context_.LogMsg("idKeptBoth", {phoneToUnicode(Row.Name), Result.Local});
        }
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
    // Whether the second copy is on the disk, and if not, whether the Log
    // said why already.
    bool second = true;
    bool told = false;
    if (!secondCopy(Row, Result, Out, second, told)) {
        return false;
    }
    // Only a complete local copy known to be on the disk (in both places,
    // with a second one) lets the phone's copy go, and only while the phones
    // are as the command found them and the user has not said stop.
    if (mode_ != mmPhotoManager || !context_.Option(TSessionOption::DeleteAfter) ||
        context_.Interrupted() || context_.StopRequested()) {
        return true;
    }
    if (item_->LastDownloadDurable() && (!places_ || places_->FoldersDurable()) && second) {
        Result.Deleted = item_->DeleteFile(Row.Name);
        Result.Kept = Result.Deleted ? TKeptOnPhone::No : TKeptOnPhone::NotDeleted;
        // Its copy is whole; the phone went before the delete.
        if (!Result.Deleted && context_.PhoneLost(item_)) {
            Out.End = TCommandEnd::PhoneLost;
            return false;
        }
    } else if (told) {
        Result.Kept = TKeptOnPhone::SecondDiffers;
    } else {
        Result.Kept = TKeptOnPhone::NotFlushed;
        context_.KeptOnPhone(Row.Name);
    }
    return true;
}

#include "core/session/DownloadJob.h"

#include <QFile>
#include <QFileInfo>
#include <filesystem>
#include <system_error>

#include "MotoP2KMode.h"
#include "core/files/FolderPattern.h"
#include "core/files/PhoneText.h"
#include "core/files/PictureTime.h"
#include "core/files/SameName.h"
#include "core/files/TransferRules.h"
#include "core/session/ImportPlaces.h"
#include "core/session/PhoneSession.h"

TDownloadJob::TDownloadJob(TPhoneSession& Session, std::shared_ptr<TMotoP2KModemItem> Item,
                           TManagerMode Mode, std::vector<TFileRow> Rows,
                           TDownloadSettings Settings)
    : session_(Session),
      item_(std::move(Item)),
      mode_(Mode),
      rows_(std::move(Rows)),
      settings_(std::move(Settings)) {}

TDownloadJob::~TDownloadJob() = default;

TDownloadOutcome TDownloadJob::Run(const QString& Folder) {
    TDownloadOutcome out;
    ISessionHost& host = session_.Host();
    TTransferRate& rate = session_.Rate();
    folder_ = Folder;
    if (!setUpPlaces(Folder)) {
        out.LocalFailure = true;
        return out;
    }
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
        TDownloadedRow& result = out.Rows.emplace_back();
        result.Name = row.Name;
        // Folders by date choose the folders instead of the phone's.
        const bool mirror =
            settings_.Mirror && !(places_ && !places_->Settings().Pattern.isEmpty());
        const std::optional<QString> name =
            mirror ? localMirrorPath(row.Name) : localFileName(row.Name);
        if (!name) {
            session_.LogMsg("idBadLocalName", {phoneToUnicode(row.Name)});
            result.Fate = TDownloadFate::BadName;
            continue;
        }
        // Where the picture is looked for: in its folders by date, when
        // they are known before it is fetched.
        bool known = true;
        const std::optional<QString> before = placeBefore(row, Folder, *name, known);
        if (!before) {
            result.Fate = TDownloadFate::BadName;
            continue;
        }
        QString local = *before;
        result.Local = local;
        const bool overwrite = host.Option(TSessionOption::Overwrite);
        const bool excluded = session_.Exclude().Contains(row.Name);
        TDownloadStep action =
            downloadStep(mode_, overwrite, known && QFileInfo::exists(local), excluded);
        // Keep both: a picture of a taken name is fetched, unless the one
        // there may be the same picture.
        if (action == TDownloadStep::SkipExisting && places_ && places_->Settings().KeepBoth &&
            !excluded && !sameBefore(row, local)) {
            action = TDownloadStep::Fetch;
        }
        if (action == TDownloadStep::SkipExisting) {
            session_.LogMsg("idSkipping", {local});
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
            session_.LogMsg("idSkippingKnown", {phoneToUnicode(row.Name)});
            result.Fate = TDownloadFate::Known;
            continue;
        }
        if (action == TDownloadStep::AskReplace) {
            const bool yes = host.AskYesNo(TSessionMsg::Template("idReplaceQ", {local}));
            if (session_.Interrupted() || session_.StopRequested()) {
                out.Rows.pop_back();  // not reached: the phones changed or the user stopped
                (session_.Interrupted() ? out.Interrupted : out.Stopped) = true;
                break;
            }
            if (!yes) {
                result.Fate = TDownloadFate::Existing;
                continue;
            }
        }
        if (mirror && !makeFolders(local)) {
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
    out.Stopped = out.Stopped || (!out.Interrupted && session_.StopRequested());
    return out;
}

bool TDownloadJob::knownBefore(const TFileRow& Row) const {
    return mode_ == mmPhotoManager && session_.Host().Option(TSessionOption::SkipDownloaded) &&
           session_.History().Contains(session_.ChosenIdentity(), Row.Name, Row.Size);
}

bool TDownloadJob::setUpPlaces(const QString& Folder) {
    ISessionHost& host = session_.Host();
    if (mode_ != mmPhotoManager) {
        return true;
    }
    TImportSettings s;
    s.Pattern = host.FolderPattern();
    s.KeepBoth = host.Option(TSessionOption::KeepBoth);
    s.Second = host.SecondFolder();
    if (!s.Any()) {
        return true;
    }
    if (!s.Second.isEmpty() && !s.Second.endsWith(QLatin1Char('/'))) {
        s.Second += QLatin1Char('/');
    }
    if (!s.Pattern.isEmpty() && folderPatternProblem(s.Pattern)) {
        const TSessionMsg msg = TSessionMsg::Template("idBadFolderPattern", {s.Pattern});
        session_.Log(msg);
        host.ShowMessage(msg, true);
        return false;
    }
    s.Overwrite = host.Option(TSessionOption::Overwrite);
    s.Model = phoneToUnicode(session_.ChosenIdentity().Model).trimmed();
    s.Today = session_.DownloadDate();
    places_ = std::make_unique<TImportPlaces>(std::move(s), Folder, session_.LocalFiles());
    return true;
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
        Known = !session_.Host().Option(TSessionOption::Overwrite) &&
                !session_.Exclude().Contains(Row.Name) && !knownBefore(Row);
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
        session_.LogMsg("idBadDateFolder", {phoneToUnicode(Row.Name)});
        return std::nullopt;
    }
    return Folder + *folders + Name;
}

bool TDownloadJob::sameBefore(const TFileRow& Row, QString& Local) const {
    if (!session_.History().Contains(session_.ChosenIdentity(), Row.Name, Row.Size)) {
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
            session_.RecordDownloaded(Row);
            [[fallthrough]];
        case TImportPlaces::TPlaced::Existing:
            Result.Fate = TDownloadFate::Existing;
            Result.Local = places_->Local();
            session_.LogMsg("idSkipping", {Result.Local});
            return fillSecond(Result, Out);
        case TImportPlaces::TPlaced::BadFolder:
            Result.Fate = TDownloadFate::BadName;
            session_.LogMsg("idBadDateFolder", {phoneToUnicode(Row.Name)});
            return true;
        case TImportPlaces::TPlaced::NoName:
            Result.Fate = TDownloadFate::BadName;
            session_.LogMsg("idBadLocalName", {phoneToUnicode(Row.Name)});
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
                session_.LogMsg("idSecondDiffers", {places_->Second(), phoneToUnicode(Row.Name)});
                break;
        }
    } catch (const std::exception& e) {
        localFailure(e, Out);
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
            session_.LogMsg("idAlsoCopied", {Result.Local, Result.Second});
        }
    } catch (const std::exception& e) {
        localFailure(e, Out);
        return false;
    }
    return true;
}

void TDownloadJob::localFailure(const std::exception& Error, TDownloadOutcome& Out) {
    session_.ReportLocalFailure(QString::fromUtf8(Error.what()));
    Out.LocalFailure = true;
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
    TP2KPlaceCallback place;
    if (places_) {
        // The temporary file lies in the save folder; its final name is
        // chosen once all of it is there.
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
                return session_.TransferBlock("idDownloading", Done, Total, stopped);
            },
            place);
    } catch (const std::system_error& e) {
        localFailure(e, Out);
        return false;
    }
    if (!complete) {
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
    if (places_) {
        if (item_->LastDownloadPath().empty()) {
            return notPlaced(Row, Result, Out);
        }
        Result.Local = places_->Local();
        if (places_->Placed() == TImportPlaces::TPlaced::Numbered) {
            session_.LogMsg("idKeptBoth", {phoneToUnicode(Row.Name), Result.Local});
        }
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
    if (mode_ != mmPhotoManager || !host.Option(TSessionOption::DeleteAfter) ||
        session_.Interrupted() || session_.StopRequested()) {
        return true;
    }
    if (item_->LastDownloadDurable() && (!places_ || places_->FoldersDurable()) && second) {
        Result.Deleted = item_->DeleteFile(Row.Name);
        Result.Kept = Result.Deleted ? TKeptOnPhone::No : TKeptOnPhone::NotDeleted;
    } else if (told) {
        Result.Kept = TKeptOnPhone::SecondDiffers;
    } else {
        Result.Kept = TKeptOnPhone::NotFlushed;
        session_.LogMsg("idKeptOnPhone", {phoneToUnicode(Row.Name)});
    }
    return true;
}

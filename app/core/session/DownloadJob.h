#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/files/FileRows.h"
#include "core/files/ListRules.h"
#include "core/session/CommandOutcome.h"

class ICommandContext;
class TImportPlaces;
class TMotoP2KModemItem;

// How downloads write their files, for a front end that wants other rules
// than the window's. The defaults are the window's.
struct TDownloadSettings {
    // Bytes asked of the phone per read; 0 keeps the window's rule
    // (downloadBlockSize).
    int32_t BlockSize = 0;
    // Each file lands under its phone folders inside the download folder
    // (localMirrorPath) rather than directly in it.
    bool Mirror = false;
};

// What became of one row of a download.
enum class TDownloadFate {
    Downloaded,  // a complete local copy
    Existing,    // a local file of that name was kept (skipped, or not replaced)
    Excluded,    // on the exclusion list
    Known,       // downloaded from this phone before, and such pictures are skipped
    BadName,     // it has no safe local name
    Failed,      // the phone or the link failed it, or its local file could not be written
};

// Why a downloaded picture stayed on the phone although "delete after" was on.
enum class TKeptOnPhone {
    No,             // it left the phone, or was not to
    NotFlushed,     // a copy is not known to be on the disk
    SecondDiffers,  // the second folder holds a different picture of its name
    NotDeleted,     // the phone did not delete it
};

struct TDownloadedRow {
    std::string Name;  // phone name
    QString Local;     // its local file; empty for a bad name
    QString Second;    // its copy in the second folder, when one was made or found there
    TDownloadFate Fate = TDownloadFate::Failed;
    bool Deleted = false;  // taken off the phone once its copy was on the disk
    TKeptOnPhone Kept = TKeptOnPhone::No;
};

// What a download did with its rows.
struct TDownloadOutcome {
    std::vector<TDownloadedRow> Rows;  // the rows reached, in order
    // How it ended; before its end, the rest was left alone.
    TCommandEnd End = TCommandEnd::Done;
    QString Reason;      // a local failure's text
    int LocalError = 0;  // and its errno

    // The rows that met Fate.
    int Count(TDownloadFate Fate) const {
        int n = 0;
        for (const TDownloadedRow& r : Rows) {
            n += r.Fate == Fate ? 1 : 0;
        }
        return n;
    }
    // The rows that could not be downloaded: failed, or with a name that
    // cannot be a local file name.
    int NotDownloaded() const {
        return Count(TDownloadFate::Failed) + Count(TDownloadFate::BadName);
    }
    // Left on purpose: an existing file kept, an excluded row, a "No", a
    // picture downloaded before.
    int Skipped() const {
        return Count(TDownloadFate::Existing) + Count(TDownloadFate::Excluded) +
               Count(TDownloadFate::Known);
    }
    // The counts of a download of Total rows.
    TCommandOutcome Summary(int Total) const;
};

// The download loop: every row, in order, copied from the phone into
// Folder; in Photo Manager mode existing files are skipped or replaced as
// set, excluded names are left alone, pictures downloaded before are
// skipped when asked to, and with "delete after" each picture whose
// complete local copy is on the disk is deleted from the phone. A complete
// copy takes the time its picture was taken, when asked to. It reads the
// options as it reaches each row, and ends early when the phones change,
// a local file cannot be written or the user stops it.
class TDownloadJob {
  public:
    TDownloadJob(ICommandContext& Context, std::shared_ptr<TMotoP2KModemItem> Item,
                 TManagerMode Mode, std::vector<TFileRow> Rows, TDownloadSettings Settings = {});
    ~TDownloadJob();

    // Every row lands in the one local file Local, replacing it, whatever
    // its name and the download folder: a single file fetched for a front
    // end that chose where it goes.
    void SetTarget(const QString& Local) { target_ = Local; }

    // Folder ends in "/" and exists.
    TDownloadOutcome Run(const QString& Folder);

  private:
    // Downloads one row; false when the command must end.
    bool fetch(const TFileRow& Row, TDownloadedRow& Result, TDownloadOutcome& Out);
    // Makes the folders of a mirrored file; false (reported) when it cannot.
    bool makeFolders(const QString& Local, TDownloadOutcome& Out);
    // A local file or folder that could not be written ends the download.
    void localFailure(const QString& Text, TDownloadOutcome& Out);
    // Whether the row is to be left for its place in the download history.
    bool knownBefore(const TFileRow& Row) const;
    // The places of the download's pictures, when one of the importer
    // settings is on in Photo Manager mode. A pattern that cannot be used
    // (the session refuses it first) places no picture.
    void setUpPlaces(const QString& Folder);
    // Where the row's picture is looked for before the download; nothing
    // (reported) when its folders cannot be made. Known says whether that
    // is where it will go, or its date is only known once it is complete.
    std::optional<QString> placeBefore(const TFileRow& Row, const QString& Folder,
                                       const QString& Name, bool& Known);
    // With "keep both", whether a picture already there may be the row's:
    // a file of its numbered names with its size that the history says this
    // phone gave. Sets Local to that file.
    bool sameBefore(const TFileRow& Row, QString& Local) const;
    // What became of a complete download that was not placed; false when
    // the command must end.
    bool notPlaced(const TFileRow& Row, TDownloadedRow& Result, TDownloadOutcome& Out);
    // The second copy of a complete picture; false when the command must
    // end. Durable says whether it is known to be on the disk there, Told
    // whether the Log said why not.
    bool secondCopy(const TFileRow& Row, TDownloadedRow& Result, TDownloadOutcome& Out,
                    bool& Durable, bool& Told);
    // A picture kept in the first place is copied into the second place
    // when that lacks it; false when the command must end.
    bool fillSecond(TDownloadedRow& Result, TDownloadOutcome& Out);

    ICommandContext& context_;
    std::shared_ptr<TMotoP2KModemItem> item_;
    TManagerMode mode_;
    std::vector<TFileRow> rows_;
    TDownloadSettings settings_;
    std::unique_ptr<TImportPlaces> places_;
    QString folder_;  // the download folder, ending in "/"
    QString target_;
};

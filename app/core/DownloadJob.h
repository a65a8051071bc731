#pragma once

#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "core/FileRows.h"
#include "core/ListRules.h"

class TMotoP2KModemItem;
class TPhoneSession;

// What a download did with its rows, by phone name.
struct TDownloadOutcome {
    std::vector<std::string> Downloaded;  // complete local copies
    std::vector<std::string> Skipped;     // existing, excluded, declined, known or unsafe names
    std::vector<std::string> Failed;      // the phone or the link failed them
    bool Interrupted = false;             // the phones changed: the rest was left alone
    bool LocalFailure = false;            // a local file could not be written: the rest was left
    bool Stopped = false;                 // the user stopped it: the rest was left alone
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
    TDownloadJob(TPhoneSession& Session, std::shared_ptr<TMotoP2KModemItem> Item, TManagerMode Mode,
                 std::vector<TFileRow> Rows);

    // Folder ends in "/" and exists.
    TDownloadOutcome Run(const QString& Folder);

  private:
    // Downloads one row; false when the command must end.
    bool fetch(const TFileRow& Row, const QString& Local, TDownloadOutcome& Out);
    // Whether the row is to be left for its place in the download history.
    bool knownBefore(const TFileRow& Row) const;

    TPhoneSession& session_;
    std::shared_ptr<TMotoP2KModemItem> item_;
    TManagerMode mode_;
    std::vector<TFileRow> rows_;
};

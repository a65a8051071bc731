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
    std::vector<std::string> Skipped;     // existing, excluded or declined: left on purpose
    std::vector<std::string> Unsafe;      // names that cannot be local file names
    std::vector<std::string> Failed;      // the phone, the link or the disk failed them
    bool Interrupted = false;             // the phones changed: the rest was left alone
    bool LocalFailure = false;            // a local file could not be written: the rest was left

    // The rows that could not be downloaded: failed, or with an unsafe name.
    int NotDownloaded() const { return static_cast<int>(Unsafe.size() + Failed.size()); }
};

// The download loop: every row, in order, copied from the phone into
// Folder; in Photo Manager mode existing files are skipped or replaced as
// set, excluded names are left alone, and with "delete after" each picture
// whose complete local copy is on the disk is deleted from the phone. It
// reads the options as it reaches each row, and ends early when the phones
// change or a local file cannot be written.
class TDownloadJob {
  public:
    TDownloadJob(TPhoneSession& Session, std::shared_ptr<TMotoP2KModemItem> Item, TManagerMode Mode,
                 std::vector<TFileRow> Rows);

    // Folder ends in "/" and exists.
    TDownloadOutcome Run(const QString& Folder);

  private:
    // Downloads one row; false when the command must end.
    bool fetch(const TFileRow& Row, const QString& Local, TDownloadOutcome& Out);

    TPhoneSession& session_;
    std::shared_ptr<TMotoP2KModemItem> item_;
    TManagerMode mode_;
    std::vector<TFileRow> rows_;
};

#pragma once

#include <QStringList>
#include <memory>
#include <string>

#include "core/session/CommandOutcome.h"

class ICommandContext;
class TMotoP2KModemItem;

// What an upload did with its files, by local path.
struct TUploadOutcome {
    QStringList Uploaded;
    QStringList Failed;  // refused names, failed transfers
    // How it ended; before its end, the rest was left alone.
    TCommandEnd End = TCommandEnd::Done;
    QString Reason;      // a local failure's text
    int LocalError = 0;  // and its errno

    // The counts of an upload of Total files.
    TCommandOutcome Summary(int Total) const;
};

// The upload loop: every local file, in order, written to the phone in
// Folder (phone bytes, ending in "/"), under its own name in the phone's
// code page; a name the code page cannot hold is refused. A file whose
// upload the user stopped is deleted from the phone again, so that no
// partial file stands there under the name of a whole one.
class TUploadJob {
  public:
    TUploadJob(ICommandContext& Context, std::shared_ptr<TMotoP2KModemItem> Item,
               std::string Folder, QStringList Files);

    // The file bar counts on from where it stands.
    TUploadOutcome Run();

  private:
    ICommandContext& context_;
    std::shared_ptr<TMotoP2KModemItem> item_;
    std::string folder_;
    QStringList files_;
};

#pragma once

#include <QStringList>
#include <memory>
#include <string>

class TMotoP2KModemItem;
class TPhoneSession;

// What an upload did with its files, by local path.
struct TUploadOutcome {
    QStringList Uploaded;
    QStringList Failed;  // refused names, failed transfers
    bool Interrupted = false;
    bool LocalFailure = false;
    int LocalError = 0;    // the errno of the local failure, when there was one
    bool Stopped = false;  // the user stopped it: the rest was left alone
};

// The upload loop: every local file, in order, written to the phone in
// Folder (phone bytes, ending in "/"), under its own name in the phone's
// code page; a name the code page cannot hold is refused. A file whose
// upload the user stopped is deleted from the phone again, so that no
// partial file stands there under the name of a whole one.
class TUploadJob {
  public:
    TUploadJob(TPhoneSession& Session, std::shared_ptr<TMotoP2KModemItem> Item, std::string Folder,
               QStringList Files);

    // The file bar counts on from where it stands.
    TUploadOutcome Run();

  private:
    TPhoneSession& session_;
    std::shared_ptr<TMotoP2KModemItem> item_;
    std::string folder_;
    QStringList files_;
};

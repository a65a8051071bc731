#pragma once

#include <QStringList>
#include <memory>
#include <optional>
#include <string>

#include "core/session/CommandOutcome.h"

class ICommandContext;
class TMotoP2KModemItem;

// What an upload did with its files, by local path.
struct TUploadOutcome {
    QStringList Uploaded;
    QStringList Failed;  // refused names, failed transfers
    // Of the failed: those the phone did not store whole (what it kept of
    // them was deleted), and those too large for the phone's free space.
    QStringList NotStored;
    QStringList NoRoom;
    // Of the not stored: those whose open the phone refused (nothing was
    // written, what stood under the name stays), and those a block of which
    // it refused (its drive filled up).
    QStringList Refused;
    QStringList DriveFull;
    // How it ended; before its end, the rest was left alone. When the phone
    // was lost, the file in transfer is not among the failed: it counts as
    // not tried, like the rest.
    TCommandEnd End = TCommandEnd::Done;
    QString Reason;      // a local failure's text
    int LocalError = 0;  // and its errno

    // The counts of an upload of Total files.
    TCommandOutcome Summary(int Total) const;
};

// The upload loop: every local file, in order, written to the phone in
// Folder (phone bytes, ending in "/"), under its own name in the phone's
// code page; a name the code page cannot hold is refused, and so is a file
// larger than the free space known of its drive. A file is uploaded only
// once the phone lists it at its full size. One the phone did not store
// whole (it refused a block, an exchange failed, or it lists the file short),
// or whose upload the user stopped or a change of the phones cut off, is
// deleted from the phone again, so that no partial file stands there under
// the name of a whole one. This is the one place that does so.
class TUploadJob {
  public:
    TUploadJob(ICommandContext& Context, std::shared_ptr<TMotoP2KModemItem> Item,
               std::string Folder, QStringList Files);

    // The bytes the upload of a file replaces on the phone, when its front
    // end knows them better than the list does (a single file by name).
    void SetReplaces(int64_t Bytes) { replaces_ = Bytes; }

    // The file bar counts on from where it stands.
    TUploadOutcome Run();

  private:
    // What became of a file that went to the phone.
    enum class TStored { Whole, NotStored, Unknown, Lost };
    // Whether the phone holds all Size bytes of PhoneName; Sent says whether
    // every block went. What the phone kept of a file not stored whole goes.
    TStored check(const std::string& PhoneName, int64_t Size, bool Sent);
    // Whether a file of Size bytes fits the free space known of its drive;
    // Free receives that space. True when nothing is known.
    bool fits(const std::string& PhoneName, int64_t Size, int64_t& Free) const;

    ICommandContext& context_;
    std::shared_ptr<TMotoP2KModemItem> item_;
    std::string folder_;
    QStringList files_;
    std::optional<int64_t> replaces_;
};

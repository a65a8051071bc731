#pragma once

#include <QObject>
#include <memory>
#include <optional>

#include "mount/MountPhone.h"

class IClock;
class TMotoP2KModemItem;
class TPhoneSession;

// The mounted folder's phone: the phone session, on the phone it has chosen
// when made. Every operation is the session's own (its jobs, its command
// guard, its rules); this only keeps the session on that phone. A change of
// the other phones that makes the session drop its choice, or cuts a
// command short, is followed by choosing this phone again (and the command
// is run once more); this phone's own removal makes it lost.
class TSessionPhone final : public QObject, public IMountPhone {
    Q_OBJECT
  public:
    // Session lists in File Manager mode; its rows are the listing of its
    // chosen drive (whole or not, as Whole says), taken as that drive's
    // first listing.
    TSessionPhone(TPhoneSession& Session, IClock& Clock, bool Whole);

    std::vector<std::string> Drives() const override { return drives_; }
    TDriveListing List(int Drive) override;
    TFileOutcome Fetch(const std::string& PhonePath, int32_t Size, const QString& Local) override;
    TFileOutcome Put(const QString& Local, const std::string& Folder, int64_t Replaces) override;
    TFileOutcome Delete(const std::string& PhonePath) override;
    bool RoomFor(const std::string& Folder, int64_t Bytes, int64_t Replaces) const override;
    int64_t FreeSpace() const override;
    uint32_t NowMs() override;
    void Stop() override;
    // Lets go of the session, which may go now: from here on the phone is
    // lost to the mount and nothing reaches the session.
    void Detach();

  private:
    // Brings the session back to this phone when it let go of it; false
    // when the phone is gone.
    bool ready();
    // Runs Operation on this phone, once more when the phones changed under it.
    template <class TOperation>
    TFileOutcome run(TOperation Operation);
    void checkPresent();

    TPhoneSession& session_;
    IClock& clock_;
    std::shared_ptr<TMotoP2KModemItem> item_;
    std::vector<std::string> drives_;
    std::optional<std::pair<int, TDriveListing>> first_;
    bool stopping_ = false;
    bool lost_ = false;
};

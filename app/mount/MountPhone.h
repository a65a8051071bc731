#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "core/session/FileOutcome.h"

// The files of one drive as the phone listed them.
struct TDriveListing {
    TFileResult Result = TFileResult::Done;
    bool Whole = true;                                   // every file the phone counted arrived
    std::vector<std::pair<std::string, int64_t>> Files;  // phone path, size
};

// What the mounted folder needs of its phone: the phone session's own
// operations, one at a time, on the one phone the mount claimed. A call
// made while another runs is a mistake of the caller (Busy).
class IMountPhone {
  public:
    virtual ~IMountPhone() = default;

    // The drives of the phone (phone bytes such as "/a"), as found at mount.
    virtual std::vector<std::string> Drives() const = 0;
    virtual TDriveListing List(int Drive) = 0;
    virtual TFileOutcome Fetch(const std::string& PhonePath, int32_t Size,
                               const QString& Local) = 0;
    virtual TFileOutcome Put(const QString& Local, const std::string& Folder, int64_t Replaces) = 0;
    virtual TFileOutcome Delete(const std::string& PhonePath) = 0;
    virtual bool RoomFor(const std::string& Folder, int64_t Bytes, int64_t Replaces) const = 0;
    // The free bytes of drive "/a/" as last read; -1 when not known.
    virtual int64_t FreeSpace() const = 0;
    // Milliseconds of the phone's clock (it wraps).
    virtual uint32_t NowMs() = 0;
    // Ends the running phone command at its next pause.
    virtual void Stop() = 0;

    // Told once the phone is found gone between calls (unplugged while idle).
    std::function<void()> OnLost;
};

#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "backend/DeviceSource.h"
#include "backend/TraceFormat.h"
#include "sim/VirtualDeviceSource.h"
#include "sim/VirtualModem.h"
#include "sim/VirtualPhone.h"

// A phone played back from a wire trace: it answers each exchange of the
// command channel with what the traced phone answered, in the traced order,
// and checks that every request is the one the trace holds.
//
// The first request that differs ends the replay: Failure() then says which
// exchange, the bytes the trace holds and the bytes received, and every later
// exchange stalls, as with a phone that left the bus. File data that the trace
// holds only as a length and SHA-256 is answered with filler of that length
// (the text "[snaprill replay: data recorded as a hash] " repeated), and file
// data written is checked against the recorded digest. Status polls that found
// the phone not ready are answered as often as the program asks, since how
// often it asks within its time-out depends on the clock.
class TTraceReplay final : public IVirtualP2KDevice {
  public:
    // The replay of a trace's text; nullptr, with the reason in Error, when
    // the text is not a trace or shows no phone.
    static std::shared_ptr<TTraceReplay> FromText(std::string_view Text, std::string Name,
                                                  std::string& Error);

    const std::string& Name() const { return name_; }
    // The traced command interface and modem port (DevInst 0 when the trace
    // shows none) and whether the phone first came as a modem.
    const TDeviseInterface& P2KDevice() const { return p2k_; }
    const TDeviseInterface& ModemDevice() const { return modem_; }
    bool StartsAsModem() const { return startsAsModem_; }

    bool ControlOut(const uint8_t* Setup, const uint8_t* Data, size_t Length) override;
    int ControlIn(const uint8_t* Setup, uint8_t* Out, size_t Capacity) override;

    // Checks the AT lines a modem received (without their CR LF) against the
    // trace's; a line that differs ends the replay. True when they agree.
    bool CheckModemLines(const std::vector<std::string>& Received);

    // The diff that ended the replay; empty while it follows the trace.
    std::string Failure() const;
    // Called once, with the diff, when the replay ends on one.
    void SetOnFailure(std::function<void(const std::string&)> Handler);
    // Exchanges of the trace (requests and AT lines) not yet replayed.
    size_t Remaining() const;

  private:
    struct TStep {
        enum TKind { Request, Status, Reply } Kind = Request;
        uint64_t Exchange = 0;
        std::vector<uint8_t> Setup;
        // A request: its data stage as far as kept. A read: its answer.
        std::vector<uint8_t> Bytes;
        // File data held as a digest: its length and SHA-256, after Bytes.
        bool Hashed = false;
        size_t HashedLength = 0;
        std::string Sha256;
        bool Ok = true;
        uint64_t Repeat = 1;
        // A status poll that found the phone not ready.
        bool NotReady = false;
    };
    explicit TTraceReplay(std::string Name) : name_(std::move(Name)) {}
    bool load(const std::vector<TTraceEvent>& Events, std::string& Error);
    bool fail(const std::string& Diff);
    // Skips the not-ready polls left before a step of Kind.
    void skipNotReady();

    std::string name_;
    TDeviseInterface p2k_;
    TDeviseInterface modem_;
    bool startsAsModem_ = false;
    std::vector<TStep> steps_;
    // AT lines as the trace holds them, with the exchange they were.
    std::vector<std::pair<uint64_t, std::string>> modemLines_;

    mutable std::mutex mutex_;
    size_t next_ = 0;
    uint64_t repeatsLeft_ = 0;
    const TStep* lastStatus_ = nullptr;
    size_t modemLinesChecked_ = 0;
    std::string failure_;
    std::function<void(const std::string&)> onFailure_;
};

// A replayed phone plugged into a virtual device source under Name: as its
// traced modem first when the trace began in modem mode (a real
// pseudo-terminal, switched by the traced AT line), else as its traced
// command interface. Destroying it unplugs it.
class TReplayPhoneRig {
  public:
    TReplayPhoneRig(TVirtualDeviceSource& Devices, std::string Name,
                    std::shared_ptr<TTraceReplay> Replay);
    ~TReplayPhoneRig();
    TReplayPhoneRig(const TReplayPhoneRig&) = delete;
    TReplayPhoneRig& operator=(const TReplayPhoneRig&) = delete;

    bool IsValid() const { return valid_; }
    const std::shared_ptr<TTraceReplay>& Replay() const { return replay_; }

  private:
    void switchToP2K();
    bool plugP2K();

    TVirtualDeviceSource& devices_;
    std::string name_;
    std::shared_ptr<TTraceReplay> replay_;
    bool valid_ = false;
    std::atomic<bool> inP2K_{false};
    std::unique_ptr<TVirtualModem> modem_;  // last: its thread stops before the rest goes
};

#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/VirtualDeviceSource.h"
#include "sim/VirtualPhone.h"

// The modem side of a virtual phone: a pseudo-terminal pair whose slave end
// stands for the phone's /dev/ttyACM node and is opened by path like a real
// port. A reader thread on the master end collects the lines the host writes
// (each ended by CR LF) and keeps them for inspection.
//
// "AT+Mode=8" makes the phone leave modem mode: the switch handler runs on the
// reader thread (a rig uses it to unplug the modem and plug the phone in P2K
// mode after a short re-attach), then the modem hangs up its end, as a phone
// that dropped off the bus would. "AT+Mode=22" and "AT+Mode=24" are accepted
// and logged and change nothing. The terminal stays in its default mode, so
// a host that does not switch output processing off is caught: its LF
// arrives as CR LF and the line ends in a stray CR.
class TVirtualModem {
  public:
    using TSwitchHandler = std::function<void()>;

    TVirtualModem();
    ~TVirtualModem();
    TVirtualModem(const TVirtualModem&) = delete;
    TVirtualModem& operator=(const TVirtualModem&) = delete;

    // False when the pseudo-terminal could not be created.
    bool IsValid() const { return !slavePath_.empty(); }
    // The node a host opens as the modem port.
    const std::string& SlavePath() const { return slavePath_; }

    // Called on the reader thread when "AT+Mode=8" arrives.
    void SetOnSwitchToP2K(TSwitchHandler Handler);

    // Every complete line received, without its CR LF, in order.
    std::vector<std::string> Lines() const;
    // Every byte received, exactly as it arrived.
    std::vector<uint8_t> Received() const;
    // Wait at most TimeoutMs until at least Count bytes (lines) have arrived;
    // false when they did not.
    bool WaitForBytes(size_t Count, int TimeoutMs) const;
    bool WaitForLines(size_t Count, int TimeoutMs) const;
    // True once the modem hung up (after "AT+Mode=8" or Hangup()).
    bool HungUp() const;

    // Stop or resume reading: a host that keeps writing while the modem does
    // not read fills the terminal's buffer and its writes stall.
    void SetReading(bool Reading);
    // The far end goes away: the master end is closed and the host's port is
    // hung up. Safe to call more than once.
    void Hangup();

  private:
    void readerLoop();
    // Logs the bytes and lines; true when the phone switched to P2K mode.
    bool takeBytes(const uint8_t* Data, size_t Count);
    void closeEnds();
    void wake();

    int master_ = -1;
    int slaveHold_ = -1;  // keeps the slave side open between host opens
    int wakeFd_ = -1;
    std::string slavePath_;
    std::thread reader_;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    bool stop_ = false;
    bool reading_ = true;
    bool hungUp_ = false;
    std::string pending_;
    std::vector<uint8_t> received_;
    std::vector<std::string> lines_;
    TSwitchHandler onSwitch_;
};

// A virtual phone that starts in modem mode: its modem is plugged into the
// device source at once; "AT+Mode=8" unplugs the modem and, after the
// re-attach delay, plugs the phone in P2K mode under the same name. Both go
// through the source's change notifications, like a real phone's. The
// source must outlive the rig; destroying the rig unplugs whichever side is
// plugged.
class TVirtualModemPhone {
  public:
    TVirtualModemPhone(TVirtualDeviceSource& Devices, std::string Name,
                       std::shared_ptr<TVirtualPhone> Phone,
                       std::chrono::milliseconds ReattachDelay = std::chrono::milliseconds(20));
    ~TVirtualModemPhone();
    TVirtualModemPhone(const TVirtualModemPhone&) = delete;
    TVirtualModemPhone& operator=(const TVirtualModemPhone&) = delete;

    // False when the modem could not be created or plugged.
    bool IsValid() const { return valid_; }
    const std::string& Name() const { return name_; }
    TVirtualModem& Modem() { return modem_; }
    const std::shared_ptr<TVirtualPhone>& Phone() const { return phone_; }
    // True once the phone has re-attached in P2K mode.
    bool InP2KMode() const { return inP2K_; }

  private:
    void switchToP2K();

    TVirtualDeviceSource& devices_;
    std::string name_;
    std::shared_ptr<TVirtualPhone> phone_;
    std::chrono::milliseconds reattachDelay_;
    bool valid_ = false;
    std::atomic<bool> inP2K_{false};
    TVirtualModem modem_;  // last: its reader thread stops before the rest goes
};

// Starts a phone in modem mode for the virtual phone folder: a modem-phone
// rig under Name, kept alive by the returned handle (dropping it unplugs the
// phone); nullptr when the modem could not start.
std::shared_ptr<void> StartVirtualModemPhone(const std::string& Name,
                                             std::shared_ptr<TVirtualPhone> Phone,
                                             TVirtualDeviceSource& Devices);

#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>

#include "backend/P2KChannel.h"
#include "sim/VirtualDeviceSource.h"

// Opens the virtual phones of a TVirtualDeviceSource by their device path
// ("virtual:p2k/<name>"). A channel hands the setup packet and data of every
// exchange to its phone; once the phone is unplugged (even if a phone of the
// same name comes back) every exchange of that channel fails.
class TVirtualP2KTransport final : public IP2KTransport {
  public:
    enum class TExchange { Write, Read };
    // Runs before every exchange of every channel, with the device path and
    // the count of exchanges so far on all channels: a test can unplug a
    // phone in the middle of a transaction.
    using TExchangeHook =
        std::function<void(TExchange Kind, const std::string& DevicePath, uint64_t Index)>;

    explicit TVirtualP2KTransport(TVirtualDeviceSource& Devices) : devices_(Devices) {}

    std::unique_ptr<IP2KChannel> Open(const std::string& DevicePath) override;

    // How an open claims its phone against other programs, as a real
    // phone's interface is claimed: the handle holds the claim while the
    // channel is open; nullptr, with Held true, when another program holds
    // it. Without a claimer nothing is claimed.
    using TClaimer =
        std::function<std::shared_ptr<void>(const std::string& DevicePath, bool& Held)>;
    void SetClaimer(TClaimer Claimer) { claimer_ = std::move(Claimer); }

    // The phone at DevicePath counts as held by another program, as a real
    // phone whose interface another program claimed: it cannot be opened.
    void SetHeldElsewhere(const std::string& DevicePath, bool Held);
    bool HeldElsewhere(const std::string& DevicePath) const override;

    void SetExchangeHook(TExchangeHook Hook) { hook_ = std::move(Hook); }
    uint64_t Exchanges() const { return exchanges_; }
    // Open channels (not yet closed or destroyed).
    int OpenChannels() const { return openChannels_; }

  private:
    friend class TVirtualP2KChannel;
    TVirtualDeviceSource& devices_;
    TExchangeHook hook_;
    uint64_t exchanges_ = 0;
    int openChannels_ = 0;
    std::set<std::string> held_;
    TClaimer claimer_;
    std::set<std::string> claimedElsewhere_;  // the last open found it claimed
};

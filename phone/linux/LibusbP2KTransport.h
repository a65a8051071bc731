#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>

#include "backend/P2KChannel.h"

struct libusb_context;

// Bus number and device address of the USB device an interface belongs to,
// from the busnum and devnum files of its parent sysfs folder. False when
// the interface is gone or the files do not hold numbers.
bool ReadUsbBusAddress(const std::string& InterfaceSysPath, uint8_t& Bus, uint8_t& Address);

// Opens P2K interfaces by their sysfs path with libusb-1.0: the device is
// opened by bus and address, interface 8 is claimed when it is free (vendor
// requests to an interface pass without the claim on Linux, so a claim that
// fails is not an error) and the configuration is never set. An interface
// that another program claimed is not opened (see TClaimOutcome).
class TLibusbP2KTransport final : public IP2KTransport {
  public:
    TLibusbP2KTransport();
    ~TLibusbP2KTransport() override;
    TLibusbP2KTransport(const TLibusbP2KTransport&) = delete;
    TLibusbP2KTransport& operator=(const TLibusbP2KTransport&) = delete;

    // nullptr when libusb could not start, the interface is gone, or the
    // device cannot be opened (for example for lack of permission).
    std::unique_ptr<IP2KChannel> Open(const std::string& DevicePath) override;
    bool HeldElsewhere(const std::string& DevicePath) const override;

  private:
    // Shared with every channel, so an open channel keeps libusb running.
    std::shared_ptr<libusb_context> context_;
    // Interfaces whose last open found them claimed by another program.
    std::set<std::string> held_;
};

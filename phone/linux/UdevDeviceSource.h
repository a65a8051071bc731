#pragma once

#include <memory>
#include <string>
#include <vector>

#include "backend/DeviceSource.h"
#include "linux/DeviceChangeSinks.h"

struct udev;
struct udev_monitor;

// The device source of a real Linux system, over libudev.
//
// P2KInterfaceGuid lists interface 8 (vendor class ff) of every vendor 22b8
// USB device; UsbDeviceInterfaceGuid lists the cdc_acm ports (/dev/ttyACM*)
// of vendor 22b8 devices. A udev monitor ("udev" events of the usb and tty
// subsystems) tells of arrivals and removals: P2K interface events reach
// the P2K class's sinks; tty events and every USB device's events reach the
// USB device class's sinks, since any arrival may be a phone in modem mode.
//
// Where udev is absent (a container) the lists are empty, EventFd() is -1
// and no events come.
class TUdevDeviceSource final : public IDeviceSource {
  public:
    TUdevDeviceSource();
    ~TUdevDeviceSource() override;
    TUdevDeviceSource(const TUdevDeviceSource&) = delete;
    TUdevDeviceSource& operator=(const TUdevDeviceSource&) = delete;

    std::vector<TDeviseInterface> Enumerate(const std::string& InterfaceGuid) override;
    // False for an unknown class, or when there is no monitor to hear events.
    bool RegisterNotify(const std::string& InterfaceGuid, IDeviceChangeSink* Sink) override;
    void UnregisterNotify(IDeviceChangeSink* Sink) override;
    int EventFd() const override;
    void DispatchPending() override;

  private:
    udev* udev_ = nullptr;
    udev_monitor* monitor_ = nullptr;
    TDeviceChangeSinks sinks_;
};

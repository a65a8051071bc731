#pragma once

#include "backend/Backend.h"
#include "linux/LibusbP2KTransport.h"
#include "linux/TermiosSerialPort.h"
#include "linux/UdevDeviceSource.h"

// The real Linux layers owned together, and the TPhoneBackend that refers to
// them: udev for discovery and hotplug, libusb for the P2K channel, termios
// for the modem port, the steady clock. The program watches
// Devices().EventFd() and calls Devices().DispatchPending() when it is
// readable.
class TLinuxBackend {
  public:
    TLinuxBackend() = default;
    TLinuxBackend(const TLinuxBackend&) = delete;
    TLinuxBackend& operator=(const TLinuxBackend&) = delete;

    TPhoneBackend& Backend() { return backend_; }
    TUdevDeviceSource& Devices() { return devices_; }

  private:
    TUdevDeviceSource devices_;
    TLibusbP2KTransport transport_;
    TTermiosSerialPorts ports_;
    TSteadyClock clock_;
    TPhoneBackend backend_{devices_, transport_, ports_, clock_};
};

#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "backend/P2KChannel.h"

// usbfs on Linux refuses a control transfer whose data stage is longer than
// 4096 bytes (one page), so libusb cannot carry one. A response fetch for a
// reply of more than 4078 data bytes (18 header bytes + data > 4096) fails
// as a whole instead of arriving cut short; the program's own block sizes
// (4000-byte reads, 1000-byte writes) stay below it.
inline constexpr size_t LinuxControlTransferLimit = 4096;

// The fields of an 8-byte USB setup packet (16-bit fields little-endian).
struct TSetupFields {
    uint8_t RequestType = 0;
    uint8_t Request = 0;
    uint16_t Value = 0;
    uint16_t Index = 0;
    uint16_t Length = 0;
};

TSetupFields DecodeSetup(const uint8_t* Setup);

// The one place where a libusb result becomes an exchange result: a count of
// bytes is a completed exchange, a time-out is TimedOut, every error Failed.
TExchangeResult MapLibusbResult(int Result);

// What the claim of the P2K interface at an open means. Claimed: ours until
// closed. Unclaimed: the claim failed for a reason that leaves the phone
// usable (a kernel driver holds the interface, or the system cannot claim):
// vendor requests reach the interface without it on Linux. HeldElsewhere:
// another program claimed it (the kernel names usbfs as its driver), so the
// phone must not be talked to: the two programs' commands would mix on its
// one command channel and each could take the other's replies.
enum class TClaimOutcome { Claimed, Unclaimed, HeldElsewhere };
// From libusb_claim_interface's result and, when that is LIBUSB_ERROR_BUSY,
// libusb_kernel_driver_active's (1 for a kernel driver, 0 for none or usbfs).
TClaimOutcome ClassifyClaim(int ClaimResult, int KernelDriverActive);

// One control transfer on the default pipe, libusb-style: the bytes moved,
// or a negative libusb error code.
class IUsbControlPipe {
  public:
    virtual ~IUsbControlPipe() = default;
    virtual int Transfer(const TSetupFields& Setup, uint8_t* Data, uint16_t Length,
                         unsigned TimeoutMs) = 0;
    virtual bool Close() = 0;
    // Whether the device is still attached, from the system's view of it.
    virtual bool Present() const = 0;
};

// The P2K channel over a control pipe: takes the setup fields from the first
// 8 bytes of each buffer and moves exactly the data stage they announce.
class TUsbControlChannel final : public IP2KChannel {
  public:
    explicit TUsbControlChannel(std::unique_ptr<IUsbControlPipe> Pipe);
    ~TUsbControlChannel() override;

    TExchangeResult ControlWrite(const uint8_t* Packet, size_t Length) override;
    TExchangeResult ControlRead(const uint8_t* Setup, uint8_t* Out, size_t OutSize) override;
    bool Close() override;
    bool Present() const override;

  private:
    std::unique_ptr<IUsbControlPipe> pipe_;
    std::vector<uint8_t> buffer_;
};

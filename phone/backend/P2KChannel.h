#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// How one exchange with the phone's driver ended.
enum class TExchangeResult {
    Ok,        // completed
    Failed,    // the exchange failed (stall, device gone, I/O error)
    TimedOut,  // no completion within the exchange wait
};

// Each single exchange waits at most this long for its completion.
inline constexpr uint32_t P2KExchangeTimeoutMs = 5000;

// The command channel to one opened P2K interface: the two vendor control
// exchanges on interface 8. The first 8 bytes of each buffer are a USB setup
// packet (little-endian fields); the channel sends them as such.
class IP2KChannel {
  public:
    virtual ~IP2KChannel() = default;
    // Host to device: Packet holds the 8-byte setup followed by its data
    // (the P2K header and payload); Length counts all of it.
    virtual TExchangeResult ControlWrite(const uint8_t* Packet, size_t Length) = 0;
    // Device to host: Setup is the 9-byte read setup; the reply lands in Out,
    // which holds OutSize bytes. Never writes past Out + OutSize.
    virtual TExchangeResult ControlRead(const uint8_t* Setup, uint8_t* Out, size_t OutSize) = 0;
    // Releases the channel; false when the close failed.
    virtual bool Close() = 0;
    // Whether the device behind the channel is still attached, answered at
    // once from what the system knows, without an exchange. A failed
    // exchange asks it before blaming the phone or its file: a pulled cable
    // is then told the same whether or not its removal event came first.
    virtual bool Present() const = 0;
};

// Opens P2K interfaces by the DevicePath their enumeration record carries.
class IP2KTransport {
  public:
    virtual ~IP2KTransport() = default;
    // nullptr when the path cannot be opened (for example the phone is gone).
    virtual std::unique_ptr<IP2KChannel> Open(const std::string& DevicePath) = 0;
    // True when the last Open of DevicePath failed because another program
    // holds the phone's interface: the phone is there, but busy.
    virtual bool HeldElsewhere(const std::string& DevicePath) const {
        (void)DevicePath;
        return false;
    }
};

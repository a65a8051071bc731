#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// The five port time-outs, in milliseconds.
struct TCommTimeouts {
    uint32_t ReadIntervalTimeout = 0;
    uint32_t ReadTotalTimeoutMultiplier = 0;
    uint32_t ReadTotalTimeoutConstant = 0;
    uint32_t WriteTotalTimeoutMultiplier = 0;
    uint32_t WriteTotalTimeoutConstant = 0;
};

// One opened modem port. It is only ever written: nothing is read, and its
// line settings (baud rate, framing) are never changed.
class ISerialPort {
  public:
    virtual ~ISerialPort() = default;
    // The comm-state query: true with the current baud rate on a live port.
    virtual bool GetCommState(uint32_t& BaudRate) = 0;
    virtual bool GetTimeouts(TCommTimeouts& Timeouts) = 0;
    virtual bool SetTimeouts(const TCommTimeouts& Timeouts) = 0;
    // Synchronous write bounded by the write time-outs (0 waits until done);
    // Written gets the number of bytes the port took.
    virtual bool Write(const uint8_t* Data, size_t Count, size_t& Written) = 0;
    // False when the close failed.
    virtual bool Close() = 0;
};

class ISerialPorts {
  public:
    virtual ~ISerialPorts() = default;
    // nullptr when the path cannot be opened as a port.
    virtual std::unique_ptr<ISerialPort> Open(const std::string& DevicePath) = 0;
};

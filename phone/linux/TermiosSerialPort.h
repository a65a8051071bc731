#pragma once

#include <memory>
#include <string>

#include "backend/SerialPort.h"

// A modem port on a tty node (/dev/ttyACM*), driven through POSIX termios.
//
// The port is only written. Output processing is switched off when it is
// opened, so the bytes leave exactly as given (a tty in its default mode would
// turn every LF into CR LF); the baud rate and framing are left as they are.
// A tty has no time-outs of its own: the five values are kept in the port
// object, and the write ones bound a write through poll().
class TTermiosSerialPort final : public ISerialPort {
  public:
    // Takes ownership of an open tty descriptor.
    explicit TTermiosSerialPort(int Fd);
    ~TTermiosSerialPort() override;
    TTermiosSerialPort(const TTermiosSerialPort&) = delete;
    TTermiosSerialPort& operator=(const TTermiosSerialPort&) = delete;

    // True with the line's output speed in bits per second while the tty is
    // usable; false once it was hung up (far end gone) or closed.
    bool GetCommState(uint32_t& BaudRate) override;
    bool GetTimeouts(TCommTimeouts& Timeouts) override;
    bool SetTimeouts(const TCommTimeouts& Timeouts) override;
    // Writes until every byte is taken, an error occurs, or the write time-out
    // (multiplier * Count + constant, both 0 = no limit) runs out. A time-out
    // that let some bytes through is a short write (true); one that let none
    // through is a failure.
    bool Write(const uint8_t* Data, size_t Count, size_t& Written) override;
    bool Close() override;

    int Fd() const { return fd_; }

  private:
    int fd_;
    TCommTimeouts timeouts_;
};

class TTermiosSerialPorts final : public ISerialPorts {
  public:
    // nullptr when the node cannot be opened read-write, is not a terminal, or
    // its output processing cannot be switched off.
    std::unique_ptr<ISerialPort> Open(const std::string& DevicePath) override;
};

// The speed a termios speed code stands for, in bits per second (0 for B0).
uint32_t TermiosSpeedToBaud(unsigned long Speed);

#include "linux/TermiosSerialPort.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>

namespace {

using SteadyClock = std::chrono::steady_clock;

struct TSpeedEntry {
    speed_t Code;
    uint32_t Baud;
};

// clang-format off
constexpr TSpeedEntry SpeedTable[] = {
    {B0, 0}, {B50, 50}, {B75, 75}, {B110, 110},
    {B134, 134}, {B150, 150}, {B200, 200}, {B300, 300},
    {B600, 600}, {B1200, 1200}, {B1800, 1800}, {B2400, 2400},
    {B4800, 4800}, {B9600, 9600}, {B19200, 19200}, {B38400, 38400},
    {B57600, 57600}, {B115200, 115200}, {B230400, 230400}, {B460800, 460800},
    {B500000, 500000}, {B576000, 576000}, {B921600, 921600}, {B1000000, 1000000},
    {B1152000, 1152000}, {B1500000, 1500000}, {B2000000, 2000000}, {B2500000, 2500000},
    {B3000000, 3000000}, {B3500000, 3500000}, {B4000000, 4000000},
};
// clang-format on

// True when poll() says the tty was hung up or the descriptor is unusable.
bool isHungUp(int Fd) {
    pollfd p{Fd, POLLOUT, 0};
    int r;
    do {
        r = ::poll(&p, 1, 0);
    } while (r < 0 && errno == EINTR);
    if (r < 0) {
        return true;
    }
    return (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

}  // namespace

uint32_t TermiosSpeedToBaud(unsigned long Speed) {
    for (const auto& e : SpeedTable) {
        if (e.Code == Speed) {
            return e.Baud;
        }
    }
    // A code we do not know still stands for a running line.
    return Speed == B0 ? 0 : 1;
}

TTermiosSerialPort::TTermiosSerialPort(int Fd) : fd_(Fd) {}

TTermiosSerialPort::~TTermiosSerialPort() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool TTermiosSerialPort::GetCommState(uint32_t& BaudRate) {
    BaudRate = 0;
    if (fd_ < 0 || isHungUp(fd_)) {
        return false;
    }
    termios t{};
    if (::tcgetattr(fd_, &t) != 0) {
        return false;
    }
    BaudRate = TermiosSpeedToBaud(::cfgetospeed(&t));
    return BaudRate > 0;
}

bool TTermiosSerialPort::GetTimeouts(TCommTimeouts& Timeouts) {
    if (fd_ < 0) {
        return false;
    }
    Timeouts = timeouts_;
    return true;
}

bool TTermiosSerialPort::SetTimeouts(const TCommTimeouts& Timeouts) {
    if (fd_ < 0) {
        return false;
    }
    timeouts_ = Timeouts;
    return true;
}

bool TTermiosSerialPort::Write(const uint8_t* Data, size_t Count, size_t& Written) {
    Written = 0;
    if (fd_ < 0) {
        return false;
    }
    if (Count == 0) {
        return true;
    }
    if (Data == nullptr) {
        return false;
    }

    const uint64_t limitMs = static_cast<uint64_t>(timeouts_.WriteTotalTimeoutMultiplier) * Count +
                             timeouts_.WriteTotalTimeoutConstant;
    const bool bounded = limitMs != 0;
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(limitMs);

    while (Written < Count) {
        ssize_t n = ::write(fd_, Data + Written, Count - Written);
        if (n > 0) {
            Written += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            return false;
        }

        // The tty takes no more for now: wait for room, within the time-out.
        int waitMs = -1;
        if (bounded) {
            auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - SteadyClock::now());
            if (left.count() <= 0) {
                break;
            }
            waitMs = static_cast<int>(std::min<int64_t>(left.count(), INT_MAX));
        }
        pollfd p{fd_, POLLOUT, 0};
        int r = ::poll(&p, 1, waitMs);
        if (r < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (r > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
            return false;
        }
    }
    // Running out of time after some bytes is a short write; with none it failed.
    return Written > 0;
}

bool TTermiosSerialPort::Close() {
    if (fd_ < 0) {
        return false;
    }
    // Linux releases the descriptor even when close() reports an error, so it
    // is never used again either way.
    int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
}

std::unique_ptr<ISerialPort> TTermiosSerialPorts::Open(const std::string& DevicePath) {
    // Non-blocking, so that neither the open (waiting for carrier) nor a
    // write can hang; Write waits with poll() within its time-out instead.
    int fd = ::open(DevicePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return nullptr;
    }
    termios t{};
    if (::tcgetattr(fd, &t) != 0) {
        ::close(fd);
        return nullptr;
    }
    // Raw output: without this the line discipline sends LF as CR LF and an
    // AT line arrives as "...\r\r\n". Only the output flags are touched.
    if ((t.c_oflag & OPOST) != 0) {
        t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
        // tcsetattr() succeeds when any part of the change took, so read back.
        termios check{};
        if (::tcsetattr(fd, TCSANOW, &t) != 0 || ::tcgetattr(fd, &check) != 0 ||
            (check.c_oflag & OPOST) != 0) {
            ::close(fd);
            return nullptr;
        }
    }
    return std::make_unique<TTermiosSerialPort>(fd);
}

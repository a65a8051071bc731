#include "sim/VirtualModem.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>

namespace {

std::string upperCase(std::string Text) {
    std::transform(Text.begin(), Text.end(), Text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return Text;
}

}  // namespace

TVirtualModem::TVirtualModem() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) {
        return;
    }
    char name[128];
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0 ||
        ::ptsname_r(master_, name, sizeof name) != 0) {
        closeEnds();
        return;
    }
    // Holding the slave open keeps the master from reporting a hang-up while
    // no host has the port open.
    slaveHold_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    int flags = ::fcntl(master_, F_GETFL);
    if (slaveHold_ < 0 || wakeFd_ < 0 || flags < 0 ||
        ::fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0) {
        closeEnds();
        return;
    }
    slavePath_ = name;
    reader_ = std::thread([this] { readerLoop(); });
}

TVirtualModem::~TVirtualModem() {
    Hangup();
    if (wakeFd_ >= 0) {
        ::close(wakeFd_);
    }
}

void TVirtualModem::SetOnSwitchToP2K(TSwitchHandler Handler) {
    std::lock_guard l(mutex_);
    onSwitch_ = std::move(Handler);
}

std::vector<std::string> TVirtualModem::Lines() const {
    std::lock_guard l(mutex_);
    return lines_;
}

std::vector<uint8_t> TVirtualModem::Received() const {
    std::lock_guard l(mutex_);
    return received_;
}

bool TVirtualModem::WaitForBytes(size_t Count, int TimeoutMs) const {
    std::unique_lock l(mutex_);
    return changed_.wait_for(l, std::chrono::milliseconds(TimeoutMs),
                             [&] { return received_.size() >= Count; });
}

bool TVirtualModem::WaitForLines(size_t Count, int TimeoutMs) const {
    std::unique_lock l(mutex_);
    return changed_.wait_for(l, std::chrono::milliseconds(TimeoutMs),
                             [&] { return lines_.size() >= Count; });
}

bool TVirtualModem::HungUp() const {
    std::lock_guard l(mutex_);
    return hungUp_;
}

void TVirtualModem::SetReading(bool Reading) {
    {
        std::lock_guard l(mutex_);
        reading_ = Reading;
    }
    changed_.notify_all();
    wake();
}

void TVirtualModem::Hangup() {
    {
        std::lock_guard l(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    wake();
    // From the switch handler the reader thread hangs up by itself on return.
    if (reader_.joinable() && reader_.get_id() != std::this_thread::get_id()) {
        reader_.join();
    }
    if (!reader_.joinable()) {
        closeEnds();
    }
}

void TVirtualModem::wake() {
    if (wakeFd_ < 0) {
        return;
    }
    uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(wakeFd_, &one, sizeof one);
}

void TVirtualModem::closeEnds() {
    {
        std::lock_guard l(mutex_);
        if (master_ >= 0) {
            ::close(master_);
        }
        if (slaveHold_ >= 0) {
            ::close(slaveHold_);
        }
        if (master_ >= 0 || slaveHold_ >= 0) {
            hungUp_ = true;
        }
        master_ = -1;
        slaveHold_ = -1;
    }
    changed_.notify_all();
}

void TVirtualModem::readerLoop() {
    uint8_t buffer[4096];
    bool switched = false;
    while (!switched) {
        {
            std::unique_lock l(mutex_);
            changed_.wait(l, [&] { return stop_ || reading_; });
            if (stop_) {
                return;
            }
        }
        pollfd fds[2] = {{master_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        int r = ::poll(fds, 2, -1);
        if (r < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if ((fds[1].revents & POLLIN) != 0) {
            uint64_t count;
            [[maybe_unused]] ssize_t n = ::read(wakeFd_, &count, sizeof count);
            continue;
        }
        if ((fds[0].revents & POLLIN) != 0) {
            ssize_t n = ::read(master_, buffer, sizeof buffer);
            if (n > 0) {
                switched = takeBytes(buffer, static_cast<size_t>(n));
            } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
                continue;
            } else {
                return;
            }
        } else if ((fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
            return;
        }
    }
    // The phone left modem mode: tell the rig, then drop off the line.
    TSwitchHandler handler;
    {
        std::lock_guard l(mutex_);
        handler = onSwitch_;
    }
    if (handler) {
        handler();
    }
    closeEnds();
}

bool TVirtualModem::takeBytes(const uint8_t* Data, size_t Count) {
    bool switched = false;
    {
        std::lock_guard l(mutex_);
        received_.insert(received_.end(), Data, Data + Count);
        pending_.append(reinterpret_cast<const char*>(Data), Count);
        size_t end;
        while ((end = pending_.find("\r\n")) != std::string::npos) {
            std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 2);
            lines_.push_back(line);
            // After the switch the modem is gone; later bytes in the same read
            // never reach it.
            if (upperCase(line) == "AT+MODE=8") {
                switched = true;
                pending_.clear();
                break;
            }
            // "AT+Mode=22", "AT+Mode=24" and anything else: logged only.
        }
    }
    changed_.notify_all();
    return switched;
}

TVirtualModemPhone::TVirtualModemPhone(TVirtualDeviceSource& Devices, std::string Name,
                                       std::shared_ptr<TVirtualPhone> Phone,
                                       std::chrono::milliseconds ReattachDelay)
    : devices_(Devices),
      name_(std::move(Name)),
      phone_(std::move(Phone)),
      reattachDelay_(ReattachDelay) {
    if (!modem_.IsValid() || !phone_) {
        return;
    }
    modem_.SetOnSwitchToP2K([this] { switchToP2K(); });
    valid_ = devices_.PlugModem(name_, modem_.SlavePath());
}

TVirtualModemPhone::~TVirtualModemPhone() {
    // Stop the reader first, so a switch cannot run while the rig goes.
    modem_.Hangup();
    if (inP2K_) {
        devices_.UnplugPhone(name_);
    } else if (valid_) {
        devices_.UnplugModem(name_);
    }
}

void TVirtualModemPhone::switchToP2K() {
    // Runs on the modem's reader thread: the phone drops off the bus as a
    // modem and comes back as a P2K device a moment later.
    devices_.UnplugModem(name_);
    std::this_thread::sleep_for(reattachDelay_);
    // Marked before plugging: the arrival may be handled on another thread
    // before PlugPhone returns here.
    inP2K_ = true;
    if (devices_.PlugPhone(name_, phone_).empty()) {
        inP2K_ = false;
    }
}

std::shared_ptr<void> StartVirtualModemPhone(const std::string& Name,
                                             std::shared_ptr<TVirtualPhone> Phone,
                                             TVirtualDeviceSource& Devices) {
    auto rig = std::make_shared<TVirtualModemPhone>(Devices, Name, std::move(Phone));
    if (!rig->IsValid()) {
        return nullptr;
    }
    return rig;
}

#include "gui/QuitSignals.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <iterator>

namespace {
constexpr int QuitSignalList[TQuitSignals::SignalCount] = {SIGTERM, SIGINT, SIGHUP};
// The write end for the handler; a handler may only make async-signal-safe calls.
volatile sig_atomic_t signalFd = -1;

void onSignal(int Signal) {
    const int saved = errno;
    const char byte = static_cast<char>(Signal);
    if (signalFd >= 0) {
        [[maybe_unused]] const ssize_t n = ::write(signalFd, &byte, 1);
    }
    errno = saved;
}
}  // namespace

TQuitSignals::TQuitSignals(std::function<void()> OnQuit, QObject* Parent)
    : QObject(Parent), onQuit_(std::move(OnQuit)) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds_) != 0) {
        fds_[0] = fds_[1] = -1;
        return;  // the signals keep their default handling
    }
    signalFd = fds_[1];
    notifier_ = new QSocketNotifier(fds_[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { readSignal(); });
    struct sigaction sa = {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (size_t i = 0; i < std::size(QuitSignalList); ++i) {
        ::sigaction(QuitSignalList[i], nullptr, &old_[i]);
        // A signal the program was started to ignore (nohup) stays ignored.
        if (old_[i].sa_handler != SIG_IGN) {
            ::sigaction(QuitSignalList[i], &sa, nullptr);
        }
    }
}

TQuitSignals::~TQuitSignals() {
    if (fds_[0] < 0) {
        return;
    }
    for (size_t i = 0; i < std::size(QuitSignalList); ++i) {
        ::sigaction(QuitSignalList[i], &old_[i], nullptr);
    }
    signalFd = -1;
    delete notifier_;
    ::close(fds_[0]);
    ::close(fds_[1]);
}

void TQuitSignals::readSignal() {
    char bytes[16];
    while (::read(fds_[0], bytes, sizeof bytes) > 0) {
    }
    if (onQuit_) {
        onQuit_();
    }
}

#include "mount/MountSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <iterator>

namespace {

constexpr int Signals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previous[std::size(Signals)];
int pipeFds[2] = {-1, -1};

void onSignal(int) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(pipeFds[1], &byte, 1);
    errno = saved;
}

}  // namespace

TMountSignals::TMountSignals(QObject* Parent) : QObject(Parent) {
    if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
        pipeFds[0] = pipeFds[1] = -1;
        return;
    }
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < std::size(Signals); ++i) {
        ::sigaction(Signals[i], nullptr, &previous[i]);
        // A signal ignored by whoever started the program stays ignored.
        if (previous[i].sa_handler != SIG_IGN) {
            ::sigaction(Signals[i], &action, nullptr);
        }
    }
    notifier_ = new QSocketNotifier(pipeFds[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        while (::read(pipeFds[0], bytes, sizeof bytes) > 0) {
        }
        emit asked();
    });
}

TMountSignals::~TMountSignals() {
    if (pipeFds[0] < 0) {
        return;
    }
    for (size_t i = 0; i < std::size(Signals); ++i) {
        ::sigaction(Signals[i], &previous[i], nullptr);
    }
    delete notifier_;
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    pipeFds[0] = pipeFds[1] = -1;
}

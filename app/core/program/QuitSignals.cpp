#include "core/program/QuitSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <iterator>

namespace {

constexpr int QuitSignalNumbers[] = {SIGTERM, SIGINT, SIGHUP};

// The pipe's ends; the handler may touch nothing but the write end.
int quitPipe[2] = {-1, -1};
// How each signal was handled before, given back afterwards.
struct sigaction previousActions[std::size(QuitSignalNumbers)];

void onQuitSignal(int) {
    const int saved = errno;
    const char byte = 1;
    ssize_t written = ::write(quitPipe[1], &byte, 1);
    (void)written;  // a full pipe already holds a wake-up
    errno = saved;
}

}  // namespace

TQuitSignals::TQuitSignals(std::function<void()> OnSignal, QObject* Parent)
    : QObject(Parent), onSignal_(std::move(OnSignal)) {
    if (quitPipe[0] >= 0 || ::pipe2(quitPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    notifier_ = new QSocketNotifier(quitPipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        while (::read(quitPipe[0], bytes, sizeof bytes) > 0) {
        }
        if (onSignal_) {
            onSignal_();
        }
    });
    struct sigaction action = {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < std::size(QuitSignalNumbers); ++i) {
        ::sigaction(QuitSignalNumbers[i], nullptr, &previousActions[i]);
        // A signal ignored by whoever started the program (nohup) stays ignored.
        if (previousActions[i].sa_handler != SIG_IGN) {
            ::sigaction(QuitSignalNumbers[i], &action, nullptr);
        }
    }
}

TQuitSignals::~TQuitSignals() {
    if (notifier_ == nullptr) {
        return;
    }
    for (size_t i = 0; i < std::size(QuitSignalNumbers); ++i) {
        ::sigaction(QuitSignalNumbers[i], &previousActions[i], nullptr);
    }
    delete notifier_;
    notifier_ = nullptr;
    ::close(quitPipe[0]);
    ::close(quitPipe[1]);
    quitPipe[0] = quitPipe[1] = -1;
}

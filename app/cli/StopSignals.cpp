#include "cli/StopSignals.h"

#include <unistd.h>

#include <csignal>
#include <iterator>

#include "cli/CliOptions.h"
#include "core/session/PhoneSession.h"

namespace {

constexpr int StopSignalNumbers[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previousActions[std::size(StopSignalNumbers)];
volatile sig_atomic_t stops = 0;

void onStopSignal(int) {
    if (stops > 0) {
        _exit(ExitFailed);  // asked twice: at once
    }
    stops = 1;
}

}  // namespace

TStopSignals::TStopSignals() {
    stops = 0;
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < std::size(StopSignalNumbers); ++i) {
        ::sigaction(StopSignalNumbers[i], nullptr, &previousActions[i]);
        // A signal ignored by whoever started the program (nohup) stays ignored.
        if (previousActions[i].sa_handler != SIG_IGN) {
            ::sigaction(StopSignalNumbers[i], &action, nullptr);
        }
    }
}

TStopSignals::~TStopSignals() {
    for (size_t i = 0; i < std::size(StopSignalNumbers); ++i) {
        ::sigaction(StopSignalNumbers[i], &previousActions[i], nullptr);
    }
}

bool TStopSignals::Asked() {
    return stops != 0;
}

void stopRunningCommand(TPhoneSession& Session) {
    // A transfer ends after its current block, as the window's Stop ends it
    // (an upload's incomplete file is removed from the phone); anything else
    // ends at its next pause.
    if (Session.Transferring()) {
        Session.Stop();
    } else {
        Session.Interrupt();
    }
}

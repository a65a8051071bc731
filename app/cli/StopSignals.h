#pragma once

class TPhoneSession;

// Ctrl+C (SIGINT), SIGTERM and SIGHUP while the command line runs: the first
// asks the running command to stop (see stopRunningCommand), a second ends
// the program at once with exit status 1. One instance at a time;
// destroying it gives the signals their earlier handling back.
class TStopSignals {
  public:
    TStopSignals();
    ~TStopSignals();
    TStopSignals(const TStopSignals&) = delete;
    TStopSignals& operator=(const TStopSignals&) = delete;

    // True once a stop was asked for.
    static bool Asked();
};

// What a stop asked for does to the running command: a transfer ends after
// its current block, anything else at its next pause; nothing is deleted
// from the phone after it.
void stopRunningCommand(TPhoneSession& Session);

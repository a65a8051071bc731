#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "core/program/UserPaths.h"
#include "linux/Doctor.h"

struct TPhoneBackend;

// What the command line runs with: the phones, the terminal and the user's
// files. The program passes its real ones; tests pass virtual phones,
// string streams and a temporary folder.
struct TCliEnv {
    TPhoneBackend& Backend;
    std::ostream& Out;
    std::ostream& Err;
    // The window's settings (read only: the save folder), its exclusion
    // list and the Pictures folder.
    TUserPaths Paths;
    // Whether standard error is a terminal (the progress line is drawn
    // there) and how wide it is.
    bool ErrIsTerminal = false;
    int TerminalWidth = 80;
    // Lets time pass while the command line waits for a phone (--wait), at
    // most Ms milliseconds: the program runs its event loop, so that device
    // events and the virtual phones' folder watch are handled; tests move a
    // fake clock.
    std::function<void(int Ms)> Idle;
    // Looks at the system for `doctor`, given the program's versions.
    std::function<TDoctorReport(const std::string& ProgramVersions)> Doctor;
};

// Runs one command line (Args[0] is the program's name); returns its exit status.
int runCli(TCliEnv& Env, const std::vector<std::string>& Args);

#pragma once

#include <string>
#include <vector>

#include "linux/SystemView.h"

// What keeps a phone from being used, found by looking at the system: the
// udev rule, this user's access to the phones' device nodes, a kernel driver
// on the command interface, ModemManager and its ignore flag, programs that
// hold a phone, the phones seen and the versions in use.

enum class TFindingLevel { Ok, Note, Problem };

struct TDoctorFinding {
    TFindingLevel Level = TFindingLevel::Ok;
    std::string Topic;   // "udev rule", "phone", "access", ...
    std::string Text;    // what was found, one sentence
    std::string Advice;  // what to do about it, one sentence
};

struct TDoctorReport {
    std::vector<TDoctorFinding> Findings;
    // Phones seen, and whether one of them can be used as things stand.
    int Phones = 0;
    bool PhoneUsable = false;
};

// The udev rules file, and the folders udev reads rules from.
inline constexpr const char* UdevRuleName = "70-snaprill.rules";

// ProgramVersions names the program and its libraries ("Snaprill 0.21, Qt
// 6.4.2"); the system view adds libusb's.
TDoctorReport RunDoctor(ISystemView& System, const std::string& ProgramVersions);

// "ok       topic: text. Advice." as snaprill-cli doctor prints it.
std::string FormatFinding(const TDoctorFinding& Finding);

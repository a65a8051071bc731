#pragma once

// The options of snaprill-cli that look at the program itself rather than
// at the phone's files: the wire trace, developer logging and `doctor`.

#include <CLI/CLI.hpp>

struct TCliOptions;

// --trace FILE, --trace-data, -v.
void addTraceOptions(CLI::App& App, TCliOptions& Options);
// The `doctor` subcommand.
CLI::App* addDoctorCommand(CLI::App& App);

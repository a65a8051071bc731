#include "cli/CliTraceOptions.h"

#include "cli/CliOptions.h"

void addTraceOptions(CLI::App& App, TCliOptions& Options) {
    App.add_option("--trace", Options.TraceFile,
                   "write a trace of everything said with the phone to FILE (file names are "
                   "kept, file contents only as their length and SHA-256)")
        ->type_name("FILE");
    App.add_flag("--trace-data", Options.TraceData,
                 "keep the contents of the files read and written in the trace");
    App.add_flag("-v,--verbose", Options.Verbose,
                 "developer logging on standard error (the snaprill.* logging categories)");
}

CLI::App* addDoctorCommand(CLI::App& App) {
    return App.add_subcommand(
        "doctor",
        "look at what keeps a phone from being used: the udev rule, access to the phone's "
        "device nodes, kernel drivers, ModemManager, programs holding the phone; one line a "
        "finding, each with what to do");
}

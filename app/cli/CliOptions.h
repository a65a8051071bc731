#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

// The commands of snaprill-cli.
enum class TCliCommand {
    Phones,
    List,
    Get,
    Put,
    Remove,
    ExcludeList,
    ExcludeAdd,
    ExcludeRemove,
    Mount,
    Unmount,
    Doctor,
};

// One command line, as read.
struct TCliOptions {
    TCliCommand Command = TCliCommand::Phones;
    int WaitSeconds = -1;  // --wait; -1 waits for nothing
    bool Json = false;
    bool Quiet = false;
    int Phone = 1;                   // --phone, counted from 1 as `phones` shows them
    std::string Drive;               // --drive; empty for the phone's first
    bool Files = false;              // --files: every file, as File Manager lists them
    std::vector<std::string> Names;  // the NAME or FILE arguments
    std::string To;                  // --to: get's local folder, put's phone folder
    bool Overwrite = false;
    bool DeleteAfter = false;
    bool NewOnly = false;  // skip pictures downloaded from that phone before
    bool Mirror = false;
    std::string Into;         // --into: the folders by date taken under DIR; empty for none
    std::string AlsoTo;       // --also-to: a second folder each picture is copied into
    bool KeepBoth = false;    // --keep-both: a different picture of a taken name is kept too
    std::string TraceFile;    // --trace: a wire trace of the command goes there
    bool TraceData = false;   // --trace-data: file contents kept in the trace
    bool Verbose = false;     // -v: the developer logging categories on
    std::string Dir;          // mount and umount: the folder
    bool ReadOnly = false;    // mount --read-only
    bool Foreground = false;  // mount -f
    int RefreshSeconds = 30;  // mount --refresh
};

// The exit statuses, as --help and the manual page list them.
enum TCliExit { ExitOk = 0, ExitFailed = 1, ExitUsage = 2, ExitNoPhone = 3, ExitLocal = 4 };

// The options of a command line (Args[0] is the program's name), or, for
// --help, --version and usage errors, the exit status once the help, the
// version or the error is printed to Out or Err.
struct TParsedArgs {
    std::optional<TCliOptions> Options;
    int Exit = ExitOk;
};
TParsedArgs parseCliArgs(const std::vector<std::string>& Args, std::ostream& Out,
                         std::ostream& Err);

#pragma once

#include <QString>
#include <cstdint>

// The session's commands, as a front end tells them apart at their end.
enum class TCommandKind : uint8_t {
    FindPhones,  // the phones attached found again (at start, on an arrival or a removal)
    List,        // a phone or drive chosen, a refresh, a mode applied: the list read again
    Download,    // also a listing that downloads every picture on connect
    Upload,
    Delete,
};
inline constexpr int CommandKindCount = 5;

// How a command ended.
enum class TCommandEnd : uint8_t {
    Done,          // it ran to its end; files may still have failed (see the counts)
    Stopped,       // the user stopped it: the rest was left alone
    Interrupted,   // the phones changed (one came or went): the rest was left alone
    LocalFailure,  // a local file or folder could not be written: the rest was left alone
    PhoneLost,     // the phone stopped answering or was unplugged: the rest was left alone
};

// What a command did, read by a front end at its end: which command, how it
// ended and why, and what became of its files. The window's summary and the
// command line's exit status are both worked out from it.
struct TCommandOutcome {
    TCommandKind Command = TCommandKind::List;
    TCommandEnd End = TCommandEnd::Done;
    // Why it ended early, in the words of the system that refused (a local
    // failure's reason, the phone's loss); empty for Done, Stopped, Interrupted.
    QString Reason;

    // The files the command was given, one count each (but Deleted):
    int Done = 0;      // downloaded, uploaded or deleted whole
    int Skipped = 0;   // left on purpose: an existing file kept, excluded, known before
    int Failed = 0;    // the phone, the link, the disk or the file's name failed it
    int NotTried = 0;  // not reached: the command ended before it
    // Of those, the ones taken off the phone (a download's "delete after", a delete).
    int Deleted = 0;

    // Every file given, whatever became of it.
    int Files() const { return Done + Skipped + Failed + NotTried; }
    // It ran to its end and no file failed.
    bool Whole() const { return End == TCommandEnd::Done && Failed == 0 && NotTried == 0; }
};

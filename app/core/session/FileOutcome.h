#pragma once

// What became of one phone file a front end named (fetched, uploaded or
// deleted by name), so that it can say why in its own terms.
enum class TFileResult {
    Done,
    PhoneFailed,  // the phone refused it or an exchange failed; the phone is still there
    PhoneLost,    // the phone is gone (unplugged, or no phone is chosen)
    NoRoom,       // larger than the free space of the phone
    BadName,      // a name the phone's code page cannot hold, or too long for the phone
    LocalFailed,  // a local file could not be read or written (LocalError says why)
    Busy,         // another command runs: nothing was done
    Stopped,      // stopped by the user, or ended because the phones changed
};

struct TFileOutcome {
    TFileResult Result = TFileResult::Done;
    int LocalError = 0;  // the errno of a LocalFailed

    bool Ok() const { return Result == TFileResult::Done; }
};

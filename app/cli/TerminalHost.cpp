#include "cli/TerminalHost.h"

#include "backend/Backend.h"
#include "cli/CliReport.h"
#include "cli/StopSignals.h"
#include "core/session/PhoneSession.h"

void TTerminalHost::ProcessEvents() {
    backend_.Devices.DispatchPending();
    if (AtPause) {
        AtPause();
    }
    if (session_ != nullptr && TStopSignals::Asked()) {
        stopRunningCommand(*session_);
    }
}

bool TTerminalHost::Option(TSessionOption Option) {
    switch (Option) {
        case TSessionOption::Overwrite:
            return Overwrite;
        case TSessionOption::DeleteAfter:
            return DeleteAfter;
        case TSessionOption::DownloadAll:
            return false;  // the command line says what to download
        case TSessionOption::PictureTime:
            return true;  // as the window does by default
        case TSessionOption::SkipDownloaded:
            return NewOnly;
        case TSessionOption::KeepBoth:
            return KeepBoth;
        case TSessionOption::Previews:
            return false;  // nothing is read but what the command reads
    }
    return false;
}

void TTerminalHost::ShowMessage(const TSessionMsg& Message, bool Error) {
    // Only errors are shown: the session's other messages are the window's.
    if (Error) {
        report_.Error(builtInText(Message));
    }
}

#include "cli/CommandExit.h"

TCliExit exitOf(const TCommandOutcome& Outcome) {
    switch (Outcome.End) {
        case TCommandEnd::PhoneLost:
            return ExitNoPhone;
        case TCommandEnd::LocalFailure:
            return Outcome.Command == TCommandKind::Upload ? ExitFailed : ExitLocal;
        case TCommandEnd::Stopped:
        case TCommandEnd::Interrupted:
            return ExitFailed;
        case TCommandEnd::Done:
            break;
    }
    return Outcome.Whole() ? ExitOk : ExitFailed;
}

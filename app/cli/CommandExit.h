#pragma once

#include "cli/CliOptions.h"
#include "core/session/CommandOutcome.h"

// The exit status a command's outcome adds up to, whatever its lines said:
// a lost phone 3, a local file or folder that could not be written 4 (an
// upload's local failure is a file that could not be read: 1), a file that
// failed or was not reached 1, else 0.
TCliExit exitOf(const TCommandOutcome& Outcome);

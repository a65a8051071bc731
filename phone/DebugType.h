#pragma once

// The kind of a log line raised by a phone operation; shared by both links.
enum TDebugType { dtInformation = 0, dtError = 1 };

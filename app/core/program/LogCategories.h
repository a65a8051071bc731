#pragma once

#include <QLoggingCategory>

// Developer logging, off unless asked for: QT_LOGGING_RULES (for example
// "snaprill.*.debug=true") or snaprill-cli -v. Nothing here reaches the Log
// page or changes what the program does.
Q_DECLARE_LOGGING_CATEGORY(lcP2K)      // snaprill.p2k: P2K exchanges, the phone library's lines
Q_DECLARE_LOGGING_CATEGORY(lcUsb)      // snaprill.usb: interfaces listed, arrivals, removals
Q_DECLARE_LOGGING_CATEGORY(lcAt)       // snaprill.at: modem ports and the lines written
Q_DECLARE_LOGGING_CATEGORY(lcSession)  // snaprill.session: commands and device events
Q_DECLARE_LOGGING_CATEGORY(lcPreview)  // snaprill.preview: thumbnails fetched and kept

// Turns every category on, to standard error (snaprill-cli -v).
void enableDeveloperLogging();
// Whether any category of the wire (p2k, usb, at) is on.
bool wireLoggingEnabled();

#pragma once

#include <QString>

// The autostart entry: a freedesktop autostart file whose presence means the
// program starts with the desktop session. Only its presence is read back.
QString defaultAutostartPath();  // ~/.config/autostart/snaprill.desktop

bool autostartPresent(const QString& Path);
// Writes the entry with Exec = ExePath (overwriting an older entry); returns
// an empty text or the reason of the failure.
QString writeAutostart(const QString& Path, const QString& ExePath);
// Removes the entry; an absent entry is no error.
QString removeAutostart(const QString& Path);

// ExePath as an Exec value: quoted, with the reserved characters escaped,
// when it holds anything but plain path characters.
QString desktopExecValue(const QString& ExePath);

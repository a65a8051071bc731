#pragma once

#include <QString>
#include <optional>
#include <string>

// Phone text is 8-bit code page 1251. These convert it to and from the
// Unicode the window shows. Every byte has a character (the one byte 1251
// leaves undefined, 0x98, stands for U+0098), so a name decoded for display
// encodes back to the very bytes the phone sent.
QString phoneToUnicode(const std::string& Text);
// The 1251 bytes of Text, or nothing when a character has no 1251 byte.
std::optional<std::string> unicodeToPhone(const QString& Text);

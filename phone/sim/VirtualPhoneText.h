#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Text as the virtual phone reads and writes it. File names are the phone's
// 8-bit text (code page 1251); the search and free-space commands carry
// 16-bit big-endian code units instead.

// The code unit FFFE separates a search's folder from its mask.
inline constexpr uint16_t SearchSeparator = 0xFFFE;

// One 16-bit code unit to an 8-bit character: 0410..044F are the letters
// C0..FF, 0401 and 0451 are A8 and B8 (Yo), 0000..00FF stand for themselves.
// False for anything else, which the phone's 8-bit names cannot hold.
bool UnitToChar(uint16_t Unit, char& Out);
// An 8-bit character as the phone writes it in its own replies: Cyrillic in
// the 04xx block, everything else as itself.
uint16_t CharToUnit(char C);

// Splits the big-endian units of a search request (Bytes, Length even,
// ending in a 0000 unit) into folder and mask at the separator. False when
// the units are malformed (odd length, no terminator, a unit the phone cannot
// name, no separator or more than one).
bool DecodeSearch(const uint8_t* Bytes, size_t Length, std::string& Folder, std::string& Mask);
// Units up to the first 0000 unit or the end; false on an odd length or a
// unit outside the 8-bit text.
bool DecodeUnits(const uint8_t* Bytes, size_t Length, std::string& Out);

// Case-insensitive match of an 8-bit name against a mask with "*" and "?";
// "*.*" matches every name, as on the phone.
bool MaskMatches(const std::string& Mask, const std::string& Name);
// Lower case for ASCII and the Cyrillic letters of code page 1251.
char LowerChar(char C);

// UTF-8 to code page 1251 for the characters the phone names hold (ASCII,
// Cyrillic, Yo); false when another character or a bad sequence occurs.
bool Utf8ToPhoneText(const std::string& Utf8, std::string& Out);

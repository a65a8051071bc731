#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Phone text helpers. Program text is 8-bit code page 1251; on the wire the
// phone speaks UCS-2, written here as hex text of four digits per character.

// One character as four upper-case hex digits ("|" is FFFE, 184 is 0451).
std::string CharToHex(char C);
std::string TextToHex(const std::string& S);
// Four hex digits back to one 8-bit character (0410..044F to 192..255,
// 0451 to 184, else the low byte; invalid digits give code 0).
char HexCodeToChar(const std::string& H);
std::string HexToText(const std::string& H);
// Two hex digits per byte, high nibble first, from the start of the text until
// it ends or MaxBytes bytes are made; a trailing odd digit is dropped and a
// character that is no hex digit counts as 0.
std::vector<uint8_t> HexToBytes(const std::string& Hex, size_t MaxBytes);
// Value in upper-case hex, left-padded with zeros to Digits.
std::string IntToHex(uint32_t Value, int Digits);
uint32_t ClearBit(uint32_t Value, uint32_t Bit);
// Upper case in code page 1251: Latin a-z, Cyrillic а-я (E0..FF) and the
// other Cyrillic letters of the page (ё, ђ, ѓ, љ, њ, ќ, ћ, џ, ў, ј, ґ, є, ї, і,
// ѕ). Every other byte is returned as it is. A table lookup, cheap enough for
// comparing file names character by character.
char UpperCase1251(char C);
std::string UpperCaseText1251(const std::string& S);
// The part after the last "/", or the whole text.
std::string ExtractP2KFileName(const std::string& Path);
// The part up to and including the last "/", or empty.
std::string ExtractP2KFileDir(const std::string& Path);

#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

// What a virtual phone holds: its seem records, its drives with their free
// space, and the files on them. Plain data, filled by tests or by the folder
// loader; the protocol core reads and changes it as commands arrive.
//
// Texts are the phone's 8-bit text (code page 1251), as its list entries and
// file commands carry them. Paths are full phone paths such as
// "/a/mobile/picture/img01.jpg"; the drive is everything before the second "/".

struct TVirtualFile {
    std::vector<uint8_t> Data;
    uint8_t AttrA = 0;  // attribute byte at entry offset 260
    uint8_t AttrB = 0;  // attribute byte at entry offset 261
};

struct TVirtualDrive {
    std::string Name;       // "/a"
    int32_t FreeSpace = 0;  // bytes, answered by sub-command 0x0B as 4 bytes big-endian
};

struct TVirtualPhoneState {
    // Seem records by (seem number << 16 | record number); the bytes are the
    // seem data that follow the status byte of a reply. A missing record
    // answers a non-zero status.
    std::map<uint32_t, std::vector<uint8_t>> Seems;
    std::vector<TVirtualDrive> Drives;
    std::map<std::string, TVirtualFile> Files;  // by full phone path
    // Folders that exist though no file lies in them, by full phone path
    // without the closing "/" ("/a/mobile/picture"). A drive's root and every
    // folder above a file exist anyway. A file is only made in a folder that
    // exists.
    std::set<std::string> Folders;
    // The USB device's serial number string, which its device record carries
    // (the command interface never tells it); empty for a device without one.
    std::string UsbSerial;

    static uint32_t SeemKey(uint16_t Seem, uint16_t Record) {
        return (uint32_t(Seem) << 16) | Record;
    }
    void SetSeem(uint16_t Seem, uint16_t Record, std::vector<uint8_t> Bytes) {
        Seems[SeemKey(Seem, Record)] = std::move(Bytes);
    }
};

// Seem numbers the program reads.
inline constexpr uint16_t SeemModel =
    0x0117;  // model name, 8-bit text with 0 and 255 bytes mixed in
inline constexpr uint16_t SeemFlex = 0x0004;  // firmware (flex) version bytes

// The folders every drive of a phone has, even with no file in them.
void AddStandardFolders(TVirtualPhoneState& State, const std::string& Drive);

// A ready phone: model text with the padding bytes real phones put in it,
// a packed flex version, drives /a and /b with their standard folders, no
// files.
TVirtualPhoneState DefaultVirtualPhoneState();
// The model seem as a phone stores it: the text with 0 and 255 bytes mixed in.
std::vector<uint8_t> ModelSeemBytes(const std::string& Model);
// The flex seem in packed form (first byte 8, 8 more bytes whose nibbles the
// program pairs) holding the given 14 hex digits; non-hex digits count as 0.
std::vector<uint8_t> PackedFlexSeemBytes(const std::string& HexDigits);
// The flex seem in plain form: the bytes of the hex digits as they stand
// (the program leaves out bytes 0 and 255; a first byte of 8 reads as packed).
std::vector<uint8_t> PlainFlexSeemBytes(const std::string& HexDigits);

#include "sim/VirtualPhoneState.h"

namespace {

constexpr uint8_t PackedFlexTag = 8;  // first byte of a packed flex seem
constexpr size_t PackedFlexDigits = 14;

uint8_t hexValue(char C) {
    if (C >= '0' && C <= '9') {
        return uint8_t(C - '0');
    }
    if (C >= 'a' && C <= 'f') {
        return uint8_t(C - 'a' + 10);
    }
    if (C >= 'A' && C <= 'F') {
        return uint8_t(C - 'A' + 10);
    }
    return 0;
}

}  // namespace

std::vector<uint8_t> ModelSeemBytes(const std::string& Model) {
    // Phones pad their model record: a 255 ahead, a 0 after every few
    // characters, and 255 bytes filling the tail.
    std::vector<uint8_t> bytes{0xFF};
    for (size_t i = 0; i < Model.size(); ++i) {
        bytes.push_back(uint8_t(Model[i]));
        if (i % 4 == 3) {
            bytes.push_back(0x00);
        }
    }
    bytes.insert(bytes.end(), {0x00, 0xFF, 0xFF, 0xFF});
    return bytes;
}

std::vector<uint8_t> PackedFlexSeemBytes(const std::string& HexDigits) {
    // The program shows, for i = 1..7, the high nibble of byte i and the low
    // nibble of byte i + 1; so digit 2k goes to the high nibble of byte k + 1
    // and digit 2k + 1 to the low nibble of byte k + 2.
    std::vector<uint8_t> bytes(9, 0);
    bytes[0] = PackedFlexTag;
    for (size_t k = 0; k < PackedFlexDigits / 2; ++k) {
        uint8_t high = k * 2 < HexDigits.size() ? hexValue(HexDigits[k * 2]) : 0;
        uint8_t low = k * 2 + 1 < HexDigits.size() ? hexValue(HexDigits[k * 2 + 1]) : 0;
        bytes[k + 1] = uint8_t(bytes[k + 1] | (high << 4));
        bytes[k + 2] = uint8_t(bytes[k + 2] | low);
    }
    return bytes;
}

std::vector<uint8_t> PlainFlexSeemBytes(const std::string& HexDigits) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i + 1 < HexDigits.size(); i += 2) {
        bytes.push_back(uint8_t((hexValue(HexDigits[i]) << 4) | hexValue(HexDigits[i + 1])));
    }
    return bytes;
}

void AddStandardFolders(TVirtualPhoneState& State, const std::string& Drive) {
    // Where a phone keeps its pictures, made before any is taken.
    State.Folders.insert(Drive + "/mobile");
    State.Folders.insert(Drive + "/mobile/picture");
}

TVirtualPhoneState DefaultVirtualPhoneState() {
    TVirtualPhoneState state;
    state.SetSeem(SeemModel, 1, ModelSeemBytes("Virtual P2K"));
    state.SetSeem(SeemFlex, 1, PackedFlexSeemBytes("0A4A5A6A7A8A9B"));
    state.Drives = {{"/a", 4 * 1024 * 1024}, {"/b", 1024 * 1024}};
    for (const TVirtualDrive& d : state.Drives) {
        AddStandardFolders(state, d.Name);
    }
    return state;
}

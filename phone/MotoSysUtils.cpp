#include "MotoSysUtils.h"

#include <algorithm>

namespace {

// Value of one hex digit, or -1 when the character is not one.
int hexDigit(char C) {
    if (C >= '0' && C <= '9')
        return C - '0';
    if (C >= 'A' && C <= 'F')
        return C - 'A' + 10;
    if (C >= 'a' && C <= 'f')
        return C - 'a' + 10;
    return -1;
}

constexpr unsigned char CyrillicYo = 184;  // "ё" in code page 1251
constexpr uint32_t UcsYo = 0x0451;
constexpr uint32_t UcsCyrillicA = 0x0410;   // "А"
constexpr uint32_t UcsCyrillicYa = 0x044F;  // "я"
constexpr uint32_t Cp1251ToUcsShift = 848;  // 0x0410 - 192

}  // namespace

std::string IntToHex(uint32_t Value, int Digits) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out;
    do {
        out.insert(out.begin(), kDigits[Value & 0xF]);
        Value >>= 4;
    } while (Value != 0);
    if (static_cast<int>(out.size()) < Digits)
        out.insert(0, Digits - out.size(), '0');
    return out;
}

std::string CharToHex(char C) {
    // The phone separates a folder from its mask with the code unit FFFE.
    if (C == '|')
        return "FFFE";
    auto code = static_cast<unsigned char>(C);
    // Only "ё" moves into the Cyrillic block on the way to the phone; the other
    // letters are sent as 00C0..00FF, which the phone accepts as they are.
    uint32_t unit = code == CyrillicYo ? UcsYo : code;
    return IntToHex(unit, 4);
}

std::string TextToHex(const std::string& S) {
    std::string out;
    out.reserve(S.size() * 4);
    for (char c : S)
        out += CharToHex(c);
    return out;
}

char HexCodeToChar(const std::string& H) {
    uint32_t v = 0;
    if (H.empty())
        return 0;
    for (char c : H) {
        int d = hexDigit(c);
        if (d < 0)
            return 0;  // not a hex number at all
        v = (v << 4) | static_cast<uint32_t>(d);
    }
    if (v >= UcsCyrillicA && v <= UcsCyrillicYa) {
        v -= Cp1251ToUcsShift;
    } else if (v == UcsYo) {
        v = CyrillicYo;
    }
    return static_cast<char>(v & 0xFF);
}

std::string HexToText(const std::string& H) {
    std::string out;
    size_t n = H.size() / 4;
    out.reserve(n);
    for (size_t i = 0; i < n; ++i)
        out += HexCodeToChar(H.substr(i * 4, 4));
    return out;
}

uint32_t ClearBit(uint32_t Value, uint32_t Bit) {
    return Value & ~(1u << (Bit % 32));
}

std::string ExtractP2KFileName(const std::string& Path) {
    auto pos = Path.rfind('/');
    return pos == std::string::npos ? Path : Path.substr(pos + 1);
}

std::string ExtractP2KFileDir(const std::string& Path) {
    auto pos = Path.rfind('/');
    return pos == std::string::npos ? std::string() : Path.substr(0, pos + 1);
}

std::vector<uint8_t> HexToBytes(const std::string& Hex, size_t MaxBytes) {
    auto nibble = [](char C) { return std::max(hexDigit(C), 0); };
    std::vector<uint8_t> out;
    for (size_t i = 0; i + 1 < Hex.size() && out.size() < MaxBytes; i += 2)
        out.push_back(static_cast<uint8_t>(nibble(Hex[i]) << 4 | nibble(Hex[i + 1])));
    return out;
}

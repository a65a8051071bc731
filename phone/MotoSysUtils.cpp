#include "MotoSysUtils.h"

#include <algorithm>
#include <array>

namespace {

// Value of one hex digit, or -1 when the character is not one.
int hexDigit(char C) {
    if (C >= '0' && C <= '9') {
        return C - '0';
    }
    if (C >= 'A' && C <= 'F') {
        return C - 'A' + 10;
    }
    if (C >= 'a' && C <= 'f') {
        return C - 'a' + 10;
    }
    return -1;
}

constexpr unsigned char CyrillicYo = 184;  // "ё" in code page 1251
constexpr uint32_t UcsYo = 0x0451;
constexpr uint32_t UcsCyrillicA = 0x0410;   // "А"
constexpr uint32_t UcsCyrillicYa = 0x044F;  // "я"
constexpr uint32_t Cp1251ToUcsShift = 848;  // 0x0410 - 192

// Upper-case form of every byte of code page 1251.
constexpr std::array<unsigned char, 256> makeUpper1251() {
    std::array<unsigned char, 256> t{};
    for (unsigned i = 0; i < t.size(); ++i) {
        t[i] = static_cast<unsigned char>(i);
    }
    for (unsigned i = 'a'; i <= 'z'; ++i) {
        t[i] = static_cast<unsigned char>(i - 0x20);
    }
    for (unsigned i = 0xE0; i <= 0xFF; ++i) {  // а..я -> А..Я
        t[i] = static_cast<unsigned char>(i - 0x20);
    }
    // The Cyrillic letters outside the two blocks, lower case to upper case.
    constexpr unsigned char pairs[][2] = {
        {0x90, 0x80},  // ђ Ђ
        {0x83, 0x81},  // ѓ Ѓ
        {0x9A, 0x8A},  // љ Љ
        {0x9C, 0x8C},  // њ Њ
        {0x9D, 0x8D},  // ќ Ќ
        {0x9E, 0x8E},  // ћ Ћ
        {0x9F, 0x8F},  // џ Џ
        {0xA2, 0xA1},  // ў Ў
        {0xBC, 0xA3},  // ј Ј
        {0xB4, 0xA5},  // ґ Ґ
        {0xB8, 0xA8},  // ё Ё
        {0xBA, 0xAA},  // є Є
        {0xBF, 0xAF},  // ї Ї
        {0xB3, 0xB2},  // і І
        {0xBE, 0xBD},  // ѕ Ѕ
    };
    for (const auto& p : pairs) {
        t[p[0]] = p[1];
    }
    return t;
}

constexpr std::array<unsigned char, 256> Upper1251 = makeUpper1251();

}  // namespace

std::string IntToHex(uint32_t Value, int Digits) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out;
    do {
        out.insert(out.begin(), kDigits[Value & 0xF]);
        Value >>= 4;
    } while (Value != 0);
    if (static_cast<int>(out.size()) < Digits) {
        out.insert(0, Digits - out.size(), '0');
    }
    return out;
}

std::string CharToHex(char C) {
    // The phone separates a folder from its mask with the code unit FFFE.
    if (C == '|') {
        return "FFFE";
    }
    auto code = static_cast<unsigned char>(C);
    // Only "ё" moves into the Cyrillic block on the way to the phone; the other
    // letters are sent as 00C0..00FF, which the phone accepts as they are.
    uint32_t unit = code == CyrillicYo ? UcsYo : code;
    return IntToHex(unit, 4);
}

std::string TextToHex(const std::string& S) {
    std::string out;
    out.reserve(S.size() * 4);
    for (char c : S) {
        out += CharToHex(c);
    }
    return out;
}

char HexCodeToChar(const std::string& H) {
    uint32_t v = 0;
    if (H.empty()) {
        return 0;
    }
    for (char c : H) {
        int d = hexDigit(c);
        if (d < 0) {
            return 0;  // not a hex number at all
        }
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
    for (size_t i = 0; i < n; ++i) {
        out += HexCodeToChar(H.substr(i * 4, 4));
    }
    return out;
}

uint32_t ClearBit(uint32_t Value, uint32_t Bit) {
    return Value & ~(1u << (Bit % 32));
}

char UpperCase1251(char C) {
    return static_cast<char>(Upper1251[static_cast<unsigned char>(C)]);
}

std::string UpperCaseText1251(const std::string& S) {
    std::string out = S;
    for (char& c : out) {
        c = UpperCase1251(c);
    }
    return out;
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
    for (size_t i = 0; i + 1 < Hex.size() && out.size() < MaxBytes; i += 2) {
        out.push_back(static_cast<uint8_t>(nibble(Hex[i]) << 4 | nibble(Hex[i + 1])));
    }
    return out;
}

#include "sim/VirtualPhoneText.h"

namespace {

constexpr uint8_t CyrillicFirst = 0xC0;  // А in code page 1251
constexpr uint8_t YoUpper = 0xA8;        // Ё
constexpr uint8_t YoLower = 0xB8;        // ё
constexpr uint16_t UnitCyrillicFirst = 0x0410;
constexpr uint16_t UnitCyrillicLast = 0x044F;
constexpr uint16_t UnitYoUpper = 0x0401;
constexpr uint16_t UnitYoLower = 0x0451;

uint16_t unitAt(const uint8_t* Bytes, size_t I) {
    return uint16_t((Bytes[I] << 8) | Bytes[I + 1]);
}

bool matchFrom(const std::string& Mask, size_t M, const std::string& Name, size_t N) {
    while (M < Mask.size()) {
        char c = Mask[M];
        if (c == '*') {
            while (M < Mask.size() && Mask[M] == '*') {
                ++M;
            }
            if (M == Mask.size()) {
                return true;
            }
            for (size_t k = N; k <= Name.size(); ++k) {
                if (matchFrom(Mask, M, Name, k)) {
                    return true;
                }
            }
            return false;
        }
        if (N == Name.size()) {
            return false;
        }
        if (c != '?' && LowerChar(c) != LowerChar(Name[N])) {
            return false;
        }
        ++M;
        ++N;
    }
    return N == Name.size();
}

}  // namespace

bool UnitToChar(uint16_t Unit, char& Out) {
    if (Unit <= 0xFF) {
        Out = char(Unit);
        return true;
    }
    if (Unit >= UnitCyrillicFirst && Unit <= UnitCyrillicLast) {
        Out = char(CyrillicFirst + (Unit - UnitCyrillicFirst));
        return true;
    }
    if (Unit == UnitYoUpper) {
        Out = char(YoUpper);
        return true;
    }
    if (Unit == UnitYoLower) {
        Out = char(YoLower);
        return true;
    }
    return false;
}

uint16_t CharToUnit(char C) {
    uint8_t b = uint8_t(C);
    if (b >= CyrillicFirst) {
        return uint16_t(UnitCyrillicFirst + (b - CyrillicFirst));
    }
    if (b == YoUpper) {
        return UnitYoUpper;
    }
    if (b == YoLower) {
        return UnitYoLower;
    }
    return b;
}

bool DecodeUnits(const uint8_t* Bytes, size_t Length, std::string& Out) {
    Out.clear();
    if (Length % 2 != 0) {
        return false;
    }
    for (size_t i = 0; i < Length; i += 2) {
        uint16_t unit = unitAt(Bytes, i);
        if (unit == 0) {
            break;
        }
        char c;
        if (!UnitToChar(unit, c)) {
            return false;
        }
        Out += c;
    }
    return true;
}

bool DecodeSearch(const uint8_t* Bytes, size_t Length, std::string& Folder, std::string& Mask) {
    Folder.clear();
    Mask.clear();
    if (Length < 2 || Length % 2 != 0 || unitAt(Bytes, Length - 2) != 0) {
        return false;
    }
    bool separated = false;
    for (size_t i = 0; i + 2 < Length; i += 2) {
        uint16_t unit = unitAt(Bytes, i);
        if (unit == 0) {
            return false;  // a terminator before the end
        }
        if (unit == SearchSeparator) {
            if (separated) {
                return false;
            }
            separated = true;
            continue;
        }
        char c;
        if (!UnitToChar(unit, c)) {
            return false;
        }
        (separated ? Mask : Folder) += c;
    }
    return separated;
}

char LowerChar(char C) {
    uint8_t b = uint8_t(C);
    if (b >= 'A' && b <= 'Z') {
        return char(b + 32);
    }
    if (b >= 0xC0 && b <= 0xDF) {  // А..Я to а..я
        return char(b + 32);
    }
    if (b == YoUpper) {
        return char(YoLower);
    }
    return C;
}

bool MaskMatches(const std::string& Mask, const std::string& Name) {
    if (Mask == "*.*") {
        return true;
    }
    return matchFrom(Mask, 0, Name, 0);
}

bool Utf8ToPhoneText(const std::string& Utf8, std::string& Out) {
    Out.clear();
    size_t i = 0;
    while (i < Utf8.size()) {
        uint8_t b = uint8_t(Utf8[i]);
        if (b < 0x80) {
            Out += char(b);
            ++i;
            continue;
        }
        // Only two-byte sequences can name a character the phone holds.
        if ((b & 0xE0) != 0xC0 || i + 1 >= Utf8.size() || (uint8_t(Utf8[i + 1]) & 0xC0) != 0x80) {
            return false;
        }
        uint16_t code = uint16_t(((b & 0x1F) << 6) | (uint8_t(Utf8[i + 1]) & 0x3F));
        char c;
        if (code < 0x80 || code <= 0xFF || !UnitToChar(code, c)) {
            return false;  // overlong, Latin-1 (not code page 1251) or beyond
        }
        Out += c;
        i += 2;
    }
    return true;
}

#include "core/files/PhoneText.h"

#include <array>

namespace {

// Code points of the bytes 0x80..0xFF; 0xC0..0xFF are the contiguous
// Cyrillic letters U+0410..U+044F.
constexpr std::array<char16_t, 64> High1251 = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
};
constexpr char16_t CyrillicA = 0x0410;
constexpr char16_t CyrillicYa = 0x044F;

char16_t decodeByte(unsigned char B) {
    if (B < 0x80) {
        return B;
    }
    if (B >= 0xC0) {
        return static_cast<char16_t>(CyrillicA + (B - 0xC0));
    }
    return High1251[B - 0x80];
}

std::optional<unsigned char> encodeChar(char16_t C) {
    if (C < 0x80) {
        return static_cast<unsigned char>(C);
    }
    if (C >= CyrillicA && C <= CyrillicYa) {
        return static_cast<unsigned char>(0xC0 + (C - CyrillicA));
    }
    for (size_t i = 0; i < High1251.size(); ++i) {
        if (High1251[i] == C) {
            return static_cast<unsigned char>(0x80 + i);
        }
    }
    return std::nullopt;
}

}  // namespace

QString phoneToUnicode(const std::string& Text) {
    QString out(static_cast<qsizetype>(Text.size()), Qt::Uninitialized);
    QChar* p = out.data();
    for (char c : Text) {
        *p++ = QChar(decodeByte(static_cast<unsigned char>(c)));
    }
    return out;
}

std::optional<std::string> unicodeToPhone(const QString& Text) {
    std::string out;
    out.reserve(static_cast<size_t>(Text.size()));
    for (QChar c : Text) {
        const auto b = encodeChar(c.unicode());
        if (!b) {
            return std::nullopt;  // surrogates (emoji) land here too
        }
        out.push_back(static_cast<char>(*b));
    }
    return out;
}

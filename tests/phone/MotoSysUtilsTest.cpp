#include <gtest/gtest.h>

#include "MotoSysUtils.h"

TEST(MotoSysUtils, CharAndTextToHex) {
    EXPECT_EQ(TextToHex("/a/"), "002F0061002F");
    EXPECT_EQ(TextToHex("|"), "FFFE");
    EXPECT_EQ(TextToHex(""), "");
    EXPECT_EQ(TextToHex("/m/|*.jpg"), "002F006D002FFFFE002A002E006A00700067");
    EXPECT_EQ(CharToHex('A'), "0041");
    EXPECT_EQ(CharToHex(static_cast<char>(184)), "0451");  // only "ё" moves to the Cyrillic block
    EXPECT_EQ(CharToHex(static_cast<char>(192)), "00C0");
    EXPECT_EQ(CharToHex(static_cast<char>(255)), "00FF");
    EXPECT_EQ(CharToHex('\0'), "0000");
}

TEST(MotoSysUtils, HexToText) {
    EXPECT_EQ(HexToText("0410044F0451"), std::string("\xC0\xFF\xB8"));
    EXPECT_EQ(HexToText("00C0"), std::string("\xC0"));
    EXPECT_EQ(HexToText("000D000A"), "\r\n");
    EXPECT_EQ(HexToText("004"), "");
    EXPECT_EQ(HexToText("0041004"), "A");  // leftover digits dropped
    EXPECT_EQ(HexToText("zzzz"), std::string(1, '\0'));
    EXPECT_EQ(HexToText("00410062"), "Ab");
    EXPECT_EQ(HexCodeToChar("20AC"), static_cast<char>(0xAC));  // outside the table: low byte
    EXPECT_EQ(HexCodeToChar("FFFE"), static_cast<char>(254));   // not "|"
    EXPECT_EQ(HexCodeToChar("040F"), static_cast<char>(0x0F));  // just below the block
    EXPECT_EQ(HexCodeToChar("0450"), static_cast<char>(0x50));  // between я and ё
    EXPECT_EQ(HexCodeToChar("00c0"), static_cast<char>(192));   // lower-case digits
}

TEST(MotoSysUtils, UpperCase1251) {
    struct Case {
        unsigned char Lower, Upper;
    };
    const Case cases[] = {
        {'a', 'A'},   {'z', 'Z'},   {0xE0, 0xC0}, {0xFF, 0xDF}, {0xF0, 0xD0},
        {0x90, 0x80}, {0x83, 0x81}, {0x9A, 0x8A}, {0x9C, 0x8C}, {0x9D, 0x8D},
        {0x9E, 0x8E}, {0x9F, 0x8F}, {0xA2, 0xA1}, {0xBC, 0xA3}, {0xB4, 0xA5},
        {0xB8, 0xA8}, {0xBA, 0xAA}, {0xBF, 0xAF}, {0xB3, 0xB2}, {0xBE, 0xBD},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.Lower));
        EXPECT_EQ(UpperCase1251(static_cast<char>(c.Lower)), static_cast<char>(c.Upper));
        EXPECT_EQ(UpperCase1251(static_cast<char>(c.Upper)), static_cast<char>(c.Upper));
    }
    // No lower-case letter: unchanged (B5 is the micro sign, 98 unused).
    const std::string same = std::string("5_\x40\x5B\x60\x7B\x98\xA0\xAB\xB5\xB9") + '\0';
    for (char b : same) {
        EXPECT_EQ(UpperCase1251(b), b) << int(static_cast<unsigned char>(b));
    }
    EXPECT_EQ(UpperCaseText1251("img\xB8\xE0_01.jpg"), "IMG\xA8\xC0_01.JPG");
}

TEST(MotoSysUtils, NumbersAndPaths) {
    EXPECT_EQ(IntToHex(0x2F, 4), "002F");
    EXPECT_EQ(IntToHex(0xABCDE, 2), "ABCDE");
    EXPECT_EQ(IntToHex(0, 2), "00");
    EXPECT_EQ(ClearBit(255, 3), 247u);
    EXPECT_EQ(ClearBit(255, 35), 247u);  // bit number modulo 32
    EXPECT_EQ(ClearBit(0x80000000u, 31), 0u);

    EXPECT_EQ(ExtractP2KFileName("/a/mobile/picture/img01.jpg"), "img01.jpg");
    EXPECT_EQ(ExtractP2KFileDir("/a/mobile/picture/img01.jpg"), "/a/mobile/picture/");
    EXPECT_EQ(ExtractP2KFileName("img01.jpg"), "img01.jpg");
    EXPECT_EQ(ExtractP2KFileDir("img01.jpg"), "");
    EXPECT_EQ(ExtractP2KFileName("/a/dir/"), "");
    EXPECT_EQ(ExtractP2KFileDir("/a/dir/"), "/a/dir/");
    EXPECT_EQ(ExtractP2KFileName("a\\b.jpg"), "a\\b.jpg");
}

TEST(MotoSysUtils, HexToBytes) {
    using V = std::vector<uint8_t>;
    EXPECT_EQ(HexToBytes("0000000b0007002F", 100), (V{0, 0, 0, 0x0B, 0, 0x07, 0, 0x2F}));
    EXPECT_EQ(HexToBytes("FFFE0041", 3), (V{0xFF, 0xFE, 0x00}));  // cut at the wanted size
    EXPECT_EQ(HexToBytes("ABC", 10), (V{0xAB}));                  // an odd digit is dropped
    EXPECT_EQ(HexToBytes("zz1z", 10), (V{0x00, 0x10}));           // no digit counts as 0
    EXPECT_TRUE(HexToBytes("", 10).empty());
}

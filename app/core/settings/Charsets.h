#pragma once

#include <QByteArray>
#include <QString>
#include <array>

// The font charsets of the charset choice, in their list order, with the
// charset value each one sets and the code page in which 8-bit texts of
// language files are decoded under it.
struct TCharsetEntry {
    const char* Name;      // entry text of the choice
    int Value;             // the charset identifier it sets
    const char* CodePage;  // iconv name; nullptr for DEFAULT (UTF-8 when valid, else 1252)
};

inline constexpr int DEFAULT_CHARSET = 1;
inline constexpr int DefaultCharsetIndex = 1;

inline constexpr std::array<TCharsetEntry, 19> CharsetTable = {{
    {"ANSI_CHARSET", 0, "CP1252"},         {"DEFAULT_CHARSET", 1, nullptr},
    {"SYMBOL_CHARSET", 2, "CP1252"},       {"MAC_CHARSET", 77, "MACINTOSH"},
    {"SHIFTJIS_CHARSET", 128, "CP932"},    {"HANGEUL_CHARSET", 129, "CP949"},
    {"JOHAB_CHARSET", 130, "JOHAB"},       {"GB2312_CHARSET", 134, "CP936"},
    {"CHINESEBIG5_CHARSET", 136, "CP950"}, {"GREEK_CHARSET", 161, "CP1253"},
    {"TURKISH_CHARSET", 162, "CP1254"},    {"VIETNAMESE_CHARSET", 163, "CP1258"},
    {"HEBREW_CHARSET", 177, "CP1255"},     {"ARABIC_CHARSET", 178, "CP1256"},
    {"BALTIC_CHARSET", 186, "CP1257"},     {"RUSSIAN_CHARSET", 204, "CP1251"},
    {"THAI_CHARSET", 222, "CP874"},        {"EASTEUROPE_CHARSET", 238, "CP1250"},
    {"OEM_CHARSET", 255, "CP437"},
}};

// The charset value of a list index; -1 for an index outside the table.
int charsetValueAt(int Index);

// Decodes 8-bit Text as the charset Value gives it. Undecodable bytes become
// U+FFFD; an unknown value decodes like DEFAULT_CHARSET.
QString decodeCharsetText(const QByteArray& Text, int Value);

// Decodes Text with an iconv code page name; undecodable bytes become U+FFFD.
QString decodeCodePage(const QByteArray& Text, const char* CodePage);

#include "core/settings/Charsets.h"

#include <iconv.h>

#include <QStringDecoder>
#include <cerrno>
#include <vector>

int charsetValueAt(int Index) {
    if (Index < 0 || Index >= static_cast<int>(CharsetTable.size())) {
        return -1;
    }
    return CharsetTable[static_cast<size_t>(Index)].Value;
}

QString decodeCodePage(const QByteArray& Text, const char* CodePage) {
    iconv_t cd = iconv_open("UTF-16LE", CodePage);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return QString::fromLatin1(Text);  // no such code page: show bytes as Latin-1
    }
    QString out;
    out.reserve(Text.size());
    std::vector<char> buf(Text.size() * 4 + 16);
    const auto append = [&](const char* dst) {
        out += QString::fromUtf16(reinterpret_cast<const char16_t*>(buf.data()),
                                  static_cast<qsizetype>((dst - buf.data()) / 2));
    };
    // Some converters (code pages 1255 and 1258) hold a letter back in case a
    // combining mark follows; a call without input writes it out and resets.
    const auto flush = [&] {
        char* dst = buf.data();
        size_t dstLeft = buf.size();
        iconv(cd, nullptr, nullptr, &dst, &dstLeft);
        append(dst);
    };
    char* in = const_cast<char*>(Text.constData());
    size_t inLeft = static_cast<size_t>(Text.size());
    while (inLeft > 0) {
        char* dst = buf.data();
        size_t dstLeft = buf.size();
        const size_t r = iconv(cd, &in, &inLeft, &dst, &dstLeft);
        append(dst);
        if (r != static_cast<size_t>(-1)) {
            break;
        }
        if (errno == E2BIG) {
            continue;
        }
        // An invalid or cut-short sequence: keep what was held back, mark one
        // byte and go on after it.
        flush();
        out += QChar(QChar::ReplacementCharacter);
        ++in;
        --inLeft;
    }
    flush();
    iconv_close(cd);
    return out;
}

QString decodeCharsetText(const QByteArray& Text, int Value) {
    for (const auto& c : CharsetTable) {
        if (c.Value == Value && c.CodePage) {
            return decodeCodePage(Text, c.CodePage);
        }
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(Text);
    if (!utf8.hasError()) {
        return text;
    }
    return decodeCodePage(Text, "CP1252");
}

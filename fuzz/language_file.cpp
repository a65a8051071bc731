// Language files: any bytes read as a profile, every value decoded in every
// charset of the choice. Values keep their limit, the key list its space, and
// no decoder keeps back the end of a text.

#include <QByteArray>
#include <QString>

#include "FuzzPhone.h"
#include "core/settings/Charsets.h"
#include "core/settings/ProfileReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    const QByteArray bytes(reinterpret_cast<const char*>(Data), qsizetype(Size));
    const TProfile profile = TProfile::fromBytes(bytes);
    // The sections a language file has, and one the input may name itself.
    const QByteArray firstLine = bytes.left(bytes.indexOf('\n'));
    for (const QByteArray& section :
         {QByteArray("TForm1"), QByteArray("Messages"), firstLine.mid(1, firstLine.size() - 2)}) {
        qsizetype listed = 0;
        int decoded = 0;
        for (const QByteArray& key : profile.keys(section)) {
            listed += key.size() + 1;
            FUZZ_CHECK(!key.contains('\0'));
            const auto value = profile.value(section, key);
            if (!value)
                continue;  // a name cut short by the list's end
            FUZZ_CHECK(value->size() <= TProfile::MaxValueChars);
            FUZZ_CHECK(!value->contains('\n') && !value->contains('\r'));
            // Every charset for each value takes long: a few values a
            // section are enough.
            if (++decoded > 8)
                continue;
            for (const TCharsetEntry& c : CharsetTable) {
                const QString text = decodeCharsetText(*value, c.Value);
                FUZZ_CHECK(text.size() <= value->size() * 2);
                // A line end and a letter after the value are never lost or
                // swallowed, whatever the value left unfinished.
                const QString ended = decodeCharsetText(*value + "\nZ", c.Value);
                FUZZ_CHECK(ended.endsWith(QStringLiteral("\nZ")));
            }
        }
        FUZZ_CHECK(listed <= TProfile::KeyListBytes);
    }
    return 0;
}

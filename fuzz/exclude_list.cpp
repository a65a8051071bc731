// exclude.txt: any bytes loaded as the list. Entries never hold a line end,
// and a list saved and loaded again comes back the same, unless its bytes are
// also a UTF-8 text, which loading takes for a file of an earlier version.

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QStringDecoder>

#include "FuzzPhone.h"
#include "core/files/ExcludeList.h"

namespace {

const QString& listPath() {
    static const QString path = [] {
        std::string t = fuzz::MakeScratchDir("snaprill-exclude");
        return QString::fromStdString(t) + QStringLiteral("/exclude.txt");
    }();
    return path;
}

bool readsAsEarlierUtf8(const QByteArray& Data) {
    if (Data.startsWith("\xEF\xBB\xBF"))
        return true;
    if (std::all_of(Data.begin(), Data.end(), [](char c) { return (c & 0x80) == 0; }))
        return false;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    (void)utf8.decode(Data);
    return !utf8.hasError();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    const QByteArray bytes(reinterpret_cast<const char*>(Data), qsizetype(Size));
    {
        QFile f(listPath());
        FUZZ_CHECK(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        FUZZ_CHECK(f.write(bytes) == bytes.size());
    }
    const TExcludeLoad loaded = loadExcludeList(listPath());
    FUZZ_CHECK(loaded.Exists && loaded.Error.isEmpty());
    size_t total = 0;
    for (const std::string& e : loaded.Entries) {
        FUZZ_CHECK(e.find('\r') == std::string::npos && e.find('\n') == std::string::npos);
        total += e.size();
    }
    FUZZ_CHECK(total <= Size);

    FUZZ_CHECK(saveExcludeList(listPath(), loaded.Entries).isEmpty());
    QFile saved(listPath());
    FUZZ_CHECK(saved.open(QIODevice::ReadOnly));
    const QByteArray written = saved.readAll();
    if (!readsAsEarlierUtf8(written)) {
        const TExcludeLoad again = loadExcludeList(listPath());
        FUZZ_CHECK(again.Entries == loaded.Entries);
    }
    return 0;
}

// Snaprill.conf: any bytes read as the settings. A file that cannot be parsed
// gives no values and a reason; numbers stay in their range; the values read
// are written and read back unchanged.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QSettings>

#include "FuzzPhone.h"
#include "core/settings/SettingsStore.h"

namespace {

const std::string& folder() {
    static const std::string dir = [] {
        std::string t = fuzz::MakeScratchDir("snaprill-settings");
        return t + "/";
    }();
    return dir;
}

// A text a folder or language name can be: no NUL.
QString withoutNul(const std::optional<QString>& S) {
    QString out = S.value_or(QString());
    out.remove(QChar(u'\0'));
    return out;
}

// Gives the file a modification time of its own: the settings cache keys
// its files by name and reads one again only when its size or time changed.
void stamp(const QString& Path) {
    static long long second = 1000000000;
    const timespec times[2] = {{second, 0}, {second, 0}};
    ++second;
    FUZZ_CHECK(utimensat(AT_FDCWD, QFile::encodeName(Path).constData(), times, 0) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    const QString path = QString::fromStdString(folder() + "in.conf");
    const QString back = QString::fromStdString(folder() + "out.conf");
    {
        QFile f(path);
        FUZZ_CHECK(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        FUZZ_CHECK(f.write(reinterpret_cast<const char*>(Data), qint64(Size)) == qint64(Size));
    }
    stamp(path);
    const TSettingsStore store(path);
    QString error;
    const TStoredSettings s = store.read(&error);
    const std::optional<bool> hide = store.readHide();
    if (!error.isEmpty()) {
        FUZZ_CHECK(!s.Dir && !s.Overwrite && !s.Delete && !s.Download && !s.Hide && !s.Lang &&
                   !s.Mode && !s.Charset && !s.Previews);
    } else {
        FUZZ_CHECK(hide == s.Hide);
    }

    TSettingsToWrite w;
    w.Dir = withoutNul(s.Dir);
    w.Overwrite = s.Overwrite.value_or(false);
    w.Delete = s.Delete.value_or(true);
    w.Download = s.Download.value_or(false);
    w.Hide = s.Hide.value_or(true);
    w.Lang = withoutNul(s.Lang);
    w.Mode = s.Mode.value_or(0);
    w.Charset = s.Charset.value_or(1);
    w.Previews = s.Previews.value_or(false);
    const TSettingsStore out(back);
    FUZZ_CHECK(out.write(w));
    stamp(back);  // read back from the file, not from the cache
    QString again;
    const TStoredSettings r = out.read(&again);
    FUZZ_CHECK(again.isEmpty());
    FUZZ_CHECK(r.Dir == w.Dir && r.Lang == w.Lang);
    FUZZ_CHECK(r.Overwrite == w.Overwrite && r.Delete == w.Delete && r.Download == w.Download &&
               r.Hide == w.Hide);
    FUZZ_CHECK(r.Mode == w.Mode && r.Charset == w.Charset && r.Previews == w.Previews);
    return 0;
}

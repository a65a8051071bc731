#include "core/files/DownloadHistory.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <algorithm>
#include <cstdint>

#include "MotoSysUtils.h"

namespace {

constexpr char Tab = '\t';
// A line longer than this was not written by us: five fields of at most
// 255 phone bytes each, written as three characters a byte.
constexpr qsizetype MaxLine = 4096;
const QByteArray Header =
    "# Snaprill download history: model, firmware, USB serial, size, phone path;\n"
    "# tab-separated, every byte outside ! to ~ and % itself written as %XX.\n";

QByteArray escaped(const std::string& Text) {
    static const char Hex[] = "0123456789ABCDEF";
    QByteArray out;
    out.reserve(static_cast<qsizetype>(Text.size()));
    for (const char c : Text) {
        const auto b = static_cast<unsigned char>(c);
        if (b > ' ' && b <= '~' && b != '%') {
            out.append(c);
        } else {
            out.append('%').append(Hex[b >> 4]).append(Hex[b & 0xF]);
        }
    }
    return out;
}

int hexDigit(char C) {
    if (C >= '0' && C <= '9') {
        return C - '0';
    }
    if (C >= 'A' && C <= 'F') {
        return C - 'A' + 10;
    }
    return -1;
}

// The escaped field's bytes; false for a field we would not have written.
bool unescaped(const QByteArray& Field, std::string& Out) {
    Out.clear();
    for (qsizetype i = 0; i < Field.size(); ++i) {
        const auto b = static_cast<unsigned char>(Field[i]);
        if (b == '%') {
            const int hi = i + 2 < Field.size() ? hexDigit(Field[i + 1]) : -1;
            const int lo = hi >= 0 ? hexDigit(Field[i + 2]) : -1;
            if (lo < 0) {
                return false;
            }
            Out.push_back(static_cast<char>(hi << 4 | lo));
            i += 2;
        } else if (b > ' ' && b <= '~') {
            Out.push_back(static_cast<char>(b));
        } else {
            return false;
        }
    }
    return true;
}

std::string keyOf(const TPhoneIdentity& Phone, const std::string& Name, int32_t Size) {
    // The phone's file system ignores letter case, Cyrillic included.
    return historyLine(Phone, UpperCaseText1251(Name), Size).toStdString();
}

}  // namespace

QByteArray historyLine(const TPhoneIdentity& Phone, const std::string& Name, int32_t Size) {
    return escaped(Phone.Model) + Tab + escaped(Phone.Firmware) + Tab + escaped(Phone.Serial) +
           Tab + QByteArray::number(Size) + Tab + escaped(Name);
}

bool parseHistoryLine(const QByteArray& Line, TPhoneIdentity& Phone, std::string& Name,
                      int32_t& Size) {
    if (Line.startsWith('#') || Line.size() > MaxLine) {
        return false;
    }
    const QList<QByteArray> fields = Line.split(Tab);
    if (fields.size() != 5) {
        return false;
    }
    const QByteArray& size = fields[3];
    bool ok = !size.isEmpty() &&
              std::all_of(size.begin(), size.end(), [](char c) { return c >= '0' && c <= '9'; });
    const qint64 n = ok ? size.toLongLong(&ok) : -1;
    if (!ok || n < 0 || n > INT32_MAX) {
        return false;
    }
    Size = static_cast<int32_t>(n);
    return unescaped(fields[0], Phone.Model) && unescaped(fields[1], Phone.Firmware) &&
           unescaped(fields[2], Phone.Serial) && unescaped(fields[4], Name) && !Name.empty();
}

QString TDownloadHistory::Load(const QString& Path) {
    path_ = Path;
    keys_.clear();
    if (Path.isEmpty() || !QFileInfo::exists(Path)) {
        return {};
    }
    QFile f(Path);
    if (!f.open(QIODevice::ReadOnly)) {
        return QStringLiteral("Cannot read the download history %1: %2").arg(Path, f.errorString());
    }
    TPhoneIdentity phone;
    std::string name;
    int32_t size = 0;
    while (!f.atEnd()) {
        QByteArray line = f.readLine(MaxLine + 2);
        if (!line.endsWith('\n') && !f.atEnd()) {
            // Too long to be ours: the rest of it goes unread.
            char c = 0;
            while (f.getChar(&c) && c != '\n') {
            }
            continue;
        }
        line.chop(line.endsWith("\r\n") ? 2 : line.endsWith('\n') ? 1 : 0);
        if (parseHistoryLine(line, phone, name, size)) {
            keys_.insert(keyOf(phone, name, size));
        }
    }
    return {};
}

bool TDownloadHistory::Contains(const TPhoneIdentity& Phone, const std::string& Name,
                                int32_t Size) const {
    return Phone.Known() && keys_.contains(keyOf(Phone, Name, Size));
}

QString TDownloadHistory::Record(const TPhoneIdentity& Phone, const std::string& Name,
                                 int32_t Size) {
    if (!Phone.Known() || !keys_.insert(keyOf(Phone, Name, Size)).second || path_.isEmpty()) {
        return {};
    }
    QDir().mkpath(QFileInfo(path_).absolutePath());
    QFile f(path_);
    if (!f.open(QIODevice::ReadWrite | QIODevice::Append)) {
        return QStringLiteral("Cannot write the download history %1: %2")
            .arg(path_, f.errorString());
    }
    QByteArray out;
    if (f.size() == 0) {
        out = Header;
    } else {
        // A line cut short by a program that died mid-write gets its end,
        // so that this line is not joined to it.
        char last = '\n';
        if (f.seek(f.size() - 1) && f.getChar(&last) && last != '\n') {
            out = "\n";
        }
    }
    out += historyLine(Phone, Name, Size) + '\n';
    if (f.write(out) != out.size() || !f.flush()) {
        return QStringLiteral("Cannot write the download history %1: %2")
            .arg(path_, f.errorString());
    }
    return {};
}

#include "core/files/ExcludeList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <algorithm>

#include "core/files/PhoneText.h"

namespace {

// An exclusion list is a few thousand names at most; a bigger file is read
// only this far.
constexpr qint64 MaxExcludeBytes = qint64{16} * 1024 * 1024;

// The 1251 bytes of a file written as UTF-8, or the data as it stands.
QByteArray fromEarlierUtf8(const QByteArray& Data) {
    QByteArray body = Data.startsWith("\xEF\xBB\xBF") ? Data.mid(3) : Data;
    const bool ascii =
        std::all_of(body.begin(), body.end(), [](char c) { return (c & 0x80) == 0; });
    if (ascii) {
        return body;
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(body);
    if (utf8.hasError()) {
        return Data;
    }
    const auto bytes = unicodeToPhone(text);
    return bytes ? QByteArray::fromStdString(*bytes) : Data;
}

}  // namespace

std::vector<std::string> splitLines(const QByteArray& Data) {
    std::vector<std::string> out;
    qsizetype start = 0;
    const qsizetype n = Data.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = Data[i];
        if (c != '\r' && c != '\n') {
            continue;
        }
        out.emplace_back(Data.constData() + start, static_cast<size_t>(i - start));
        if (c == '\r' && i + 1 < n && Data[i + 1] == '\n') {
            ++i;
        }
        start = i + 1;
    }
    if (start < n) {
        out.emplace_back(Data.constData() + start, static_cast<size_t>(n - start));
    }
    return out;
}

TExcludeLoad loadExcludeList(const QString& Path) {
    TExcludeLoad out;
    QFile f(Path);
    if (!f.exists()) {
        return out;
    }
    out.Exists = true;
    if (!f.open(QIODevice::ReadOnly)) {
        out.Error = QStringLiteral("Cannot read %1: %2").arg(Path, f.errorString());
        return out;
    }
    // A read of the largest size would reserve all of it for a list of a
    // few kilobytes; a file that tells its size is read as far as that.
    const qint64 size = f.size();
    const QByteArray data = f.read(size > 0 ? std::min(size, MaxExcludeBytes) : MaxExcludeBytes);
    if (f.error() != QFileDevice::NoError) {
        out.Error = QStringLiteral("Cannot read %1: %2").arg(Path, f.errorString());
        return out;
    }
    out.Entries = splitLines(fromEarlierUtf8(data));
    return out;
}

QString saveExcludeList(const QString& Path, const std::vector<std::string>& Entries) {
    QDir().mkpath(QFileInfo(Path).absolutePath());
    QSaveFile f(Path);
    if (!f.open(QIODevice::WriteOnly)) {
        return QStringLiteral("Cannot write %1: %2").arg(Path, f.errorString());
    }
    for (const std::string& e : Entries) {
        f.write(e.data(), static_cast<qint64>(e.size()));
        f.write("\r\n", 2);
    }
    if (!f.commit()) {
        return QStringLiteral("Cannot write %1: %2").arg(Path, f.errorString());
    }
    return {};
}

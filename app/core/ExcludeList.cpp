#include "core/ExcludeList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include "core/Charsets.h"

namespace {
// An exclusion list is a few thousand names at most; a bigger file is read
// only this far.
constexpr qint64 MaxExcludeBytes = 16 * 1024 * 1024;
}  // namespace

QStringList splitLines(const QString& Text) {
    QStringList out;
    qsizetype start = 0;
    const qsizetype n = Text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = Text[i];
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n')) {
            continue;
        }
        out.append(Text.mid(start, i - start));
        if (c == QLatin1Char('\r') && i + 1 < n && Text[i + 1] == QLatin1Char('\n')) {
            ++i;
        }
        start = i + 1;
    }
    if (start < n) {
        out.append(Text.mid(start));
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
    const QByteArray data = f.read(MaxExcludeBytes);
    if (f.error() != QFileDevice::NoError) {
        out.Error = QStringLiteral("Cannot read %1: %2").arg(Path, f.errorString());
        return out;
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(data);
    if (utf8.hasError()) {
        text = decodeCodePage(data, "CP1251");
    }
    if (text.startsWith(QChar(0xFEFF))) {
        text.remove(0, 1);
    }
    out.Entries = splitLines(text);
    return out;
}

QString saveExcludeList(const QString& Path, const QStringList& Entries) {
    QDir().mkpath(QFileInfo(Path).absolutePath());
    QSaveFile f(Path);
    if (!f.open(QIODevice::WriteOnly)) {
        return QStringLiteral("Cannot write %1: %2").arg(Path, f.errorString());
    }
    for (const QString& e : Entries) {
        f.write(e.toUtf8());
        f.write("\r\n", 2);
    }
    if (!f.commit()) {
        return QStringLiteral("Cannot write %1: %2").arg(Path, f.errorString());
    }
    return {};
}

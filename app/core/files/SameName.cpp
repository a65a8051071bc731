#include "core/files/SameName.h"

#include <QFile>
#include <QFileInfo>

namespace {
constexpr qsizetype MaxNameBytes = 255;
constexpr qint64 CompareChunk = qint64{64} * 1024;
}  // namespace

QString numberedName(const QString& Name, int K) {
    if (K <= 1) {
        return Name;
    }
    const qsizetype dot = Name.lastIndexOf(QLatin1Char('.'));
    QString stem = dot > 0 ? Name.left(dot) : Name;
    const QString tail = QStringLiteral(" (%1)").arg(K) + (dot > 0 ? Name.mid(dot) : QString());
    const qsizetype room = MaxNameBytes - tail.toUtf8().size();
    while (!stem.isEmpty() && stem.toUtf8().size() > room) {
        // A surrogate pair goes whole.
        stem.chop(stem.size() >= 2 && stem.back().isLowSurrogate() ? 2 : 1);
    }
    return stem + tail;
}

TNumberedNames numberedNames(const QString& Folder, const QString& Name) {
    TNumberedNames out;
    for (int k = 1; k <= MaxNumberedNames; ++k) {
        const QString name = numberedName(Name, k);
        // A folder, a link that leads nowhere: the name is taken all the same.
        if (!QFileInfo(Folder + name).exists() && !QFileInfo(Folder + name).isSymLink()) {
            out.Free = name;
            break;
        }
        out.Taken.append(name);
    }
    return out;
}

bool sameFileContents(const QString& A, const QString& B) {
    QFile a(A);
    QFile b(B);
    if (!a.open(QIODevice::ReadOnly) || !b.open(QIODevice::ReadOnly) || a.size() != b.size()) {
        return false;
    }
    while (true) {
        const QByteArray x = a.read(CompareChunk);
        const QByteArray y = b.read(CompareChunk);
        if (x != y) {
            return false;
        }
        if (x.isEmpty()) {
            return !a.error() && !b.error() && a.atEnd() && b.atEnd();
        }
    }
}

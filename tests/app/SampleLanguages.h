#pragma once

// The sample language files, as the build puts them beside the program.

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QString>

namespace test {

inline QString sampleLangDir() {
    return QFileInfo(QStringLiteral(SNAPRILL_PROGRAM)).absolutePath() + QStringLiteral("/lang");
}

// The bytes of the sample file Name; empty when it is missing.
inline QByteArray sampleLang(const QString& Name) {
    QFile f(sampleLangDir() + QLatin1Char('/') + Name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace test

#include "core/files/FolderPattern.h"

#include <QStringList>

#include "core/files/TransferRules.h"

namespace {

// The pattern's folder parts; a "/" at the end makes no part of its own.
QStringList patternParts(const QString& Pattern) {
    QString p = Pattern;
    while (p.endsWith(QLatin1Char('/'))) {
        p.chop(1);
    }
    return p.split(QLatin1Char('/'));
}

bool isToken(QChar C) {
    return C == QLatin1Char('Y') || C == QLatin1Char('m') || C == QLatin1Char('d') ||
           C == QLatin1Char('M') || C == QLatin1Char('%');
}

QString expandPart(const QString& Part, const QDate& Date, const QString& Model) {
    QString out;
    for (qsizetype i = 0; i < Part.size(); ++i) {
        if (Part[i] != QLatin1Char('%') || i + 1 == Part.size()) {
            out += Part[i];
            continue;
        }
        switch (Part[++i].unicode()) {
            case 'Y':
                out += QStringLiteral("%1").arg(Date.year(), 4, 10, QLatin1Char('0'));
                break;
            case 'm':
                out += QStringLiteral("%1").arg(Date.month(), 2, 10, QLatin1Char('0'));
                break;
            case 'd':
                out += QStringLiteral("%1").arg(Date.day(), 2, 10, QLatin1Char('0'));
                break;
            case 'M':
                out += Model;
                break;
            default:
                out += Part[i];  // "%%"
                break;
        }
    }
    return out;
}

}  // namespace

std::optional<QString> folderPatternProblem(const QString& Pattern) {
    if (Pattern.isEmpty()) {
        return QStringLiteral("the pattern is empty");
    }
    if (Pattern.startsWith(QLatin1Char('/'))) {
        return QStringLiteral("it must name folders inside the save folder, not start with \"/\"");
    }
    for (const QString& part : patternParts(Pattern)) {
        if (part.isEmpty()) {
            return QStringLiteral("it has an empty folder name (\"//\")");
        }
        if (part == QLatin1String(".") || part == QLatin1String("..")) {
            return QStringLiteral("it has a folder named \"%1\"").arg(part);
        }
        for (qsizetype i = 0; i < part.size(); ++i) {
            const char16_t u = part[i].unicode();
            if (u < 0x20 || (u >= 0x7F && u < 0xA0)) {
                return QStringLiteral("it has a control character");
            }
            if (u != '%') {
                continue;
            }
            if (i + 1 == part.size() || !isToken(part[i + 1])) {
                return QStringLiteral("%1 is not one of %Y, %m, %d, %M and %%").arg(part.mid(i, 2));
            }
            ++i;
        }
    }
    return std::nullopt;
}

bool folderPatternUsesDate(const QString& Pattern) {
    for (qsizetype i = 0; i + 1 < Pattern.size(); ++i) {
        if (Pattern[i] != QLatin1Char('%')) {
            continue;
        }
        const QChar c = Pattern[++i];
        if (c == QLatin1Char('Y') || c == QLatin1Char('m') || c == QLatin1Char('d')) {
            return true;
        }
    }
    return false;
}

std::optional<QString> expandFolderPattern(const QString& Pattern, const QDate& Date,
                                           const QString& Model) {
    if (folderPatternProblem(Pattern) || !Date.isValid()) {
        return std::nullopt;
    }
    QStringList folders;
    for (const QString& part : patternParts(Pattern)) {
        // Checked after expansion: a model may hold a "/" or be "..".
        const QString name = expandPart(part, Date, Model);
        if (!isSafeLocalName(name)) {
            return std::nullopt;
        }
        folders.append(name);
    }
    return folders.join(QLatin1Char('/'));
}

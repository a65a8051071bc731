#include "cli/CliReport.h"

#include <QJsonDocument>
#include <iterator>
#include <ostream>

namespace {
// The order of precedence of the exit statuses; higher wins.
int rank(int Code) {
    switch (Code) {
        case ExitUsage:
            return 4;
        case ExitNoPhone:
            return 3;
        case ExitLocal:
            return 2;
        case ExitFailed:
            return 1;
        default:
            return 0;
    }
}
}  // namespace

QString shownText(const QString& Text) {
    QString out = Text;
    for (QChar& c : out) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7F && u < 0xA0)) {
            c = QLatin1Char('?');
        }
    }
    return out;
}

QString humanSize(int64_t Bytes) {
    if (Bytes < 1024) {
        return QStringLiteral("%1 B").arg(Bytes);
    }
    const char* const units[] = {"kB", "MB", "GB", "TB"};
    double value = static_cast<double>(Bytes) / 1024.0;
    size_t unit = 0;
    // 1023.96 kB would read "1024.0 kB": it is 1.0 MB.
    while (value >= 1023.95 && unit + 1 < std::size(units)) {
        value /= 1024.0;
        ++unit;
    }
    return QString::number(value, 'f', 1) + QLatin1Char(' ') + QLatin1String(units[unit]);
}

void TCliReport::line(std::ostream& To, const QString& Text) {
    if (BeforePrint) {
        BeforePrint();
    }
    To << shownText(Text).toStdString() << '\n';
    To.flush();
}

void TCliReport::Print(const QString& Line) {
    if (!json_) {
        line(out_, Line);
    }
}

void TCliReport::PrintFile(const QString& Line) {
    if (!json_ && !quiet_) {
        line(out_, Line);
    }
}

void TCliReport::Note(const QString& Sentence) {
    if (!quiet_) {
        line(err_, QStringLiteral("snaprill-cli: ") + Sentence);
    }
}

void TCliReport::Error(const QString& Sentence) {
    line(err_, QStringLiteral("snaprill-cli: ") + Sentence);
    errors_.append(Sentence);
}

void TCliReport::Raise(TCliExit Code) {
    if (rank(Code) > rank(exit_)) {
        exit_ = Code;
    }
}

int TCliReport::Finish() {
    if (json_) {
        doc_.insert(QStringLiteral("errors"), errors_);
        doc_.insert(QStringLiteral("exit"), exit_);
        out_ << QJsonDocument(doc_).toJson(QJsonDocument::Indented).toStdString();
        out_.flush();
    }
    return exit_;
}

#include "core/settings/MessageFormat.h"

#include <cmath>

QString formatRoundedWidth2(double Value) {
    if (!std::isfinite(Value)) {
        return QString::number(Value).rightJustified(2, QLatin1Char(' '));
    }
    // std::round rounds halves away from zero; -0 is shown as 0.
    double rounded = std::round(Value);
    if (rounded == 0) {
        rounded = 0;
    }
    return QString::number(rounded, 'f', 0).rightJustified(2, QLatin1Char(' '));
}

std::optional<QString> formatTemplate(const QString& Template, const QList<TMessageArg>& Args) {
    QString out;
    out.reserve(Template.size() + 16);
    qsizetype next = 0;
    const qsizetype n = Template.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = Template[i];
        if (c != QLatin1Char('%')) {
            out += c;
            continue;
        }
        if (i + 1 >= n) {
            return std::nullopt;  // a lone "%" at the end
        }
        const QChar t = Template[i + 1];
        if (t == QLatin1Char('%')) {
            out += QLatin1Char('%');
            ++i;
            continue;
        }
        if (next >= Args.size()) {
            return std::nullopt;  // more placeholders than arguments
        }
        const TMessageArg& arg = Args[next];
        if (t == QLatin1Char('d') || t == QLatin1Char('D')) {
            const auto* v = std::get_if<qint64>(&arg);
            if (!v) {
                return std::nullopt;
            }
            out += QString::number(*v);
            i += 1;
        } else if (t == QLatin1Char('s') || t == QLatin1Char('S')) {
            const auto* v = std::get_if<QString>(&arg);
            if (!v) {
                return std::nullopt;
            }
            out += *v;
            i += 1;
        } else if (t == QLatin1Char('2') && i + 3 < n && Template[i + 2] == QLatin1Char('.') &&
                   (Template[i + 3] == QLatin1Char('f') || Template[i + 3] == QLatin1Char('F'))) {
            const auto* v = std::get_if<double>(&arg);
            if (!v) {
                return std::nullopt;
            }
            out += formatRoundedWidth2(*v);
            i += 3;
        } else {
            return std::nullopt;  // a placeholder this program does not write
        }
        ++next;
    }
    if (next != Args.size()) {
        return std::nullopt;  // fewer placeholders than arguments
    }
    return out;
}

QString formatMessage(const QString& Template, const QString& Fallback,
                      const QList<TMessageArg>& Args) {
    if (auto text = formatTemplate(Template, Args)) {
        return *text;
    }
    if (auto text = formatTemplate(Fallback, Args)) {
        return *text;
    }
    return Fallback;
}

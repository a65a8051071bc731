#pragma once

#include <QList>
#include <QString>
#include <optional>
#include <variant>

// One argument of a message template: an integer for "%d", a text for "%s"
// and "%S", a number for "%2.f".
using TMessageArg = std::variant<qint64, QString, double>;

// Formats Template with Args. Placeholders: "%d" an integer in decimal, "%s"
// and "%S" a text unchanged, "%2.f" a number rounded half away from zero,
// without decimal point, left-padded with spaces to two characters; "%%" is a
// literal "%". Returns nothing when the template's placeholders do not match
// the arguments one for one (missing, extra, wrong kind, unknown placeholder),
// so that a broken translation can fall back to the built-in text.
std::optional<QString> formatTemplate(const QString& Template, const QList<TMessageArg>& Args);

// Formats Template, or Fallback when Template does not fit Args. The fallback
// is the built-in text of the message; it is trusted to fit.
QString formatMessage(const QString& Template, const QString& Fallback,
                      const QList<TMessageArg>& Args);

// "%2.f" of one value: " 1" for 0.5, " 4" for 4000/1024, "12" for 12.4.
QString formatRoundedWidth2(double Value);

#pragma once

#include <QList>
#include <QString>

#include "core/settings/MessageFormat.h"

// A message the session has for its user: a template name with its
// arguments, which the front end formats from its own (possibly translated)
// template at the moment it shows it, or a text of its own (a system error).
struct TSessionMsg {
    const char* Name = nullptr;  // template name; nullptr for Text
    QList<TMessageArg> Args;
    QString Text;

    static TSessionMsg Template(const char* Name, QList<TMessageArg> Args = {}) {
        return {Name, std::move(Args), {}};
    }
    static TSessionMsg Plain(QString Text) { return {nullptr, {}, std::move(Text)}; }
};

// The message formatted from its built-in template (or its own text).
QString builtInText(const TSessionMsg& Msg);

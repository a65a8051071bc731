#include "core/session/SessionMsg.h"

#include "core/settings/MessageTemplates.h"

QString builtInText(const TSessionMsg& Msg) {
    if (!Msg.Name) {
        return Msg.Text;
    }
    const QString builtIn = builtInTemplate(QString::fromLatin1(Msg.Name));
    return formatMessage(builtIn, builtIn, Msg.Args);
}

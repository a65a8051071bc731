#include "core/settings/MessageTemplates.h"

QString builtInTemplate(const QString& Name) {
    for (const auto& t : MessageTemplates) {
        if (Name == QLatin1String(t.Name)) {
            return QString::fromUtf8(t.Caption);
        }
    }
    return {};
}

#include "core/program/LogCategories.h"

// Only warnings by default: the categories log at debug level.
Q_LOGGING_CATEGORY(lcP2K, "snaprill.p2k", QtWarningMsg)
Q_LOGGING_CATEGORY(lcUsb, "snaprill.usb", QtWarningMsg)
Q_LOGGING_CATEGORY(lcAt, "snaprill.at", QtWarningMsg)
Q_LOGGING_CATEGORY(lcSession, "snaprill.session", QtWarningMsg)
Q_LOGGING_CATEGORY(lcPreview, "snaprill.preview", QtWarningMsg)

void enableDeveloperLogging() {
    QLoggingCategory::setFilterRules(QStringLiteral("snaprill.*.debug=true"));
}

bool wireLoggingEnabled() {
    return lcP2K().isDebugEnabled() || lcUsb().isDebugEnabled() || lcAt().isDebugEnabled();
}

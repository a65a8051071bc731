#include "core/program/UserPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

#include "core/program/WindowTitle.h"
#include "core/settings/SettingsStore.h"

void setApplicationNames() {
    QCoreApplication::setOrganizationName(QStringLiteral("Brenwick"));
    QCoreApplication::setApplicationName(QString::fromLatin1(ApplicationTitle));
}

TUserPaths defaultUserPaths() {
    TUserPaths p;
    p.SettingsPath = TSettingsStore().path();
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    p.ExcludePath = data + QStringLiteral("/exclude.txt");
    p.HistoryPath = data + QStringLiteral("/history.txt");
    QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (pictures.isEmpty()) {
        pictures = QDir::homePath();
    }
    if (!pictures.endsWith(QLatin1Char('/'))) {
        pictures += QLatin1Char('/');
    }
    p.PicturesDir = pictures;
    return p;
}

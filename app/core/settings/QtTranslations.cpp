#include "core/settings/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

QTranslator* installQtTranslations(QCoreApplication& App, const QLocale& Locale) {
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    auto* translator = new QTranslator(&App);
    // "qt_xx" gathers the catalogs of every Qt module; some languages have
    // only the base module's.
    for (const char* catalog : {"qt", "qtbase"}) {
        if (translator->load(Locale, QString::fromLatin1(catalog), QStringLiteral("_"), folder)) {
            QCoreApplication::installTranslator(translator);
            return translator;
        }
    }
    delete translator;
    return nullptr;
}

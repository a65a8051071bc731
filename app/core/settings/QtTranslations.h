#pragma once

#include <QLocale>

class QCoreApplication;
class QTranslator;

// Installs Qt's own translations (the texts of its dialogs and standard
// buttons: the file and folder choosers, Yes and No) for Locale, from the
// folder Qt's translations are installed in. Returns the translator, owned
// by App (deleting it takes the translations away again), or nullptr when
// no catalog of that language is installed; the dialogs then stay English.
QTranslator* installQtTranslations(QCoreApplication& App,
                                   const QLocale& Locale = QLocale::system());

#pragma once

// The one application object of the benchmark program, whichever benchmark
// needs it first.

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "support/TestApp.h"

// Made before the first widget. The window's hidden open-file dialog
// watches the working directory and works out the type of every file that
// changes there, in the window's message pumps; an empty working directory
// keeps the figures independent of where the program is started.
inline QApplication& benchApp() {
    static QApplication& app = []() -> QApplication& {
        QStandardPaths::setTestModeEnabled(true);
        static QTemporaryDir quiet;
        QDir::setCurrent(quiet.path());
        return test::programApp<QApplication>("snaprill_bench");
    }();
    return app;
}

// A template for a temporary folder in memory where there is one: flushing
// a picture to a disk takes a varying few milliseconds that would drown
// the program's own share of a download.
inline QString memoryFolder() {
    const QString shm = QStringLiteral("/dev/shm");
    return (QFileInfo(shm).isDir() && QFileInfo(shm).isWritable() ? shm : QDir::tempPath()) +
           QStringLiteral("/snaprill-bench-XXXXXX");
}

#pragma once

#include <QApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>

// One QApplication for the whole program, made before the first widget.
// The window's hidden open-file dialog watches the working directory and
// works out the type of every file that changes there, in the window's
// message pumps; an empty working directory keeps the figures independent
// of where the program is started.
inline QApplication& benchApp() {
    static int argc = 1;
    static char name[] = "snaprill_bench";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        QStandardPaths::setTestModeEnabled(true);
        static QTemporaryDir quiet;
        QDir::setCurrent(quiet.path());
        return new QApplication(argc, argv);
    }();
    return *app;
}

// Makes the demo's virtual phones: snaprill-demo-phones FOLDER
#include <QGuiApplication>
#include <cstdio>

#include "DemoPhones.h"

int main(int argc, char** argv) {
    // Pictures are drawn off screen: no display is needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    const QStringList args = QGuiApplication::arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: snaprill-demo-phones FOLDER\n");
        return 2;
    }
    const QString error = makeDemoPhones(args[1]);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "snaprill-demo-phones: %s\n", qPrintable(error));
        return 1;
    }
    return 0;
}

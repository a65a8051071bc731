// Makes the demo's virtual phones: snaprill-demo-phones FOLDER
#include <QGuiApplication>
#include <cstdio>

#include "DemoPhones.h"

namespace {
const char* const Usage =
    "usage: snaprill-demo-phones FOLDER\n"
    "Writes the demo's two virtual phones into FOLDER (made when missing).\n"
    "A folder whose name starts with '-' is given as ./-name.\n";
}

int main(int argc, char** argv) {
    // Pictures are drawn off screen: no display is needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    const QStringList args = QGuiApplication::arguments();
    if (args.size() == 2 &&
        (args[1] == QLatin1String("--help") || args[1] == QLatin1String("-h"))) {
        std::fputs(Usage, stdout);
        return 0;
    }
    // An option is never taken for a folder to make.
    if (args.size() != 2 || args[1].isEmpty() || args[1].startsWith(QLatin1Char('-'))) {
        std::fputs(Usage, stderr);
        return 2;
    }
    const QString error = makeDemoPhones(args[1]);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "snaprill-demo-phones: %s\n", qPrintable(error));
        return 1;
    }
    return 0;
}

// snaprill-cli: the phone session from a terminal. Everything but the real
// world's pieces (the backend, the terminal, the user's paths, the event
// loop) is in the snaprill_cli library, where tests run it.
#include <sys/ioctl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <iostream>
#include <sstream>

#include "backend/Backend.h"
#include "cli/CliEnv.h"
#include "cli/CliOptions.h"
#include "core/program/LogCategories.h"
#include "core/program/UserPaths.h"
#include "wiring/BackendFactory.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv, argv + argc);
    QCoreApplication app(argc, argv);
    setApplicationNames();
    // The trace and the logging start before the backend is made, so the
    // command line is read once here for them alone (quietly: runCli reads
    // it again and tells of its errors).
    std::ostringstream quiet;
    const TParsedArgs early = parseCliArgs(args, quiet, quiet);
    TBackendOptions options;
    options.Program = "snaprill-cli";
    if (early.Options) {
        if (early.Options->Verbose) {
            enableDeveloperLogging();
        }
        options.TraceFile = early.Options->TraceFile;
        options.TraceData = early.Options->TraceData;
    }
    std::unique_ptr<TBackendHolder> backend = createBackend(options);

    TCliEnv env{backend->Backend(), std::cout, std::cerr, defaultUserPaths(), false, 80, {}, {}};
    env.ErrIsTerminal = ::isatty(STDERR_FILENO) == 1;
    winsize size{};
    if (env.ErrIsTerminal && ::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        env.TerminalWidth = size.ws_col;
    }
    // Waiting for a phone runs the event loop for a while: the device
    // events and the virtual phones' folder watch come through it.
    env.Idle = [](int Ms) {
        QEventLoop loop;
        QTimer::singleShot(Ms, &loop, &QEventLoop::quit);
        loop.exec();
    };
    env.Doctor = [&backend](const std::string& Versions) { return backend->Doctor(Versions); };
    return runCli(env, args);
}

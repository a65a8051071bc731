// The command line's entry: the arguments read, the stop signals taken, the
// command run, and its report finished.
#include <QJsonObject>

#include "cli/CliCommands.h"
#include "cli/CliEnv.h"
#include "cli/CliOptions.h"
#include "cli/CliReport.h"
#include "cli/StopSignals.h"

namespace {
const char* commandName(TCliCommand Command) {
    switch (Command) {
        case TCliCommand::Phones:
            return "phones";
        case TCliCommand::List:
            return "ls";
        case TCliCommand::Get:
            return "get";
        case TCliCommand::Put:
            return "put";
        case TCliCommand::Remove:
            return "rm";
        case TCliCommand::ExcludeList:
        case TCliCommand::ExcludeAdd:
        case TCliCommand::ExcludeRemove:
            return "exclude";
        case TCliCommand::Mount:
            return "mount";
        case TCliCommand::Unmount:
            return "umount";
        case TCliCommand::Doctor:
            return "doctor";
    }
    return "";
}
}  // namespace

int runCli(TCliEnv& Env, const std::vector<std::string>& Args) {
    const TParsedArgs parsed = parseCliArgs(Args, Env.Out, Env.Err);
    if (!parsed.Options) {
        return parsed.Exit;
    }
    const TCliOptions& options = *parsed.Options;
    TCliReport report(Env.Out, Env.Err);
    report.SetStyle(options.Json, options.Quiet);
    report.Doc().insert(QStringLiteral("command"),
                        QString::fromLatin1(commandName(options.Command)));
    TStopSignals stops;
    switch (options.Command) {
        case TCliCommand::Phones:
            runPhones(Env, options, report);
            break;
        case TCliCommand::List:
            runList(Env, options, report);
            break;
        case TCliCommand::Get:
            runGet(Env, options, report);
            break;
        case TCliCommand::Put:
            runPut(Env, options, report);
            break;
        case TCliCommand::Remove:
            runRemove(Env, options, report);
            break;
        case TCliCommand::ExcludeList:
        case TCliCommand::ExcludeAdd:
        case TCliCommand::ExcludeRemove:
            runExclude(Env, options, report);
            break;
        case TCliCommand::Mount:
            runMount(Env, options, report);
            break;
        case TCliCommand::Unmount:
            runUnmount(Env, options, report);
            break;
        case TCliCommand::Doctor:
            runDoctor(Env, options, report);
            break;
    }
    return report.Finish();
}

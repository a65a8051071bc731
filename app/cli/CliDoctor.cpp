// snaprill-cli doctor: what keeps a phone from being used, one line a
// finding, each with what to do.
#include <QJsonArray>
#include <QJsonObject>

#include "cli/CliCommands.h"
#include "cli/CliEnv.h"
#include "cli/CliOptions.h"
#include "cli/CliReport.h"

namespace {
const char* levelName(TFindingLevel Level) {
    switch (Level) {
        case TFindingLevel::Ok:
            return "ok";
        case TFindingLevel::Note:
            return "note";
        case TFindingLevel::Problem:
            return "problem";
    }
    return "problem";
}
}  // namespace

void runDoctor(TCliEnv& Env, const TCliOptions& Options, TCliReport& Report) {
    (void)Options;
    if (!Env.Doctor) {
        Report.Fail(ExitNoPhone, QStringLiteral("this program cannot look at the system"));
        return;
    }
    const std::string versions = std::string("Snaprill ") + SNAPRILL_VERSION + ", Qt " + qVersion();
    const TDoctorReport found = Env.Doctor(versions);
    QJsonArray findings;
    for (const TDoctorFinding& f : found.Findings) {
        // Every finding is the result, -q or not: that is what was asked for.
        Report.Print(shownText(QString::fromStdString(FormatFinding(f))));
        findings.append(
            QJsonObject{{QStringLiteral("level"), QString::fromLatin1(levelName(f.Level))},
                        {QStringLiteral("topic"), QString::fromStdString(f.Topic)},
                        {QStringLiteral("text"), QString::fromStdString(f.Text)},
                        {QStringLiteral("advice"), QString::fromStdString(f.Advice)}});
    }
    Report.Doc().insert(QStringLiteral("findings"), findings);
    Report.Doc().insert(QStringLiteral("usable"), found.PhoneUsable);
    if (!found.PhoneUsable) {
        Report.Raise(ExitNoPhone);
    }
}

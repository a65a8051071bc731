// exclude: the exclusion list file the window uses, listed and changed.
#include <QJsonArray>
#include <QJsonObject>

#include "cli/CliCommands.h"
#include "cli/CliEnv.h"
#include "cli/CliOptions.h"
#include "cli/CliReport.h"
#include "core/files/ExcludeIndex.h"
#include "core/files/ExcludeList.h"
#include "core/files/ListRules.h"
#include "core/files/PhoneText.h"

void runExclude(TCliEnv& Env, const TCliOptions& Options, TCliReport& Report) {
    const QString path = Env.Paths.ExcludePath;
    const TExcludeLoad load = loadExcludeList(path);
    if (!load.Error.isEmpty()) {
        // Writing over a list that could not be read would lose it.
        Report.Fail(ExitFailed, load.Error);
        return;
    }
    TExcludeIndex index;
    index.Assign(load.Entries);
    bool changed = false;
    // A file's own name is the picture of that name in the pictures folder
    // of the drive (--drive, /a by default), as other commands take it.
    std::string drive = Options.Drive.empty() ? std::string("/a") : Options.Drive;
    while (drive.size() > 1 && drive.back() == '/') {
        drive.pop_back();
    }
    if (drive.front() != '/') {
        drive.insert(drive.begin(), '/');
    }
    for (const std::string& arg : Options.Names) {
        const bool own = arg.find('/') == std::string::npos;
        const QString name = QString::fromStdString(own ? drive + PictureFolder + arg : arg);
        const std::optional<std::string> bytes = unicodeToPhone(name);
        if (!bytes || bytes->empty() || bytes->front() != '/' || arg.empty()) {
            Report.Fail(ExitUsage, bytes ? QStringLiteral("%1: not a phone name such as "
                                                          "/a/mobile/picture/x.jpg or x.jpg")
                                               .arg(QString::fromStdString(arg))
                                         : QStringLiteral("%1: no phone file can have that name")
                                               .arg(QString::fromStdString(arg)));
            continue;
        }
        if (Options.Command == TCliCommand::ExcludeAdd) {
            if (index.AddUnique(*bytes)) {
                changed = true;
                Report.PrintFile(QStringLiteral("added %1").arg(name));
            } else {
                Report.PrintFile(QStringLiteral("%1 is on the list already").arg(name));
            }
        } else {
            bool removed = false;
            while (index.RemoveFirst(*bytes)) {
                removed = true;
            }
            changed = changed || removed;
            if (removed) {
                Report.PrintFile(QStringLiteral("removed %1").arg(name));
            } else {
                Report.Fail(ExitFailed, QStringLiteral("%1 is not on the list").arg(name));
            }
        }
    }
    if (changed) {
        if (const QString error = saveExcludeList(path, index.Entries()); !error.isEmpty()) {
            Report.Fail(ExitLocal, error);
        }
    }
    QJsonArray names;
    for (const std::string& entry : index.Entries()) {
        names.append(phoneToUnicode(entry));
        if (Options.Command == TCliCommand::ExcludeList) {
            Report.Print(phoneToUnicode(entry));
        }
    }
    Report.Doc().insert(QStringLiteral("file"), path);
    Report.Doc().insert(QStringLiteral("excluded"), names);
}

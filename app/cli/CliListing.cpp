// The commands that show what is there: phones and ls.
#include <QJsonArray>
#include <QJsonObject>

#include "cli/CliCommands.h"
#include "cli/CliOptions.h"
#include "cli/CliPhone.h"
#include "cli/CliReport.h"
#include "core/files/FileRows.h"
#include "core/files/PhoneText.h"
#include "core/session/PhoneSession.h"

void runPhones(TCliEnv& Env, const TCliOptions& Options, TCliReport& Report) {
    TCliPhone phone(Env, Options, Report);
    if (!phone.Start(mmPhotoManager)) {
        return;
    }
    QJsonArray list;
    const QStringList& entries = phone.Session().PhoneEntries();
    for (int i = 0; i < entries.size(); ++i) {
        const bool held = phone.HeldElsewhere(i);
        Report.Print(
            QStringLiteral("%1  %2  P2K%3")
                .arg(i + 1)
                .arg(entries[i], held ? QStringLiteral(", in use by another program") : QString()));
        list.append(QJsonObject{{QStringLiteral("index"), i + 1},
                                {QStringLiteral("name"), entries[i]},
                                {QStringLiteral("mode"), QStringLiteral("P2K")},
                                {QStringLiteral("in_use"), held}});
    }
    const QStringList modems = phone.Modems();
    for (const QString& modem : modems) {
        Report.Print(QStringLiteral("-  %1  modem").arg(modem));
        list.append(QJsonObject{{QStringLiteral("index"), QJsonValue()},
                                {QStringLiteral("name"), modem},
                                {QStringLiteral("mode"), QStringLiteral("modem")},
                                {QStringLiteral("in_use"), false}});
    }
    Report.Doc().insert(QStringLiteral("phones"), list);
    if (list.isEmpty()) {
        Report.Fail(ExitNoPhone, QStringLiteral("no phone is connected"));
    }
}

void runList(TCliEnv& Env, const TCliOptions& Options, TCliReport& Report) {
    TCliPhone phone(Env, Options, Report);
    const bool pictures = !Options.Files;
    if (!phone.Start(pictures ? mmPhotoManager : mmFileManager) || !phone.Choose()) {
        return;
    }
    const TFileRows& rows = phone.Session().Rows();
    QJsonArray files;
    int64_t bytes = 0;
    int excluded = 0;
    for (int i = 0; i < rows.Count(); ++i) {
        const TFileRow& row = rows.At(i);
        const QString name = phoneToUnicode(row.Name);
        // Only pictures are ever excluded, as the window marks them.
        const bool marked = pictures && row.Checked;
        Report.Print(QStringLiteral("%1  %2%3")
                         .arg(row.Size, 10)
                         .arg(name, marked ? QStringLiteral("  (excluded)") : QString()));
        files.append(QJsonObject{{QStringLiteral("name"), name},
                                 {QStringLiteral("size"), row.Size},
                                 {QStringLiteral("excluded"), marked}});
        bytes += row.Size;
        excluded += marked ? 1 : 0;
    }
    QString summary = QStringLiteral("%1 files, %2").arg(rows.Count()).arg(humanSize(bytes));
    if (excluded > 0) {
        summary += QStringLiteral(", %1 excluded").arg(excluded);
    }
    Report.Print(summary);

    QJsonObject& doc = Report.Doc();
    doc.insert(QStringLiteral("phone"), Options.Phone);
    doc.insert(QStringLiteral("name"), phone.PhoneName());
    doc.insert(QStringLiteral("drive"), phoneToUnicode(phone.Session().ChosenDriveName()));
    doc.insert(QStringLiteral("kind"),
               pictures ? QStringLiteral("pictures") : QStringLiteral("files"));
    doc.insert(QStringLiteral("files"), files);
    doc.insert(QStringLiteral("count"), rows.Count());
    doc.insert(QStringLiteral("bytes"), static_cast<qint64>(bytes));
    doc.insert(QStringLiteral("complete"), !phone.ListIncomplete());
    if (phone.StillThere() && phone.ListIncomplete()) {
        Report.Fail(ExitFailed, QStringLiteral("the phone's file list could not be read in full: "
                                               "the phone holds files not shown"));
    }
}

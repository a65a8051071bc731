// The commands that show what is there: phones and ls.
#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>

#include "MotoP2KMode.h"
#include "cli/CliCommands.h"
#include "cli/CliOptions.h"
#include "cli/CliPhone.h"
#include "cli/CliReport.h"
#include "core/files/FileRows.h"
#include "core/files/PhoneText.h"
#include "core/session/PhoneSession.h"

namespace {
// What is known of a phone another program holds: it cannot be asked its
// model, but its USB identity is seen.
QString heldPhoneName(const TMotoP2KModemItem* Item) {
    static const QRegularExpression ids(
        QStringLiteral("VID_([0-9A-Fa-f]{4})&PID_([0-9A-Fa-f]{4})"));
    const QRegularExpressionMatch m =
        Item ? ids.match(QString::fromStdString(Item->ModemInfo().HardwareID))
             : QRegularExpressionMatch();
    return m.hasMatch() ? QStringLiteral("unknown model (USB %1:%2)")
                              .arg(m.captured(1).toLower(), m.captured(2).toLower())
                        : QStringLiteral("unknown model");
}
}  // namespace

void runPhones(TCliEnv& Env, const TCliOptions& Options, TCliReport& Report) {
    TCliPhone phone(Env, Options, Report);
    const TModemPolicy modems = Options.Switch ? TModemPolicy::SwitchAll : TModemPolicy::Leave;
    if (!phone.Start(mmPhotoManager, modems)) {
        return;
    }
    TPhoneSession& session = phone.Session();
    QJsonArray list;
    const QStringList& entries = session.PhoneEntries();
    for (int i = 0; i < entries.size(); ++i) {
        const bool held = phone.HeldElsewhere(i);
        const QString name =
            held ? heldPhoneName(session.P2K().DeviseList().Hold(i).get()) : entries[i];
        Report.Print(
            QStringLiteral("%1  %2  P2K%3")
                .arg(i + 1)
                .arg(name, held ? QStringLiteral(", in use by another program") : QString()));
        list.append(QJsonObject{{QStringLiteral("index"), i + 1},
                                {QStringLiteral("name"), name},
                                {QStringLiteral("mode"), QStringLiteral("P2K")},
                                {QStringLiteral("in_use"), held}});
    }
    // Phones in modem mode follow, numbered on: a command given one of
    // their numbers switches that phone alone.
    const QStringList modemNames = session.ModemEntries();
    for (int j = 0; j < modemNames.size(); ++j) {
        const int index = static_cast<int>(entries.size()) + j + 1;
        const bool switching = modems == TModemPolicy::SwitchAll;
        Report.Print(
            QStringLiteral("%1  %2  modem%3")
                .arg(index)
                .arg(modemNames[j], switching ? QStringLiteral(", switching to P2K") : QString()));
        list.append(QJsonObject{{QStringLiteral("index"), index},
                                {QStringLiteral("name"), modemNames[j]},
                                {QStringLiteral("mode"), QStringLiteral("modem")},
                                {QStringLiteral("switching"), switching},
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

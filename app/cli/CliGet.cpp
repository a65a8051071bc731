// get: the named or every listed file downloaded by the session's own
// download, with its rules, into DIR.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <filesystem>
#include <system_error>

#include "cli/CliCommands.h"
#include "cli/CliEnv.h"
#include "cli/CliOptions.h"
#include "cli/CliPhone.h"
#include "cli/CliReport.h"
#include "core/files/PhoneText.h"
#include "core/session/PhoneSession.h"
#include "core/settings/SettingsStore.h"

namespace {

// DIR: --to, else the window's stored save folder, else the Pictures
// folder; absolute, ending in "/".
// --also-to's folder, absolute and ending in "/"; empty for none.
QString secondFolder(const TCliOptions& Options) {
    if (Options.AlsoTo.empty()) {
        return {};
    }
    const QString folder = QDir(QString::fromStdString(Options.AlsoTo)).absolutePath();
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

QString targetFolder(const TCliEnv& Env, const TCliOptions& Options) {
    QString folder = QString::fromStdString(Options.To);
    if (folder.isEmpty()) {
        folder = TSettingsStore(Env.Paths.SettingsPath).read().Dir.value_or(Env.Paths.PicturesDir);
    }
    folder = QDir(folder).absolutePath();
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

const char* fateName(TDownloadFate Fate) {
    switch (Fate) {
        case TDownloadFate::Downloaded:
            return "downloaded";
        case TDownloadFate::Existing:
            return "exists";
        case TDownloadFate::Excluded:
            return "excluded";
        case TDownloadFate::Known:
            return "known";
        case TDownloadFate::BadName:
            return "bad-name";
        case TDownloadFate::Failed:
            break;
    }
    return "failed";
}

// Why a downloaded picture stayed on the phone under --delete-after.
QString keptText(const TDownloadedRow& Row, const QString& Name) {
    switch (Row.Kept) {
        case TKeptOnPhone::NotFlushed:
            return QStringLiteral(
                       "%1 stays on the phone: its copy could not be flushed to the "
                       "disk")
                .arg(Name);
        case TKeptOnPhone::SecondDiffers:
            return QStringLiteral(
                       "%1 stays on the phone: the second folder holds another "
                       "picture of that name")
                .arg(Name);
        case TKeptOnPhone::No:
        case TKeptOnPhone::NotDeleted:
            break;
    }
    return QStringLiteral("%1 stays on the phone: the phone did not delete it").arg(Name);
}

}  // namespace

void runGet(TCliEnv& Env, const TCliOptions& Options, TCliReport& Report) {
    const QString folder = targetFolder(Env, Options);
    std::error_code error;
    std::filesystem::create_directories(QFile::encodeName(folder).toStdString(), error);
    if (error) {
        Report.Fail(ExitLocal, QStringLiteral("cannot create the folder %1: %2")
                                   .arg(folder, QString::fromStdString(error.message())));
        return;
    }
    TCliPhone phone(Env, Options, Report);
    if (!phone.Start(Options.Files ? mmFileManager : mmPhotoManager) || !phone.Choose()) {
        return;
    }
    TPhoneSession& session = phone.Session();
    selectNamed(session, Options.Names, Report);
    std::vector<TProgressFile> progress;
    for (const TFileRow& row : session.Rows().SelectedRows()) {
        progress.push_back({phoneToUnicode(row.Name), row.Size});
    }
    phone.SetTransferFiles(std::move(progress));
    TTerminalHost& host = phone.Host();
    host.Folder = folder;
    host.Overwrite = Options.Overwrite;
    host.DeleteAfter = Options.DeleteAfter;
    host.NewOnly = Options.NewOnly;
    host.KeepBoth = Options.KeepBoth;
    host.Pattern = QString::fromStdString(Options.Into);
    host.Second = secondFolder(Options);
    // The pictures downloaded before, by the window or the command line; this
    // download's complete pictures join them.
    const QString historyError = session.History().Load(Env.Paths.HistoryPath);
    if (!historyError.isEmpty()) {
        Report.Error(historyError);
    }
    session.Download();
    const TDownloadOutcome& outcome = session.LastDownload();
    const TCommandEnd end = session.LastOutcome(TCommandKind::Download).End;
    const bool localFailure = end == TCommandEnd::LocalFailure;
    const bool whole = phone.StillThere();

    int downloaded = 0, skipped = 0, failed = 0, deleted = 0;
    QJsonArray files;
    for (size_t i = 0; i < outcome.Rows.size(); ++i) {
        const TDownloadedRow& row = outcome.Rows[i];
        const QString name = phoneToUnicode(row.Name);
        const bool last = i + 1 == outcome.Rows.size();
        switch (row.Fate) {
            case TDownloadFate::Downloaded:
                ++downloaded;
                Report.PrintFile(
                    QStringLiteral("downloaded %1 -> %2%3%4")
                        .arg(name, row.Local,
                             row.Second.isEmpty() ? QString()
                                                  : QStringLiteral(" and %1").arg(row.Second),
                             row.Deleted ? QStringLiteral(", deleted from the phone") : QString()));
                if (Options.DeleteAfter && !row.Deleted && !(last && !whole)) {
                    Report.Fail(ExitFailed, keptText(row, name));
                }
                break;
            case TDownloadFate::Existing:
                ++skipped;
                Report.PrintFile(QStringLiteral("skipped %1: %2 exists").arg(name, row.Local));
                break;
            case TDownloadFate::Excluded:
                ++skipped;
                Report.PrintFile(QStringLiteral("skipped %1: on the exclusion list").arg(name));
                break;
            case TDownloadFate::Known:
                ++skipped;
                Report.PrintFile(QStringLiteral("skipped %1: downloaded before").arg(name));
                break;
            case TDownloadFate::BadName:
                ++failed;
                Report.Fail(ExitFailed,
                            QStringLiteral("%1: the name cannot be a local file name, so it was "
                                           "not downloaded")
                                .arg(name));
                break;
            case TDownloadFate::Failed:
                ++failed;
                // A local failure was told with its reason already, and a
                // command cut short is told below.
                if (!(last && (localFailure || end == TCommandEnd::Interrupted || !whole))) {
                    Report.Fail(ExitFailed,
                                QStringLiteral("download of %1 failed: the phone did not give "
                                               "all of it")
                                    .arg(name));
                }
                break;
        }
        deleted += row.Deleted ? 1 : 0;
        files.append(
            QJsonObject{{QStringLiteral("name"), name},
                        {QStringLiteral("local"), row.Local},
                        {QStringLiteral("second"), row.Second},
                        {QStringLiteral("result"), QString::fromLatin1(fateName(row.Fate))},
                        {QStringLiteral("deleted"), row.Deleted}});
    }
    if (localFailure) {
        Report.Raise(ExitLocal);
    } else if (end == TCommandEnd::Interrupted && whole) {
        Report.Fail(ExitFailed, QStringLiteral("the download stopped before its end"));
    }
    QString summary = QStringLiteral("%1 downloaded, %2 skipped, %3 failed")
                          .arg(downloaded)
                          .arg(skipped)
                          .arg(failed);
    if (Options.DeleteAfter) {
        summary += QStringLiteral(", %1 deleted from the phone").arg(deleted);
    }
    Report.PrintFile(summary);

    QJsonObject& doc = Report.Doc();
    doc.insert(QStringLiteral("phone"), Options.Phone);
    doc.insert(QStringLiteral("folder"), folder);
    doc.insert(QStringLiteral("files"), files);
    doc.insert(QStringLiteral("downloaded"), downloaded);
    doc.insert(QStringLiteral("skipped"), skipped);
    doc.insert(QStringLiteral("failed"), failed);
    doc.insert(QStringLiteral("deleted"), deleted);
}

// put and rm: the session's upload and delete, with each file's result.
#include <fcntl.h>
#include <unistd.h>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <cerrno>
#include <cstring>

#include "cli/CliCommands.h"
#include "cli/CliOptions.h"
#include "cli/CliPhone.h"
#include "cli/CliReport.h"
#include "core/files/ListRules.h"
#include "core/files/PhoneText.h"
#include "core/files/TransferRules.h"
#include "core/session/PhoneSession.h"

namespace {

// Why a local file cannot be read, or nothing when it can.
QString unreadable(const QString& Path) {
    if (QFileInfo(Path).isDir()) {
        return QStringLiteral("it is a folder");
    }
    const int fd = ::open(QFile::encodeName(Path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return QString::fromLocal8Bit(std::strerror(errno));
    }
    ::close(fd);
    return {};
}

}  // namespace

void runPut(TCliEnv& Env, const TCliOptions& Options, TCliReport& Report) {
    QStringList files;
    std::vector<TProgressFile> progress;
    for (const std::string& arg : Options.Names) {
        const QString path = QFileInfo(QString::fromStdString(arg)).absoluteFilePath();
        if (const QString why = unreadable(path); !why.isEmpty()) {
            Report.Fail(ExitFailed, QStringLiteral("cannot read %1: %2").arg(path, why));
            continue;
        }
        files.append(path);
        progress.push_back({QFileInfo(path).fileName(), QFileInfo(path).size()});
    }
    std::string folder;
    if (!Options.To.empty()) {
        const std::optional<std::string> bytes = unicodeToPhone(QString::fromStdString(Options.To));
        if (!bytes) {
            Report.Fail(ExitUsage, QStringLiteral("%1 cannot be a phone folder: the phone's code "
                                                  "page has no letter for a character of it")
                                       .arg(QString::fromStdString(Options.To)));
            return;
        }
        folder = bytes->back() == '/' ? *bytes : *bytes + '/';
    }
    if (files.isEmpty()) {
        return;
    }
    TCliPhone phone(Env, Options, Report);
    if (!phone.Start(mmPhotoManager) || !phone.Choose()) {
        return;
    }
    TPhoneSession& session = phone.Session();
    if (!folder.empty()) {
        // File Manager's upload goes to the folder chosen, Photo Manager's
        // to the pictures folder of the drive.
        session.SetMode(mmFileManager, false);
        phone.Host().PhoneFolder = folder;
    } else {
        folder = session.ChosenDriveName() + PictureFolder;
    }
    phone.Host().Files = files;
    phone.SetTransferFiles(std::move(progress));
    session.Upload();
    const TUploadOutcome& outcome = session.LastUpload();
    const bool localFailure =
        session.LastOutcome(TCommandKind::Upload).End == TCommandEnd::LocalFailure;
    const bool whole = phone.StillThere();

    QJsonArray results;
    for (const QString& file : files) {
        const std::optional<std::string> name = uploadPhoneName(folder, file);
        QString result = QStringLiteral("not-reached");
        if (outcome.Uploaded.contains(file)) {
            result = QStringLiteral("uploaded");
            Report.PrintFile(QStringLiteral("uploaded %1 -> %2").arg(file, phoneToUnicode(*name)));
        } else if (!name) {
            result = QStringLiteral("bad-name");
            Report.Fail(ExitFailed, QStringLiteral("%1: its name cannot be written on the phone "
                                                   "(the phone's code page has no letter for a "
                                                   "character of it)")
                                        .arg(file));
        } else if (outcome.Failed.contains(file)) {
            result = QStringLiteral("failed");
            if (!localFailure || file != outcome.Failed.back()) {
                Report.Fail(ExitFailed, QStringLiteral("upload of %1 failed: the phone did not "
                                                       "take all of it")
                                            .arg(file));
            }
        } else if (whole) {
            Report.Fail(ExitFailed, QStringLiteral("%1 was not uploaded").arg(file));
        }
        results.append(
            QJsonObject{{QStringLiteral("file"), file},
                        {QStringLiteral("name"), name ? phoneToUnicode(*name) : QString()},
                        {QStringLiteral("result"), result}});
    }
    if (localFailure) {
        Report.Raise(ExitFailed);
    }
    Report.Doc().insert(QStringLiteral("phone"), Options.Phone);
    Report.Doc().insert(QStringLiteral("files"), results);
    Report.Doc().insert(QStringLiteral("uploaded"), static_cast<int>(outcome.Uploaded.size()));
}

void runRemove(TCliEnv& Env, const TCliOptions& Options, TCliReport& Report) {
    TCliPhone phone(Env, Options, Report);
    if (!phone.Start(Options.Files ? mmFileManager : mmPhotoManager) || !phone.Choose()) {
        return;
    }
    TPhoneSession& session = phone.Session();
    selectNamed(session, Options.Names, Report);
    const std::vector<TFileRow> chosen = session.Rows().SelectedRows();
    if (chosen.empty()) {
        return;
    }
    session.Delete();  // and lists the phone again
    const bool whole = phone.StillThere();
    QJsonArray results;
    for (const TFileRow& row : chosen) {
        const QString name = phoneToUnicode(row.Name);
        bool listed = false;
        for (int i = 0; i < session.Rows().Count() && !listed; ++i) {
            listed = session.Rows().At(i).Name == row.Name;
        }
        const bool gone = whole && !listed && !phone.ListIncomplete();
        if (gone) {
            Report.PrintFile(QStringLiteral("deleted %1").arg(name));
        } else if (whole) {
            Report.Fail(ExitFailed, listed ? QStringLiteral("%1 is still on the phone: the phone "
                                                            "did not delete it")
                                                 .arg(name)
                                           : QStringLiteral("%1 may still be on the phone: its "
                                                            "file list could not be read in full")
                                                 .arg(name));
        }
        results.append(
            QJsonObject{{QStringLiteral("name"), name}, {QStringLiteral("deleted"), gone}});
    }
    Report.Doc().insert(QStringLiteral("phone"), Options.Phone);
    Report.Doc().insert(QStringLiteral("files"), results);
}

// mount and umount: the phone shown as a folder, served by the same phone
// session as every other command.
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <QTimer>

#include "backend/Backend.h"
#include "cli/CliCommands.h"
#include "cli/CliEnv.h"
#include "cli/CliOptions.h"
#include "cli/CliPhone.h"
#include "cli/CliReport.h"
#include "cli/StopSignals.h"
#include "mount/FuseMount.h"
#include "mount/MountServer.h"
#include "mount/MountSignals.h"
#include "mount/PhoneFs.h"
#include "mount/SessionPhone.h"

namespace {

// The file system type our mounts show in /proc/self/mountinfo.
const QString MountType = QStringLiteral("fuse.snaprill");
// How long umount waits for the server of a mount to let go of its phone.
constexpr int ServerEndMs = 10000;

TCliExit exitOf(int Status) {
    return Status >= ExitFailed && Status <= ExitLocal ? static_cast<TCliExit>(Status) : ExitFailed;
}

// Starts the server in the background and tells what it said.
void startInBackground(const TCliOptions& Options, const QString& Dir, TCliReport& Report) {
    QStringList args{QStringLiteral("mount"),     Dir,
                     QStringLiteral("-f"),        QStringLiteral("-q"),
                     QStringLiteral("--phone"),   QString::number(Options.Phone),
                     QStringLiteral("--refresh"), QString::number(Options.RefreshSeconds)};
    if (Options.ReadOnly) {
        args.append(QStringLiteral("--read-only"));
    }
    if (Options.WaitSeconds >= 0) {
        args << QStringLiteral("--wait") << QString::number(Options.WaitSeconds);
    }
    const TServerStart start = startServer(args);
    for (const QByteArray& line : start.Output.split('\n')) {
        if (!line.isEmpty()) {
            Report.Print(QString::fromUtf8(line));
        }
    }
    // Its errors are told as this command's own.
    const QByteArray prefix = "snaprill-cli: ";
    for (QByteArray line : start.Errors.split('\n')) {
        if (line.startsWith(prefix)) {
            line = line.mid(prefix.size());
        }
        if (!line.isEmpty()) {
            Report.Error(QString::fromUtf8(line));
        }
    }
    if (!start.Mounted) {
        Report.Raise(exitOf(start.Exit));
        return;
    }
    Report.Doc().insert(QStringLiteral("dir"), Dir);
    Report.Doc().insert(QStringLiteral("phone"), Options.Phone);
}

// Serves the mount until it is unmounted, or a signal ends it.
void serve(TCliEnv& Env, const TCliOptions& Options, TCliReport& Report, const QString& Dir,
           int Notice) {
    auto phone = std::make_unique<TCliPhone>(Env, Options, Report);
    if (!phone->Start(mmFileManager) || !phone->Choose()) {
        return;
    }
    QString error;
    std::unique_ptr<TCacheFolder> cache = TCacheFolder::Make(error);
    if (!cache) {
        Report.Fail(ExitLocal, error);
        return;
    }
    // The folder's requests are answered while the phone transfers a file.
    phone->Host().AtPause = [] { QCoreApplication::processEvents(); };
    TSessionPhone sessionPhone(phone->Session(), Env.Backend.Clock, !phone->ListIncomplete());
    TMountOptions mountOptions;
    mountOptions.ReadOnly = Options.ReadOnly;
    mountOptions.RefreshSeconds = Options.RefreshSeconds;
    TPhoneFs fs(sessionPhone, *cache, mountOptions);
    sessionPhone.OnLost = [&fs] { fs.PhoneLost(); };
    // Lets go of the phone: a new mount, the window or another command may
    // take it once this one is done with it.
    auto letGo = [&] {
        if (phone) {
            sessionPhone.Detach();
            phone.reset();
        }
    };
    const QString lostText = QStringLiteral(
                                 "phone %1 was lost: every request in %2 fails with an "
                                 "input/output error until it is unmounted")
                                 .arg(Options.Phone)
                                 .arg(Dir);
    // A stop asked for from here on ends the mount in order, also one that
    // comes before the loop runs.
    TMountSignals stopSignals;
    QEventLoop loop;
    bool stopped = TStopSignals::Asked();
    QObject::connect(&stopSignals, &TMountSignals::asked, &loop, [&] {
        stopped = true;
        fs.Shutdown();
        loop.quit();
    });
    if (!fs.Start()) {
        Report.Fail(ExitNoPhone,
                    QStringLiteral("phone %1 was lost during the command").arg(Options.Phone));
        return;
    }
    if (stopped || TStopSignals::Asked()) {
        Report.Fail(ExitFailed,
                    QStringLiteral("stopped by a signal before the folder was mounted"));
        return;
    }
    TFuseMount mount(fs);
    if (!mount.Mount(Dir, Options.ReadOnly, error)) {
        Report.Fail(ExitLocal, QStringLiteral("cannot mount %1: %2").arg(Dir, error));
        return;
    }
    noteServer(mount.Device());
    QObject::connect(&mount, &TFuseMount::ended, &loop, [&] {
        fs.Shutdown();
        loop.quit();
    });
    QObject::connect(&fs, &TPhoneFs::lost, &loop, [&] {
        Report.Fail(ExitNoPhone, lostText);
        // Once the command that found it gone has returned.
        QTimer::singleShot(0, &loop, letGo);
    });
    Report.Doc().insert(QStringLiteral("dir"), Dir);
    Report.Doc().insert(QStringLiteral("phone"), Options.Phone);
    if (Notice >= 0) {
        tellMounted(Notice);
    } else {
        Report.Note(QStringLiteral("phone %1 (%2) is shown in %3; Ctrl+C or `snaprill-cli umount "
                                   "%3` ends it")
                        .arg(Options.Phone)
                        .arg(phone->PhoneName(), Dir));
    }
    if (!stopped) {
        loop.exec();
    }

    // The phone first, so that whatever runs next after the unmount finds
    // it free; then the files kept of it, then the mount.
    fs.Shutdown();
    letGo();
    cache.reset();
    mount.Unmount();
    forgetServer(mount.Device());
}

}  // namespace

void runMount(TCliEnv& Env, const TCliOptions& Options, TCliReport& Report) {
    const QString given = QString::fromStdString(Options.Dir);
    const QFileInfo info(given);
    if (!info.isDir()) {
        Report.Fail(ExitUsage, QStringLiteral("%1 is not a folder").arg(given));
        return;
    }
    const QString dir = info.canonicalFilePath();
    if (mountAt(dir).Type == MountType) {
        Report.Fail(ExitUsage,
                    QStringLiteral("%1 shows a phone already: unmount it first").arg(dir));
        return;
    }
    const int notice = serverNotice();
    if (!Options.Foreground && notice < 0) {
        // The server would write its trace where this command writes its own.
        if (!Options.TraceFile.empty() || !qEnvironmentVariableIsEmpty("SNAPRILL_TRACE")) {
            Report.Fail(ExitUsage, QStringLiteral("a trace of mount needs -f: the server in the "
                                                  "background would write over this command's"));
            return;
        }
        startInBackground(Options, dir, Report);
        return;
    }
    serve(Env, Options, Report, dir, notice);
}

void runUnmount(TCliEnv&, const TCliOptions& Options, TCliReport& Report) {
    const QString given = QString::fromStdString(Options.Dir);
    // A mount whose server is gone cannot be looked into: its path is taken as given.
    QString dir = QFileInfo(given).canonicalFilePath();
    if (dir.isEmpty()) {
        dir = QFileInfo(given).absoluteFilePath();
    }
    const TMountInfo info = mountAt(dir);
    if (info.Type != MountType) {
        Report.Fail(ExitUsage,
                    QStringLiteral("%1 is not a folder that snaprill-cli mount shows").arg(given));
        return;
    }
    const pid_t server = serverOf(info.Device);
    QProcess unmount;
    unmount.start(QStringLiteral("fusermount3"), {QStringLiteral("-u"), dir});
    if (!unmount.waitForFinished(30000) || unmount.exitStatus() != QProcess::NormalExit ||
        unmount.exitCode() != 0) {
        QString why = QString::fromLocal8Bit(unmount.readAllStandardError()).trimmed();
        if (why.isEmpty()) {
            why = unmount.errorString();
        }
        Report.Fail(ExitFailed, QStringLiteral("cannot unmount %1: %2").arg(dir, why));
        return;
    }
    // Done once its server has let go of the phone.
    const QDeadlineTimer deadline(ServerEndMs);
    while (server != 0 && serverOf(info.Device) == server && !deadline.hasExpired()) {
        QThread::msleep(20);
    }
}

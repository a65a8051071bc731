#include "mount/MountServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

extern char** environ;

namespace {

constexpr const char* NoticeVariable = "SNAPRILL_MOUNT_NOTICE";

// The folder the servers are noted in, made when missing: in the user's
// runtime folder, else a folder of this user's alone in the temporary one.
QString serversFolder() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QString folder =
        !runtime.isEmpty() && QFileInfo(runtime).isDir()
            ? runtime + QStringLiteral("/snaprill-mounts")
            : QDir::tempPath() + QStringLiteral("/snaprill-mounts-") + QString::number(::getuid());
    const QByteArray path = QFile::encodeName(folder);
    ::mkdir(path.constData(), 0700);
    struct stat st {};
    // Someone else's folder, or a link to one, is never used.
    if (::lstat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) {
        return {};
    }
    return folder;
}

QString noteOf(const QString& Device) {
    const QString folder = serversFolder();
    return folder.isEmpty() || Device.isEmpty() || Device.contains(QLatin1Char('/'))
               ? QString()
               : folder + QLatin1Char('/') + Device;
}

void readInto(int Fd, QByteArray& Into, bool& Open) {
    char bytes[4096];
    const ssize_t n = ::read(Fd, bytes, sizeof bytes);
    if (n > 0) {
        Into.append(bytes, n);
    } else if (n == 0 || errno != EINTR) {
        Open = false;
    }
}

}  // namespace

TServerStart startServer(const QStringList& Arguments) {
    TServerStart start;
    char exe[PATH_MAX] = {};
    const ssize_t length = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    int out[2], err[2], notice[2];
    if (length <= 0 || ::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0 ||
        ::pipe2(notice, O_CLOEXEC) != 0) {
        start.Exit = 1;
        start.Errors = "snaprill-cli: cannot start the server of the mount\n";
        return start;
    }
    // Everything the child needs is made before it is forked: between fork
    // and exec it calls only what a signal handler could.
    std::vector<std::string> args{exe};
    for (const QString& a : Arguments) {
        args.push_back(a.toStdString());
    }
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    std::string noticeSetting = std::string(NoticeVariable) + "=" + std::to_string(notice[1]);
    std::vector<char*> envp;
    for (char** e = environ; *e != nullptr; ++e) {
        if (std::string(*e).rfind(std::string(NoticeVariable) + "=", 0) != 0) {
            envp.push_back(*e);
        }
    }
    envp.push_back(noticeSetting.data());
    envp.push_back(nullptr);
    const int devNull = ::open("/dev/null", O_RDONLY | O_CLOEXEC);

    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setsid();  // no terminal: its hangup and Ctrl+C are not the server's
        ::dup2(devNull, STDIN_FILENO);
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(err[1], STDERR_FILENO);
        ::fcntl(notice[1], F_SETFD, 0);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(devNull);
    ::close(out[1]);
    ::close(err[1]);
    ::close(notice[1]);
    if (pid < 0) {
        ::close(out[0]);
        ::close(err[0]);
        ::close(notice[0]);
        start.Exit = 1;
        start.Errors = "snaprill-cli: cannot start the server of the mount\n";
        return start;
    }
    bool outOpen = true, errOpen = true, noticeOpen = true;
    while (noticeOpen || outOpen || errOpen) {
        pollfd fds[3] = {{notice[0], noticeOpen ? short(POLLIN) : short(0), 0},
                         {out[0], outOpen ? short(POLLIN) : short(0), 0},
                         {err[0], errOpen ? short(POLLIN) : short(0), 0}};
        if (::poll(fds, 3, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        if (fds[1].revents != 0) {
            readInto(out[0], start.Output, outOpen);
        }
        if (fds[2].revents != 0) {
            readInto(err[0], start.Errors, errOpen);
        }
        if (fds[0].revents != 0) {
            char said = 0;
            const ssize_t n = ::read(notice[0], &said, 1);
            if (n == 1 && said == '1') {
                start.Mounted = true;
                break;
            }
            if (n == 0 || (n < 0 && errno != EINTR)) {
                noticeOpen = false;
            }
        }
    }
    ::close(out[0]);
    ::close(err[0]);
    ::close(notice[0]);
    if (!start.Mounted) {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        start.Exit = WIFEXITED(status) ? WEXITSTATUS(status) : 1;
    }
    return start;
}

int serverNotice() {
    const QByteArray value = qgetenv(NoticeVariable);
    ::unsetenv(NoticeVariable);
    bool ok = false;
    const int fd = value.toInt(&ok);
    return ok && fd > STDERR_FILENO && ::fcntl(fd, F_GETFD) >= 0 ? fd : -1;
}

void tellMounted(int Notice) {
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    // Whoever started the server reads its output until it says so.
    const int devNull = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (devNull >= 0) {
        ::dup2(devNull, STDOUT_FILENO);
        ::dup2(devNull, STDERR_FILENO);
        ::close(devNull);
    }
    const char said = '1';
    [[maybe_unused]] const ssize_t n = ::write(Notice, &said, 1);
    ::close(Notice);
    // A server keeps no folder of its caller's in use.
    [[maybe_unused]] const int moved = ::chdir("/");
}

void noteServer(const QString& Device) {
    const QString note = noteOf(Device);
    QFile file(note);
    if (!note.isEmpty() && file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.write(QByteArray::number(::getpid()));
    }
}

void forgetServer(const QString& Device) {
    const QString note = noteOf(Device);
    if (!note.isEmpty()) {
        QFile::remove(note);
    }
}

pid_t serverOf(const QString& Device) {
    const QString note = noteOf(Device);
    QFile file(note);
    if (note.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        return 0;
    }
    bool ok = false;
    const auto pid = static_cast<pid_t>(file.readAll().trimmed().toInt(&ok));
    return ok && pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM) ? pid : 0;
}

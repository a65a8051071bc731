#include "mount/FuseMount.h"

#include <fcntl.h>
#include <poll.h>

#include <QFile>
#include <QSocketNotifier>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "mount/PhoneFs.h"

namespace {

// libfuse's last message, kept for the report instead of printed.
std::string lastFuseMessage;

void keepFuseMessage(enum fuse_log_level, const char* Format, va_list Args) {
    char text[512];
    std::vsnprintf(text, sizeof text, Format, Args);
    lastFuseMessage = text;
    while (!lastFuseMessage.empty() &&
           (lastFuseMessage.back() == '\n' || lastFuseMessage.back() == ' ')) {
        lastFuseMessage.pop_back();
    }
}

TPhoneFs& fsOf(fuse_req_t Req) {
    return *static_cast<TPhoneFs*>(fuse_req_userdata(Req));
}

void opInit(void*, fuse_conn_info* Conn) {
    // An open that cuts the file to nothing comes as one request; writes
    // reach the file system as they are made, never held in the kernel.
    if ((Conn->capable & FUSE_CAP_ATOMIC_O_TRUNC) != 0) {
        Conn->want |= FUSE_CAP_ATOMIC_O_TRUNC;
    }
    Conn->want &= ~static_cast<unsigned>(FUSE_CAP_WRITEBACK_CACHE);
}

void opLookup(fuse_req_t Req, fuse_ino_t Parent, const char* Name) {
    fsOf(Req).Lookup(Req, Parent, Name);
}
void opForget(fuse_req_t Req, fuse_ino_t, uint64_t) {
    fuse_reply_none(Req);  // inode numbers are never given twice
}
void opForgetMulti(fuse_req_t Req, size_t, fuse_forget_data*) {
    fuse_reply_none(Req);
}
void opGetAttr(fuse_req_t Req, fuse_ino_t Ino, fuse_file_info*) {
    fsOf(Req).GetAttr(Req, Ino);
}
void opSetAttr(fuse_req_t Req, fuse_ino_t Ino, struct stat* Attr, int ToSet, fuse_file_info* Fi) {
    fsOf(Req).SetAttr(Req, Ino, Attr, ToSet, Fi);
}
void opMknod(fuse_req_t Req, fuse_ino_t, const char*, mode_t, dev_t) {
    fsOf(Req).Refuse(Req);
}
void opMkdir(fuse_req_t Req, fuse_ino_t, const char*, mode_t) {
    fsOf(Req).Refuse(Req);
}
void opUnlink(fuse_req_t Req, fuse_ino_t Parent, const char* Name) {
    fsOf(Req).Unlink(Req, Parent, Name);
}
void opRmdir(fuse_req_t Req, fuse_ino_t Parent, const char* Name) {
    fsOf(Req).Rmdir(Req, Parent, Name);
}
void opSymlink(fuse_req_t Req, const char*, fuse_ino_t, const char*) {
    fsOf(Req).Refuse(Req);
}
void opRename(fuse_req_t Req, fuse_ino_t, const char*, fuse_ino_t, const char*, unsigned) {
    fsOf(Req).Refuse(Req);
}
void opLink(fuse_req_t Req, fuse_ino_t, fuse_ino_t, const char*) {
    fsOf(Req).Refuse(Req);
}
void opOpen(fuse_req_t Req, fuse_ino_t Ino, fuse_file_info* Fi) {
    fsOf(Req).Open(Req, Ino, Fi);
}
void opRead(fuse_req_t Req, fuse_ino_t Ino, size_t Size, off_t Offset, fuse_file_info* Fi) {
    fsOf(Req).Read(Req, Ino, Size, Offset, Fi);
}
void opWrite(fuse_req_t Req, fuse_ino_t Ino, const char* Data, size_t Size, off_t Offset,
             fuse_file_info* Fi) {
    fsOf(Req).Write(Req, Ino, Data, Size, Offset, Fi);
}
void opFlush(fuse_req_t Req, fuse_ino_t Ino, fuse_file_info* Fi) {
    fsOf(Req).Flush(Req, Ino, Fi);
}
void opRelease(fuse_req_t Req, fuse_ino_t Ino, fuse_file_info* Fi) {
    fsOf(Req).Release(Req, Ino, Fi);
}
void opFsync(fuse_req_t Req, fuse_ino_t Ino, int, fuse_file_info* Fi) {
    fsOf(Req).Flush(Req, Ino, Fi);
}
void opOpenDir(fuse_req_t Req, fuse_ino_t Ino, fuse_file_info* Fi) {
    fsOf(Req).OpenDir(Req, Ino, Fi);
}
void opReadDir(fuse_req_t Req, fuse_ino_t Ino, size_t Size, off_t Offset, fuse_file_info* Fi) {
    fsOf(Req).ReadDir(Req, Ino, Size, Offset, Fi);
}
void opReleaseDir(fuse_req_t Req, fuse_ino_t Ino, fuse_file_info* Fi) {
    fsOf(Req).ReleaseDir(Req, Ino, Fi);
}
void opStatFs(fuse_req_t Req, fuse_ino_t Ino) {
    fsOf(Req).StatFs(Req, Ino);
}
void opCreate(fuse_req_t Req, fuse_ino_t Parent, const char* Name, mode_t Mode,
              fuse_file_info* Fi) {
    fsOf(Req).Create(Req, Parent, Name, Mode, Fi);
}

fuse_lowlevel_ops operations() {
    fuse_lowlevel_ops ops{};
    ops.init = opInit;
    ops.lookup = opLookup;
    ops.forget = opForget;
    ops.forget_multi = opForgetMulti;
    ops.getattr = opGetAttr;
    ops.setattr = opSetAttr;
    ops.mknod = opMknod;
    ops.mkdir = opMkdir;
    ops.unlink = opUnlink;
    ops.rmdir = opRmdir;
    ops.symlink = opSymlink;
    ops.rename = opRename;
    ops.link = opLink;
    ops.open = opOpen;
    ops.read = opRead;
    ops.write = opWrite;
    ops.flush = opFlush;
    ops.release = opRelease;
    ops.fsync = opFsync;
    ops.opendir = opOpenDir;
    ops.readdir = opReadDir;
    ops.releasedir = opReleaseDir;
    ops.statfs = opStatFs;
    ops.create = opCreate;
    return ops;
}

// A mount point as /proc/self/mountinfo writes it: blanks, tabs, newlines
// and backslashes as "\" and three octal digits.
QString unescapeMountPath(const QByteArray& Field) {
    QByteArray out;
    for (qsizetype i = 0; i < Field.size(); ++i) {
        if (Field[i] == '\\' && i + 3 < Field.size()) {
            bool ok = false;
            const int value = Field.mid(i + 1, 3).toInt(&ok, 8);
            if (ok) {
                out.append(static_cast<char>(value));
                i += 3;
                continue;
            }
        }
        out.append(Field[i]);
    }
    return QFile::decodeName(out);
}

}  // namespace

TMountInfo mountAt(const QString& Dir) {
    QFile file(QStringLiteral("/proc/self/mountinfo"));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    TMountInfo found;
    // The last mount at a place is the one seen there.
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        const qsizetype dash = fields.indexOf("-");
        if (fields.size() < 5 || dash < 0 || dash + 1 >= fields.size()) {
            continue;
        }
        if (unescapeMountPath(fields[4]) == Dir) {
            found = {QString::fromUtf8(fields[dash + 1]), QString::fromUtf8(fields[2])};
        }
    }
    return found;
}

TFuseMount::TFuseMount(TPhoneFs& Fs, QObject* Parent) : QObject(Parent), fs_(Fs) {}

TFuseMount::~TFuseMount() {
    Unmount();
    if (session_ != nullptr) {
        fuse_session_destroy(session_);
    }
    std::free(buffer_.mem);
}

bool TFuseMount::Mount(const QString& Dir, bool ReadOnly, QString& Error) {
    fuse_set_log_func(keepFuseMessage);
    lastFuseMessage.clear();
    std::string options = "fsname=snaprill,subtype=snaprill,default_permissions";
    if (ReadOnly) {
        options += ",ro";
    }
    std::string name = "snaprill-cli", dashO = "-o";
    char* argv[] = {name.data(), dashO.data(), options.data(), nullptr};
    fuse_args args = FUSE_ARGS_INIT(3, argv);
    const fuse_lowlevel_ops ops = operations();
    session_ = fuse_session_new(&args, &ops, sizeof ops, &fs_);
    fuse_opt_free_args(&args);
    const QByteArray dir = QFile::encodeName(Dir);
    if (session_ == nullptr || fuse_session_mount(session_, dir.constData()) != 0) {
        Error = lastFuseMessage.empty() ? QStringLiteral("the FUSE mount failed")
                                        : QString::fromLocal8Bit(lastFuseMessage.c_str());
        return false;
    }
    mounted_ = true;
    dir_ = Dir;
    device_ = mountAt(Dir).Device;
    // Read only when the loop says there is something: never wait in a read.
    const int fd = fuse_session_fd(session_);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    notifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { serve(); });
    return true;
}

bool TFuseMount::Ended() const {
    return session_ != nullptr && fuse_session_exited(session_) != 0;
}

void TFuseMount::serve() {
    if (serving_ || session_ == nullptr) {
        return;
    }
    serving_ = true;
    const int fd = fuse_session_fd(session_);
    while (!fuse_session_exited(session_)) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 0) <= 0) {
            break;
        }
        const int got = fuse_session_receive_buf(session_, &buffer_);
        if (got == -EINTR) {
            continue;  // a request taken back before it was read
        }
        if (got <= 0) {
            break;  // nothing more (EAGAIN), or the mount ended
        }
        fuse_session_process_buf(session_, &buffer_);
    }
    serving_ = false;
    if (Ended()) {
        notifier_->setEnabled(false);
        emit ended();
    }
}

void TFuseMount::Unmount() {
    // The file descriptor goes with the mount.
    delete notifier_;
    notifier_ = nullptr;
    if (mounted_ && session_ != nullptr) {
        fuse_session_unmount(session_);
    }
    mounted_ = false;
}

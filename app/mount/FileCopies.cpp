#include "mount/FileCopies.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

QByteArray encoded(const QString& Path) {
    return QFile::encodeName(Path);
}

// Removes a file and the subfolder it was given.
void removeWithFolder(const QString& Path) {
    ::unlink(encoded(Path).constData());
    ::rmdir(encoded(QFileInfo(Path).path()).constData());
}

int preadAll(int Fd, int64_t Offset, size_t Count, std::string& Out) {
    Out.resize(Count);
    size_t done = 0;
    while (done < Count) {
        const ssize_t n = ::pread(Fd, Out.data() + done, Count - done,
                                  static_cast<off_t>(Offset + static_cast<int64_t>(done)));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return errno;
        }
        if (n == 0) {
            break;
        }
        done += static_cast<size_t>(n);
    }
    Out.resize(done);
    return 0;
}

// Whether Folder may hold the mount's private folder: a folder this user
// can write in.
bool usable(const QString& Folder) {
    return !Folder.isEmpty() && QFileInfo(Folder).isDir() &&
           ::access(encoded(Folder).constData(), W_OK | X_OK) == 0;
}

}  // namespace

std::unique_ptr<TCacheFolder> TCacheFolder::Make(QString& Error) {
    QString base = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!usable(base)) {
        base = QDir::tempPath();
    }
    QByteArray pattern = encoded(base + QStringLiteral("/snaprill-mount-XXXXXX"));
    // mkdtemp makes it readable by this user alone.
    if (::mkdtemp(pattern.data()) == nullptr) {
        Error = QStringLiteral("cannot make a private folder for the mount's files in %1: %2")
                    .arg(base, QString::fromLocal8Bit(std::strerror(errno)));
        return nullptr;
    }
    return std::unique_ptr<TCacheFolder>(new TCacheFolder(QFile::decodeName(pattern)));
}

TCacheFolder::~TCacheFolder() {
    QDir(path_).removeRecursively();
}

QString TCacheFolder::NewFilePath(const QString& Name) {
    const QString folder = path_ + QLatin1Char('/') + QString::number(++next_);
    if (::mkdir(encoded(folder).constData(), 0700) != 0) {
        return {};
    }
    return folder + QLatin1Char('/') + Name;
}

void TCacheFolder::Empty() {
    const QStringList entries = QDir(path_).entryList(QDir::AllEntries | QDir::Hidden |
                                                      QDir::System | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        const QString path = path_ + QLatin1Char('/') + entry;
        if (QFileInfo(path).isDir()) {
            QDir(path).removeRecursively();
        } else {
            QFile::remove(path);
        }
    }
}

TFileCopy::~TFileCopy() {
    Drop();
}

int TFileCopy::Load(const QString& Path) {
    Drop();
    path_ = Path;
    const int fd = ::open(encoded(path_).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int error = errno;
        ::close(fd);
        return error;
    }
    size_ = st.st_size;
    if (budget_.Take(size_)) {
        std::string bytes;
        const int error = preadAll(fd, 0, static_cast<size_t>(size_), bytes);
        ::close(fd);
        if (error != 0 || static_cast<int64_t>(bytes.size()) != size_) {
            budget_.Give(size_);
            return error != 0 ? error : EIO;
        }
        memory_ = QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
        removeWithFolder(path_);
    } else {
        fd_ = fd;
    }
    loaded_ = true;
    return 0;
}

int TFileCopy::Read(int64_t Offset, size_t Count, std::string& Out) const {
    if (!loaded_) {
        return EIO;
    }
    if (Offset >= size_) {
        Out.clear();
        return 0;
    }
    if (fd_ >= 0) {
        return preadAll(fd_, Offset, Count, Out);
    }
    const auto n =
        static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(Count), size_ - Offset));
    Out.assign(memory_.constData() + Offset, n);
    return 0;
}

void TFileCopy::Drop() {
    if (loaded_ && fd_ < 0) {
        budget_.Give(size_);
    }
    memory_.clear();
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    loaded_ = false;
    if (!path_.isEmpty()) {
        removeWithFolder(path_);
        path_.clear();
    }
}

TStagedFile::~TStagedFile() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
    removeWithFolder(path_);
}

int TStagedFile::Open(bool Keep) {
    const int flags = O_RDWR | O_CREAT | O_CLOEXEC | (Keep ? 0 : O_TRUNC);
    fd_ = ::open(encoded(path_).constData(), flags, 0600);
    if (fd_ < 0) {
        return errno;
    }
    struct stat st {};
    if (::fstat(fd_, &st) != 0) {
        return errno;
    }
    size_ = st.st_size;
    return 0;
}

int TStagedFile::Write(int64_t Offset, const char* Data, size_t Count) {
    size_t done = 0;
    while (done < Count) {
        const ssize_t n = ::pwrite(fd_, Data + done, Count - done,
                                   static_cast<off_t>(Offset + static_cast<int64_t>(done)));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return errno;
        }
        done += static_cast<size_t>(n);
    }
    size_ = std::max(size_, Offset + static_cast<int64_t>(Count));
    Dirty = true;
    return 0;
}

int TStagedFile::Read(int64_t Offset, size_t Count, std::string& Out) const {
    return preadAll(fd_, Offset, Count, Out);
}

int TStagedFile::Truncate(int64_t Size) {
    while (::ftruncate(fd_, static_cast<off_t>(Size)) != 0) {
        if (errno != EINTR) {
            return errno;
        }
    }
    size_ = Size;
    Dirty = true;
    return 0;
}

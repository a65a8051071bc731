#include "backend/LocalFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace {

int fsyncRetried(int Fd) {
    int r;
    do {
        r = ::fsync(Fd);
    } while (r != 0 && errno == EINTR);
    return r == 0 ? 0 : errno;
}

}  // namespace

int TPosixLocalFiles::CreateNew(const std::string& Path, int& Fd) {
    Fd = ::open(Path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    return Fd >= 0 ? 0 : errno;
}

size_t TPosixLocalFiles::Write(int Fd, const uint8_t* Data, size_t Count) {
    size_t done = 0;
    while (done < Count) {
        const ssize_t n = ::write(Fd, Data + done, Count - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        done += static_cast<size_t>(n);
    }
    return done;
}

int TPosixLocalFiles::SyncFile(int Fd) {
    return fsyncRetried(Fd);
}

int TPosixLocalFiles::Close(int Fd) {
    // Not retried on EINTR: Linux has released the descriptor either way.
    return ::close(Fd) == 0 ? 0 : errno;
}

int TPosixLocalFiles::Rename(const std::string& From, const std::string& To) {
    return ::rename(From.c_str(), To.c_str()) == 0 ? 0 : errno;
}

int TPosixLocalFiles::SyncFolder(const std::string& Folder) {
    const int fd = ::open(Folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    const int error = fsyncRetried(fd);
    ::close(fd);
    return error;
}

int TPosixLocalFiles::Unlink(const std::string& Path) {
    return ::unlink(Path.c_str()) == 0 ? 0 : errno;
}

int TPosixLocalFiles::MakeFolder(const std::string& Path) {
    return ::mkdir(Path.c_str(), 0777) == 0 ? 0 : errno;
}

ILocalFiles& PosixLocalFiles() {
    static TPosixLocalFiles files;
    return files;
}

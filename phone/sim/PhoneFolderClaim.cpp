#include "sim/PhoneFolderClaim.h"

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>

namespace {

int openLockFile(const std::filesystem::path& Folder) {
    return ::open((Folder / PhoneClaimFileName).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
}

struct flock wholeFile(short Type) {
    struct flock lock {};
    lock.l_type = Type;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0;  // the whole file
    return lock;
}

}  // namespace

std::shared_ptr<void> ClaimPhoneFolder(const std::filesystem::path& Folder, bool& Held) {
    Held = false;
    const int fd = openLockFile(Folder);
    if (fd < 0) {
        return std::make_shared<int>(-1);
    }
    struct flock lock = wholeFile(F_WRLCK);
    if (::fcntl(fd, F_OFD_SETLK, &lock) != 0) {
        Held = errno == EAGAIN || errno == EACCES;
        ::close(fd);
        return Held ? nullptr : std::make_shared<int>(-1);
    }
    // Closing the descriptor releases the lock.
    return std::shared_ptr<void>(new int(fd), [](void* Fd) {
        ::close(*static_cast<int*>(Fd));
        delete static_cast<int*>(Fd);
    });
}

bool PhoneFolderClaimed(const std::filesystem::path& Folder) {
    const int fd = ::open((Folder / PhoneClaimFileName).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct flock lock = wholeFile(F_WRLCK);
    const bool claimed = ::fcntl(fd, F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
    ::close(fd);
    return claimed;
}

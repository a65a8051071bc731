#include "backend/DurableFile.h"

#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace {

constexpr size_t MaxTempBase = 200;

[[noreturn]] void throwLocal(int Error, const std::string& Path) {
    throw std::system_error(Error, std::generic_category(), Path);
}

std::string folderOf(const std::string& Path) {
    const size_t slash = Path.rfind('/');
    return slash == std::string::npos ? std::string() : Path.substr(0, slash + 1);
}

std::string nameOf(const std::string& Path) {
    const size_t slash = Path.rfind('/');
    return slash == std::string::npos ? Path : Path.substr(slash + 1);
}

}  // namespace

TDurableFile::TDurableFile(ILocalFiles& Files, const std::string& Target)
    : files_(Files), target_(Target) {
    const std::string dir = folderOf(Target);
    // Cut so that the temporary name fits wherever the target's name fits
    // (255 bytes): the suffix below takes at most 26 of them.
    const std::string base = nameOf(Target).substr(0, MaxTempBase);
    int error = 0;
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        path_ = dir + "." + base + "." + std::to_string(::getpid()) + "." +
                std::to_string(attempt) + ".part";
        error = files_.CreateNew(path_, fd_);
        if (error == 0) {
            return;
        }
        if (error != EEXIST) {
            break;
        }
    }
    fd_ = -1;
    path_.clear();
    throwLocal(error, Target);
}

TDurableFile::~TDurableFile() {
    Close();
    if (!committed_ && !path_.empty()) {
        files_.Unlink(path_);
    }
}

void TDurableFile::Sync() {
    if (fd_ < 0) {
        return;
    }
    if (const int error = files_.SyncFile(fd_)) {
        throwLocal(error, target_);
    }
}

int TDurableFile::Close() {
    if (fd_ < 0) {
        return 0;
    }
    const int error = files_.Close(fd_);
    fd_ = -1;
    return error;
}

bool TDurableFile::Commit(const std::string& To) {
    const std::string& to = To.empty() ? target_ : To;
    if (const int error = Close()) {
        throwLocal(error, to);
    }
    if (const int error = files_.Rename(path_, to)) {
        throwLocal(error, to);
    }
    committed_ = true;
    const bool there = syncFolder(to);
    // The temporary name left its folder too: flushed, so that it does not
    // come back after a power cut.
    const bool left = folderOf(to) == folderOf(path_) || syncFolder(path_);
    return there && left;
}

// A failure does not fail the commit: the file is complete under its name by
// now, and some file systems refuse to flush a folder (or a folder may be
// writable but not readable). Failing here would leave a good file behind a
// false result. The new name is then not known to be on the disk, so the
// caller keeps the phone's copy. EINVAL and ENOTSUP mean the file system has
// no folder flush, hence nothing left to flush.
bool TDurableFile::syncFolder(const std::string& Of) const {
    const std::string dir = folderOf(Of);
    const int error = files_.SyncFolder(dir.empty() ? "." : dir);
    return error == 0 || error == EINVAL || error == ENOTSUP || error == EOPNOTSUPP;
}

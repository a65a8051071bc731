#include "core/files/DurableCopy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <vector>

#include "backend/DurableFile.h"
#include "backend/LocalFiles.h"

namespace {

constexpr size_t CopyBlock = size_t{64} * 1024;

[[noreturn]] void throwLocal(int Error, const std::string& Path) {
    throw std::system_error(Error, std::generic_category(), Path);
}

bool isFolder(const std::string& Path) {
    struct stat st {};
    return ::stat(Path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The source, read from start to end.
class TSource {
  public:
    explicit TSource(const std::string& Path) : path_(Path) {
        fd_ = ::open(Path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0) {
            throwLocal(errno, Path);
        }
    }
    ~TSource() { ::close(fd_); }
    TSource(const TSource&) = delete;
    TSource& operator=(const TSource&) = delete;

    // Bytes read into Data; 0 at the end.
    size_t Read(uint8_t* Data, size_t Count) {
        while (true) {
            const ssize_t n = ::read(fd_, Data, Count);
            if (n >= 0) {
                return static_cast<size_t>(n);
            }
            if (errno != EINTR) {
                throwLocal(errno, path_);
            }
        }
    }

  private:
    std::string path_;
    int fd_ = -1;
};

}  // namespace

bool makeFoldersDurably(ILocalFiles& Files, const std::string& Root, const std::string& Relative) {
    // A second place on a disk that is not there must not be made again
    // on the disk below its mount point.
    if (!isFolder(Root)) {
        throwLocal(ENOENT, Root);
    }
    std::string folder = Root;
    bool flushed = true;
    size_t from = 0;
    while (from < Relative.size()) {
        size_t slash = Relative.find('/', from);
        if (slash == std::string::npos) {
            slash = Relative.size();
        }
        const std::string parent = folder;
        folder += Relative.substr(from, slash - from) + "/";
        from = slash + 1;
        if (isFolder(folder)) {
            continue;
        }
        const std::string path = folder.substr(0, folder.size() - 1);
        if (const int error = Files.MakeFolder(path); error != 0 && error != EEXIST) {
            throwLocal(error, path);
        }
        // Only a flushed parent keeps the new folder's name after a power
        // cut; a parent that cannot be flushed fails nothing, but what lands
        // below it is then not known to be on the disk.
        const int error = Files.SyncFolder(parent);
        flushed =
            flushed && (error == 0 || error == EINVAL || error == ENOTSUP || error == EOPNOTSUPP);
    }
    return flushed;
}

bool copyDurably(ILocalFiles& Files, const std::string& Source, const std::string& TempBeside,
                 const std::string& Target) {
    TSource source(Source);
    TDurableFile copy(Files, TempBeside);
    std::vector<uint8_t> buffer(CopyBlock);
    while (const size_t n = source.Read(buffer.data(), buffer.size())) {
        if (const int error = copy.Write(buffer.data(), n)) {
            throwLocal(error, Target);
        }
    }
    copy.Sync();
    if (const int error = copy.Close()) {
        throwLocal(error, Target);
    }
    return copy.Commit(Target);
}

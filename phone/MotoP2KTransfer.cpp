// Whole-file operations: delete, download and upload with block loops and a
// progress callback.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <string>
#include <system_error>
#include <vector>

#include "MotoP2KMode.h"
#include "MotoSysUtils.h"
#include "backend/DurableFile.h"

namespace {

constexpr size_t MaxPhoneName = 255;
constexpr int32_t MaxWriteBlock = 1024;
constexpr int32_t MaxReadBlock = 4096;

[[noreturn]] void throwLocal(int Error, const std::string& Path) {
    throw std::system_error(Error, std::generic_category(), Path);
}

class TLocalReader {
  public:
    explicit TLocalReader(const std::string& Path) {
        fd_ = ::open(Path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0) {
            throwLocal(errno, Path);
        }
        struct stat st {};
        if (::fstat(fd_, &st) != 0) {
            int error = errno;
            ::close(fd_);
            throwLocal(error, Path);
        }
        size_ = st.st_size;
    }
    ~TLocalReader() { ::close(fd_); }
    TLocalReader(const TLocalReader&) = delete;
    TLocalReader& operator=(const TLocalReader&) = delete;

    int64_t Size() const { return size_; }
    // Up to Count bytes; fewer only at the end of the file; -1 on error.
    int64_t Read(uint8_t* Data, size_t Count) {
        size_t done = 0;
        while (done < Count) {
            ssize_t n = ::read(fd_, Data + done, Count - done);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                return -1;
            }
            if (n == 0) {
                break;
            }
            done += static_cast<size_t>(n);
        }
        return static_cast<int64_t>(done);
    }

  private:
    int fd_ = -1;
    int64_t size_ = 0;
};

bool localFileExists(const std::string& Path) {
    struct stat st {};
    return ::stat(Path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

int32_t clampToInt32(int64_t V) {
    return static_cast<int32_t>(std::min<int64_t>(V, INT32_MAX));
}

}  // namespace

bool TMotoP2KModemItem::DeleteFile(const std::string& Name) {
    if (!IsOpen()) {
        DoDebug("File Delete Phone - Phone Not Open", dtError);
        return false;
    }
    if (Name.empty() || Name.size() > MaxPhoneName) {
        DoDebug("File Delete Phone - FileName not normal", dtError);
        return false;
    }
    auto self = weak_from_this().lock();
    DoDebug("File Delete Phone", dtInformation);
    return FileDelete(Name);
}

bool TMotoP2KModemItem::DownloadFile(const std::string& PhoneName, const std::string& LocalName,
                                     int32_t BlockSize, int32_t ExpectedSize,
                                     const TP2KProgressCallback& Progress,
                                     const TP2KPlaceCallback& Place) {
    lastDownloadDurable_ = false;
    lastDownloadPath_.clear();
    if (!IsOpen()) {
        DoDebug("File Download Phone - Phone Not Open", dtError);
        return false;
    }
    if (PhoneName.empty() || PhoneName.size() > MaxPhoneName) {
        DoDebug("File Download Phone - FileName not normal", dtError);
        return false;
    }
    // Keeps this item alive should a rescan run from the progress callback
    // drop it from its list.
    auto self = weak_from_this().lock();
    if (!FileOpen(PhoneName, TP2KFileAttrs::Of({atAny}))) {
        return false;
    }

    std::unique_ptr<TDurableFile> local;
    try {
        local = std::make_unique<TDurableFile>(files_, LocalName);
    } catch (...) {
        // The phone file must not stay open behind the caller's back.
        FileClose();
        throw;
    }

    // FileRead refuses sizes over MaxReadBlock before touching the buffer,
    // so a larger BlockSize needs no larger allocation.
    std::vector<uint8_t> buffer(static_cast<size_t>(std::clamp(BlockSize, 1, MaxReadBlock)));
    const bool unknown = ExpectedSize <= 0;
    int32_t done = 0;
    int32_t total = ExpectedSize;
    bool endOfFile = false;    // the phone said the file ended
    bool readFailed = false;   // an exchange failed or the read was refused
    bool writeFailed = false;  // the local file did not take a block
    do {
        std::fill(buffer.begin(), buffer.end(), 0);
        lastTransactionFailed_ = true;  // stays set when FileRead refuses the size
        const int32_t n = FileRead(buffer.data(), BlockSize);
        readFailed = lastTransactionFailed_;
        // A one-byte block that completes a file of known size is its last
        // byte, not an end mark.
        const bool lastByte = !unknown && n == 1 && !readFailed && done + 1 == ExpectedSize;
        if ((n < 2 && !lastByte) || n > BlockSize) {
            // Only an empty reply ends the file. A one-byte reply cannot be
            // told from an error code, so it is not written, and a download
            // of unknown size that stops on it is incomplete. Blocks under
            // two bytes can never carry data, so their end says nothing
            // about the file having ended.
            endOfFile = n == 0 && !readFailed && BlockSize >= 2;
            break;
        }
        if (done > INT32_MAX - n) {  // a phone that never ends the file
            writeFailed = true;
            break;
        }
        // More bytes than the file has: the phone's file is not the one
        // listed. Nothing of it is taken, and the progress never passes the
        // total it was given.
        if (!unknown && n > ExpectedSize - done) {
            break;
        }
        const size_t written = local->Write(buffer.data(), static_cast<size_t>(n));
        done += static_cast<int32_t>(written);
        if (written != static_cast<size_t>(n)) {
            writeFailed = true;
            break;
        }
        if (Progress) {
            bool goOn = true;
            try {
                goOn = Progress(done, total);
            } catch (...) {
                // A failing progress handler does not end the transfer.
            }
            if (!goOn) {
                break;
            }
        }
        if (unknown) {
            total = done + 1;
        }
    } while (done < total);

    FileClose();
    DoDebug("File Download Phone", dtInformation);

    const bool complete = !writeFailed && (unknown ? endOfFile : done == ExpectedSize);
    if (!complete) {
        return false;  // the temporary file goes with `local`
    }
    // The caller deletes the phone's copy once this returns true and
    // LastDownloadDurable() says so, so the data and the new name must be on
    // the disk before then.
    local->Sync();
    if (local->Close() != 0) {
        return false;
    }
    std::string target = LocalName;
    if (Place) {
        target = Place(local->Path());
        if (target.empty()) {
            return true;  // complete, and not wanted: the temporary file goes with `local`
        }
    }
    lastDownloadDurable_ = local->Commit(target);
    lastDownloadPath_ = target;
    return true;
}

bool TMotoP2KModemItem::UploadFile(const std::string& LocalName, const std::string& PhoneName,
                                   int32_t BlockSize, const TP2KProgressCallback& Progress) {
    if (!IsOpen()) {
        DoDebug("File Upload Phone - Phone Not Open", dtError);
        return false;
    }
    if (PhoneName.empty() || PhoneName.size() > MaxPhoneName || !localFileExists(LocalName)) {
        DoDebug("File Upload Phone - FileName not normal", dtError);
        return false;
    }
    auto self = weak_from_this().lock();
    TLocalReader local(LocalName);
    const int64_t size = local.Size();
    int64_t block = std::max<int64_t>(BlockSize, 0);
    if (block > size) {
        block = size;
    }
    if (!FileOpen(PhoneName, TP2KFileAttrs{})) {
        return false;
    }

    std::vector<uint8_t> buffer(static_cast<size_t>(std::clamp<int64_t>(block, 1, MaxWriteBlock)));
    int64_t sent = 0;
    while (sent < size) {
        if (size - sent < block) {
            block = size - sent;
        }
        // A block larger than one write may carry is never read in full:
        // it ends the upload before anything is sent.
        if (block > MaxWriteBlock) {
            break;
        }
        const int64_t n = local.Read(buffer.data(), static_cast<size_t>(block));
        block = n;
        if (n <= 0 || n > MaxWriteBlock) {
            break;
        }
        if (!FileWrite(static_cast<int32_t>(n), buffer.data())) {
            break;
        }
        sent += n;
        if (Progress) {
            bool goOn = true;
            try {
                goOn = Progress(clampToInt32(sent), clampToInt32(size));
            } catch (...) {
                // A failing progress handler does not end the transfer.
            }
            if (!goOn) {
                break;
            }
        }
    }

    const bool closed = FileClose();
    DoDebug("File Upload Phone", dtInformation);
    return sent == size && closed;
}

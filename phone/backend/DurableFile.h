#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "backend/LocalFiles.h"

// A local file written durably: it lands in a temporary file beside its
// target (".<name>.<pid>.<n>.part") and takes its final name only once
// complete, so no partial file ever stands under a real name (it would
// later pass for a file already fetched). The temporary file is removed
// again unless committed, also when an exception passes through. Every
// step goes through Files, so tests can watch and fail each one. Local
// failures throw std::system_error carrying the target's path.
class TDurableFile {
  public:
    // Creates the temporary file beside Target (a UTF-8 path).
    TDurableFile(ILocalFiles& Files, const std::string& Target);
    ~TDurableFile();
    TDurableFile(const TDurableFile&) = delete;
    TDurableFile& operator=(const TDurableFile&) = delete;

    // The temporary file's path.
    const std::string& Path() const { return path_; }
    // Bytes the file took; fewer than Count on a write error.
    size_t Write(const uint8_t* Data, size_t Count) { return files_.Write(fd_, Data, Count); }
    // Flushes the data written so far to the disk.
    void Sync();
    // 0 or the error of the close.
    int Close();
    // Moves the finished file to To (the target given at the start when
    // empty), then flushes To's folder, and the temporary file's own folder
    // when To lies in another, so that the names are on the disk too. True
    // when they are known to be.
    bool Commit(const std::string& To = {});

  private:
    ILocalFiles& files_;
    std::string target_;
    std::string path_;
    int fd_ = -1;
    bool committed_ = false;

    bool syncFolder(const std::string& Of) const;
};

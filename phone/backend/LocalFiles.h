#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The local file calls that write a download to the disk durably. Tests put
// a recording or failing implementation here to see every step happen in
// order. Calls that can fail return 0 or the errno value of the failure.
class ILocalFiles {
  public:
    virtual ~ILocalFiles() = default;
    // Creates Path for writing, failing with EEXIST if the name is taken.
    virtual int CreateNew(const std::string& Path, int& Fd) = 0;
    // Bytes the file took; fewer than Count on an error.
    virtual size_t Write(int Fd, const uint8_t* Data, size_t Count) = 0;
    // Flushes the file's data to the disk.
    virtual int SyncFile(int Fd) = 0;
    // Releases Fd, also when it fails.
    virtual int Close(int Fd) = 0;
    virtual int Rename(const std::string& From, const std::string& To) = 0;
    // Opens Folder and flushes its entries to the disk, so that a name made
    // or changed in it stays after a power cut.
    virtual int SyncFolder(const std::string& Folder) = 0;
    virtual int Unlink(const std::string& Path) = 0;
    // Makes the one folder Path, failing with EEXIST if the name is taken.
    virtual int MakeFolder(const std::string& Path) = 0;
};

// The real file system through POSIX calls, retried on EINTR.
class TPosixLocalFiles final : public ILocalFiles {
  public:
    int CreateNew(const std::string& Path, int& Fd) override;
    size_t Write(int Fd, const uint8_t* Data, size_t Count) override;
    int SyncFile(int Fd) override;
    int Close(int Fd) override;
    int Rename(const std::string& From, const std::string& To) override;
    int SyncFolder(const std::string& Folder) override;
    int Unlink(const std::string& Path) override;
    int MakeFolder(const std::string& Path) override;
};

// One TPosixLocalFiles for the whole process; it holds no state.
ILocalFiles& PosixLocalFiles();

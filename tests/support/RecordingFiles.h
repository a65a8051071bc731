#pragma once

// Local files over the real file system that log every step with its path
// and can make one kind of step fail.

#include <cerrno>
#include <map>
#include <string>
#include <vector>

#include "backend/LocalFiles.h"

namespace test {

class TRecordingFiles final : public ILocalFiles {
  public:
    // "create <path>", "write <path>", "sync-file <path>", "close <path>",
    // "rename <from> <to>", "sync-folder <folder>", "unlink <path>",
    // "mkdir <path>".
    std::vector<std::string> Log;
    std::string Created;  // the path of the last create
    // Every step of this kind fails with FailError and does nothing, but for
    // a close, which still releases the descriptor.
    std::string Fail;
    int FailError = EIO;
    // Only steps on paths that begin so fail (for a rename, its source).
    std::string FailUnder;
    // Flushes are logged but not made: a test that does not cut the power
    // has no use for them, and on a real disk they cost most of its time.
    bool SkipFlushes = false;

    int CreateNew(const std::string& Path, int& Fd) override {
        Created = Path;
        if (const int error = step("create", Path)) {
            Fd = -1;
            return error;
        }
        const int error = real_.CreateNew(Path, Fd);
        if (error == 0) {
            paths_[Fd] = Path;
        }
        return error;
    }
    size_t Write(int Fd, const uint8_t* Data, size_t Count) override {
        // A failed write leaves its reason in errno, as the real call does.
        if (const int error = step("write", paths_[Fd])) {
            errno = error;
            return 0;
        }
        return real_.Write(Fd, Data, Count);
    }
    int SyncFile(int Fd) override {
        const int error = step("sync-file", paths_[Fd]);
        return error || SkipFlushes ? error : real_.SyncFile(Fd);
    }
    int Close(int Fd) override {
        const int error = step("close", paths_[Fd]);
        paths_.erase(Fd);
        const int closed = real_.Close(Fd);
        return error ? error : closed;
    }
    int Rename(const std::string& From, const std::string& To) override {
        const int error = step("rename", From + " " + To);
        return error ? error : real_.Rename(From, To);
    }
    int SyncFolder(const std::string& Folder) override {
        const int error = step("sync-folder", Folder);
        return error || SkipFlushes ? error : real_.SyncFolder(Folder);
    }
    int Unlink(const std::string& Path) override {
        const int error = step("unlink", Path);
        return error ? error : real_.Unlink(Path);
    }
    int MakeFolder(const std::string& Path) override {
        const int error = step("mkdir", Path);
        return error ? error : real_.MakeFolder(Path);
    }

  private:
    TPosixLocalFiles real_;
    std::map<int, std::string> paths_;

    int step(const std::string& Kind, const std::string& Path) {
        Log.push_back(Kind + " " + Path);
        return Kind == Fail && Path.rfind(FailUnder, 0) == 0 ? FailError : 0;
    }
};

}  // namespace test

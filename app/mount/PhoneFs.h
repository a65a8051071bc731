#pragma once

#define FUSE_USE_VERSION 314
#include <fuse_lowlevel.h>

#include <QObject>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "mount/FileCopies.h"
#include "mount/MountTree.h"

class IMountPhone;

struct TMountOptions {
    bool ReadOnly = false;
    // A folder read lists its drive again when its listing is older than
    // this; 0 lists at every read.
    int RefreshSeconds = 30;
    // Bytes of whole copies held in memory; beyond, copies stay in files.
    int64_t MemoryBytes = int64_t{64} * 1024 * 1024;
};

// The phone as a file system, answering the kernel's requests one at a
// time on the session's thread. What needs the phone (a listing, a file
// fetched for reading, an upload when a written file is closed, a delete)
// runs through the phone, one thing at a time, in the order asked; a
// request that comes while the phone is busy waits in line, and so does
// any later request on the same file. Everything else is answered at once
// from the tree and the copies, also while a transfer runs.
//
// A file opened for reading is fetched whole at its first read and served
// from that copy, to every reader of it, until the last one lets go. A file
// written is staged here and uploaded when it is closed. Once the phone is
// gone every request fails with EIO.
class TPhoneFs : public QObject {
    Q_OBJECT
  public:
    TPhoneFs(IMountPhone& Phone, TCacheFolder& Cache, TMountOptions Options,
             QObject* Parent = nullptr);
    ~TPhoneFs() override;

    // Lists every drive. False when the phone was lost meanwhile.
    bool Start();
    // The phone is gone: what waits and what comes fails with EIO, and
    // every copy and staged file is dropped.
    void PhoneLost();
    bool Lost() const { return lost_; }
    // The mount ends: the running phone command stops at its next pause
    // and whatever waits fails.
    void Shutdown();
    // Whether a phone command runs (or waits to).
    bool Busy() const { return draining_ || !queue_.empty(); }
    int64_t MemoryUsed() const { return budget_.Used(); }

    // The kernel's requests, as libfuse hands them over.
    void Lookup(fuse_req_t Req, fuse_ino_t Parent, const char* Name);
    void GetAttr(fuse_req_t Req, fuse_ino_t Ino);
    void SetAttr(fuse_req_t Req, fuse_ino_t Ino, const struct stat* Attr, int ToSet,
                 fuse_file_info* Fi);
    void Open(fuse_req_t Req, fuse_ino_t Ino, fuse_file_info* Fi);
    void Create(fuse_req_t Req, fuse_ino_t Parent, const char* Name, mode_t Mode,
                fuse_file_info* Fi);
    void Read(fuse_req_t Req, fuse_ino_t Ino, size_t Size, off_t Offset, fuse_file_info* Fi);
    void Write(fuse_req_t Req, fuse_ino_t Ino, const char* Data, size_t Size, off_t Offset,
               fuse_file_info* Fi);
    void Flush(fuse_req_t Req, fuse_ino_t Ino, fuse_file_info* Fi);
    void Release(fuse_req_t Req, fuse_ino_t Ino, fuse_file_info* Fi);
    void Unlink(fuse_req_t Req, fuse_ino_t Parent, const char* Name);
    void Rmdir(fuse_req_t Req, fuse_ino_t Parent, const char* Name);
    // What the phone cannot do: a folder made empty, a rename, a link, a
    // special file.
    void Refuse(fuse_req_t Req);
    void OpenDir(fuse_req_t Req, fuse_ino_t Ino, fuse_file_info* Fi);
    void ReadDir(fuse_req_t Req, fuse_ino_t Ino, size_t Size, off_t Offset, fuse_file_info* Fi);
    void ReleaseDir(fuse_req_t Req, fuse_ino_t Ino, fuse_file_info* Fi);
    void StatFs(fuse_req_t Req, fuse_ino_t Ino);

  signals:
    // The phone was found gone (once).
    void lost();

  private:
    // The whole copy of a file being read, shared by its readers.
    struct TCopy {
        explicit TCopy(TMemoryBudget& Budget) : File(Budget) {}
        TFileCopy File;
        bool Queued = false;  // its fetch waits in line or runs
        struct TWaiter {
            fuse_req_t Req;
            size_t Size;
            off_t Offset;
        };
        std::vector<TWaiter> Waiters;
    };
    struct TDirEntry {
        std::string Name;
        fuse_ino_t Ino;
        bool Folder;
    };
    struct THandle {
        fuse_ino_t Ino = 0;
        bool Writes = false;
        bool Append = false;
        std::shared_ptr<TCopy> Copy;          // a reader's
        std::shared_ptr<TStagedFile> Staged;  // a writer's, or a reader's of a file being written
        std::vector<TDirEntry> Entries;       // a folder's, as it was opened
    };
    // What this side holds of one file beyond the tree.
    struct TFileState {
        std::weak_ptr<TCopy> Copy;
        std::shared_ptr<TStagedFile> Staged;
        int Writers = 0;
        bool New = false;       // made here, not on the phone yet
        std::string PhonePath;  // of a new file, for listings that do not have it yet
    };
    struct TJob {
        fuse_ino_t Ino;
        std::function<void()> Run;
        std::function<void(int)> Fail;
    };

    // Queues a job; any later request on Ino waits behind it.
    void enqueue(fuse_ino_t Ino, std::function<void()> Run, std::function<void(int)> Fail);
    void drain();
    bool waiting(fuse_ino_t Ino) const { return pending_.count(Ino) != 0; }

    const TMountTree::TNode* present(fuse_ino_t Ino) const;
    struct stat attrOf(const TMountTree::TNode& Node) const;
    // Answers Req with Ino's attributes, or ENOENT when it is gone.
    void replyAttr(fuse_req_t Req, fuse_ino_t Ino, double Timeout) const;
    void replyEntry(fuse_req_t Req, const TMountTree::TNode& Node);
    THandle* handle(fuse_file_info* Fi);
    uint64_t addHandle(THandle Handle);

    void fetch(const std::shared_ptr<TCopy>& Copy, fuse_ino_t Ino);
    void serveCopy(TCopy& Copy, int Error);
    void openForWriting(fuse_req_t Req, fuse_ino_t Ino, fuse_file_info Fi);
    void write(fuse_req_t Req, fuse_ino_t Ino, const std::string& Data, off_t Offset,
               THandle& Handle);
    void truncate(fuse_req_t Req, fuse_ino_t Ino, off_t Size, TStagedFile& Staged);
    // Uploads a staged file, answering Req (when there is one) with the outcome.
    void upload(fuse_req_t Req, fuse_ino_t Ino);
    void remove(fuse_req_t Req, fuse_ino_t Ino);
    // The last writer of Ino let go: its staged file goes.
    void letGo(fuse_ino_t Ino);
    void openDir(fuse_req_t Req, fuse_ino_t Ino, fuse_file_info Fi);
    // Lists drive Drive again; false when the phone is gone.
    bool relist(int Drive);
    // Whether Bytes more fit where file Ino goes.
    bool roomFor(fuse_ino_t Ino, int64_t Bytes) const;
    // Refused when the phone is gone (EIO) or the mount is read-only (EROFS).
    bool refusedChange(fuse_req_t Req);

    IMountPhone& phone_;
    TCacheFolder& cache_;
    TMountOptions options_;
    TMemoryBudget budget_;
    TMountTree tree_;
    std::unordered_map<fuse_ino_t, TFileState> files_;
    std::unordered_map<uint64_t, THandle> handles_;
    uint64_t nextHandle_ = 1;
    std::deque<TJob> queue_;
    std::unordered_map<fuse_ino_t, int> pending_;
    bool draining_ = false;
    bool drainPosted_ = false;
    bool lost_ = false;
    bool stopping_ = false;
    // Per drive: when it was last listed, and whether it changed since.
    std::vector<uint32_t> listedAt_;
    std::vector<bool> changed_;
    time_t mountedAt_ = 0;
};

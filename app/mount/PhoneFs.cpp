// The file system's requests: names, attributes, folders and the line of
// phone commands. Reading and writing files are in PhoneFsFiles.cpp.
#include "mount/PhoneFs.h"

#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <QMetaObject>
#include <cerrno>
#include <ctime>

#include "mount/MountPhone.h"
#include "mount/MountRules.h"

namespace {

// How long the kernel may keep a name or its attributes without asking:
// every change comes through the mount, but a listing may bring the
// phone's own (a picture taken meanwhile).
constexpr double CacheSeconds = 1.0;
constexpr blksize_t BlockBytes = 4096;

}  // namespace

TPhoneFs::TPhoneFs(IMountPhone& Phone, TCacheFolder& Cache, TMountOptions Options, QObject* Parent)
    : QObject(Parent),
      phone_(Phone),
      cache_(Cache),
      options_(Options),
      budget_(Options.MemoryBytes),
      tree_(Phone.Drives()),
      listedAt_(tree_.Drives().size(), 0),
      changed_(tree_.Drives().size(), true),
      mountedAt_(std::time(nullptr)) {}

TPhoneFs::~TPhoneFs() {
    // Copies and staged files go with their handles; nothing is answered now.
    handles_.clear();
    files_.clear();
}

bool TPhoneFs::Start() {
    for (size_t d = 0; d < tree_.Drives().size(); ++d) {
        if (!relist(static_cast<int>(d))) {
            return false;
        }
    }
    return true;
}

// --- The line of phone commands -------------------------------------------------

void TPhoneFs::enqueue(fuse_ino_t Ino, std::function<void()> Run, std::function<void(int)> Fail) {
    ++pending_[Ino];
    queue_.push_back({Ino, std::move(Run), std::move(Fail)});
    // The line runs from the event loop, never inside the handler of a
    // request: a phone command lets requests in while it runs.
    if (!drainPosted_ && !draining_) {
        drainPosted_ = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                drainPosted_ = false;
                drain();
            },
            Qt::QueuedConnection);
    }
}

void TPhoneFs::drain() {
    if (draining_) {
        return;
    }
    draining_ = true;
    while (!queue_.empty()) {
        TJob job = std::move(queue_.front());
        queue_.pop_front();
        if (lost_ || stopping_) {
            job.Fail(EIO);
        } else {
            job.Run();
        }
        if (--pending_[job.Ino] <= 0) {
            pending_.erase(job.Ino);
        }
    }
    draining_ = false;
}

void TPhoneFs::PhoneLost() {
    if (lost_) {
        return;
    }
    lost_ = true;
    // What waits fails now; what is held of the phone's files goes.
    while (!queue_.empty() && !draining_) {
        TJob job = std::move(queue_.front());
        queue_.pop_front();
        job.Fail(EIO);
    }
    if (!draining_) {
        pending_.clear();
    }
    for (auto& [id, h] : handles_) {
        (void)id;
        if (h.Copy) {
            serveCopy(*h.Copy, EIO);
            h.Copy->File.Drop();
        }
        h.Staged.reset();
    }
    for (auto& [ino, state] : files_) {
        (void)ino;
        state.Staged.reset();
    }
    cache_.Empty();
    emit lost();
}

void TPhoneFs::Shutdown() {
    stopping_ = true;
    if (draining_) {
        phone_.Stop();
    }
}

// --- Names and attributes ----------------------------------------------------------

const TMountTree::TNode* TPhoneFs::present(fuse_ino_t Ino) const {
    const TMountTree::TNode* node = tree_.Node(Ino);
    return node != nullptr && node->Present ? node : nullptr;
}

struct stat TPhoneFs::attrOf(const TMountTree::TNode& Node) const {
    struct stat st {};
    st.st_ino = Node.Ino;
    st.st_uid = ::getuid();
    st.st_gid = ::getgid();
    st.st_blksize = BlockBytes;
    st.st_atime = st.st_mtime = st.st_ctime = mountedAt_;
    if (Node.Folder) {
        // The root holds the drives only: nothing is made in it.
        const bool writable = !options_.ReadOnly && Node.Ino != TMountTree::RootIno;
        st.st_mode = S_IFDIR | (writable ? 0755 : 0555);
        st.st_nlink = 2;
        return st;
    }
    st.st_mode = S_IFREG | (options_.ReadOnly ? 0444 : 0644);
    st.st_nlink = 1;
    st.st_size = Node.Size;
    // A file being written is as large as what was written of it.
    if (const auto it = files_.find(Node.Ino); it != files_.end() && it->second.Staged) {
        st.st_size = it->second.Staged->Size();
    }
    st.st_blocks = (st.st_size + 511) / 512;
    return st;
}

void TPhoneFs::replyEntry(fuse_req_t Req, const TMountTree::TNode& Node) {
    fuse_entry_param e{};
    e.ino = Node.Ino;
    e.generation = 1;
    e.attr = attrOf(Node);
    e.attr_timeout = CacheSeconds;
    e.entry_timeout = CacheSeconds;
    fuse_reply_entry(Req, &e);
}

TPhoneFs::THandle* TPhoneFs::handle(fuse_file_info* Fi) {
    const auto it = Fi == nullptr ? handles_.end() : handles_.find(Fi->fh);
    return it == handles_.end() ? nullptr : &it->second;
}

uint64_t TPhoneFs::addHandle(THandle Handle) {
    const uint64_t id = nextHandle_++;
    handles_.emplace(id, std::move(Handle));
    return id;
}

bool TPhoneFs::refusedChange(fuse_req_t Req) {
    if (lost_) {
        fuse_reply_err(Req, EIO);
        return true;
    }
    if (options_.ReadOnly) {
        fuse_reply_err(Req, EROFS);
        return true;
    }
    return false;
}

void TPhoneFs::Lookup(fuse_req_t Req, fuse_ino_t Parent, const char* Name) {
    if (lost_) {
        fuse_reply_err(Req, EIO);
        return;
    }
    const TMountTree::TNode* node = tree_.Child(Parent, Name);
    if (node == nullptr || !node->Present) {
        fuse_reply_err(Req, ENOENT);
        return;
    }
    replyEntry(Req, *node);
}

void TPhoneFs::GetAttr(fuse_req_t Req, fuse_ino_t Ino) {
    // The mount point itself answers even with the phone gone, so that it
    // can be unmounted as any other.
    if (lost_ && Ino != TMountTree::RootIno) {
        fuse_reply_err(Req, EIO);
        return;
    }
    replyAttr(Req, Ino, CacheSeconds);
}

void TPhoneFs::replyAttr(fuse_req_t Req, fuse_ino_t Ino, double Timeout) const {
    const TMountTree::TNode* node = present(Ino);
    if (node == nullptr) {
        fuse_reply_err(Req, ENOENT);
        return;
    }
    const struct stat st = attrOf(*node);
    fuse_reply_attr(Req, &st, Timeout);
}

void TPhoneFs::SetAttr(fuse_req_t Req, fuse_ino_t Ino, const struct stat* Attr, int ToSet,
                       fuse_file_info* Fi) {
    if (refusedChange(Req)) {
        return;
    }
    const TMountTree::TNode* node = present(Ino);
    if (node == nullptr) {
        fuse_reply_err(Req, ENOENT);
        return;
    }
    // The phone keeps no owner and no permissions.
    if ((ToSet & (FUSE_SET_ATTR_MODE | FUSE_SET_ATTR_UID | FUSE_SET_ATTR_GID)) != 0) {
        fuse_reply_err(Req, EPERM);
        return;
    }
    if ((ToSet & FUSE_SET_ATTR_SIZE) != 0) {
        if (node->Folder) {
            fuse_reply_err(Req, EISDIR);
            return;
        }
        // A size is set on a file being written; the phone cannot cut a
        // file it holds short in place.
        THandle* h = handle(Fi);
        const auto it = files_.find(Ino);
        TStagedFile* staged = h != nullptr && h->Writes ? h->Staged.get()
                              : it != files_.end()      ? it->second.Staged.get()
                                                        : nullptr;
        if (staged == nullptr) {
            if (Attr->st_size != node->Size) {
                fuse_reply_err(Req, EOPNOTSUPP);
                return;
            }
        } else {
            const off_t size = Attr->st_size;
            std::shared_ptr<TStagedFile> keep =
                h != nullptr && h->Writes ? h->Staged : it->second.Staged;
            if (waiting(Ino)) {
                enqueue(
                    Ino, [this, Req, Ino, size, keep] { truncate(Req, Ino, size, *keep); },
                    [Req](int Error) { fuse_reply_err(Req, Error); });
            } else {
                truncate(Req, Ino, size, *staged);
            }
            return;
        }
    }
    // Times are taken and kept by nobody: the phone has none.
    const struct stat st = attrOf(*node);
    fuse_reply_attr(Req, &st, CacheSeconds);
}

void TPhoneFs::StatFs(fuse_req_t Req, fuse_ino_t) {
    if (lost_) {
        fuse_reply_err(Req, EIO);
        return;
    }
    struct statvfs st {};
    const int64_t free = std::max<int64_t>(phone_.FreeSpace(), 0);
    st.f_bsize = BlockBytes;
    st.f_frsize = BlockBytes;
    st.f_blocks = static_cast<fsblkcnt_t>((free + tree_.TotalBytes()) / BlockBytes);
    st.f_bfree = st.f_bavail = static_cast<fsblkcnt_t>(free / BlockBytes);
    st.f_files = tree_.Count();
    st.f_namemax = 255;
    fuse_reply_statfs(Req, &st);
}

void TPhoneFs::Refuse(fuse_req_t Req) {
    if (!refusedChange(Req)) {
        fuse_reply_err(Req, EPERM);
    }
}

// --- Folders -------------------------------------------------------------------------

bool TPhoneFs::relist(int Drive) {
    const TDriveListing listing = phone_.List(Drive);
    if (listing.Result == TFileResult::PhoneLost) {
        PhoneLost();
        return false;
    }
    const auto d = static_cast<size_t>(Drive);
    if (listing.Result != TFileResult::Done) {
        changed_[d] = true;  // tried again at the next read
        return true;
    }
    tree_.SetDriveFiles(Drive, listing.Files);
    // Files being made here are not on the phone yet, but they are there.
    for (const auto& [ino, state] : files_) {
        if (state.New && state.Staged) {
            tree_.PutFile(Drive, state.PhonePath, state.Staged->Size());
        }
        (void)ino;
    }
    listedAt_[d] = phone_.NowMs();
    // A listing that missed files is tried again at the next read.
    changed_[d] = !listing.Whole;
    return true;
}

void TPhoneFs::OpenDir(fuse_req_t Req, fuse_ino_t Ino, fuse_file_info* Fi) {
    if (lost_) {
        fuse_reply_err(Req, EIO);
        return;
    }
    const TMountTree::TNode* node = present(Ino);
    if (node == nullptr) {
        fuse_reply_err(Req, ENOENT);
        return;
    }
    if (!node->Folder) {
        fuse_reply_err(Req, ENOTDIR);
        return;
    }
    const auto d = static_cast<size_t>(node->Drive);
    const bool due = node->Drive >= 0 &&
                     listingDue(changed_[d], listedAt_[d], phone_.NowMs(), options_.RefreshSeconds);
    if (!due && !waiting(Ino)) {
        openDir(Req, Ino, *Fi);
        return;
    }
    const fuse_file_info fi = *Fi;
    enqueue(
        Ino, [this, Req, Ino, fi] { openDir(Req, Ino, fi); },
        [Req](int Error) { fuse_reply_err(Req, Error); });
}

void TPhoneFs::openDir(fuse_req_t Req, fuse_ino_t Ino, fuse_file_info Fi) {
    const TMountTree::TNode* node = present(Ino);
    if (node != nullptr && node->Drive >= 0) {
        // Listed now when due: a line of requests for one folder lists it once.
        const auto d = static_cast<size_t>(node->Drive);
        if (listingDue(changed_[d], listedAt_[d], phone_.NowMs(), options_.RefreshSeconds) &&
            !relist(node->Drive)) {
            fuse_reply_err(Req, EIO);
            return;
        }
        node = present(Ino);
    }
    if (node == nullptr) {
        fuse_reply_err(Req, ENOENT);
        return;
    }
    THandle h;
    h.Ino = Ino;
    h.Entries.push_back({".", Ino, true});
    h.Entries.push_back({"..", node->Parent, true});
    for (const auto& [name, child] : node->Children) {
        h.Entries.push_back({name, child, tree_.Node(child)->Folder});
    }
    Fi.fh = addHandle(std::move(h));
    if (fuse_reply_open(Req, &Fi) != 0) {
        handles_.erase(Fi.fh);  // the caller gave up meanwhile
    }
}

void TPhoneFs::ReadDir(fuse_req_t Req, fuse_ino_t, size_t Size, off_t Offset, fuse_file_info* Fi) {
    THandle* h = handle(Fi);
    if (lost_ || h == nullptr) {
        fuse_reply_err(Req, lost_ ? EIO : EBADF);
        return;
    }
    std::string buffer(Size, '\0');
    size_t used = 0;
    for (size_t i = static_cast<size_t>(std::max<off_t>(Offset, 0)); i < h->Entries.size(); ++i) {
        const TDirEntry& e = h->Entries[i];
        struct stat st {};
        st.st_ino = e.Ino;
        st.st_mode = e.Folder ? S_IFDIR : S_IFREG;
        const size_t need = fuse_add_direntry(Req, buffer.data() + used, Size - used,
                                              e.Name.c_str(), &st, static_cast<off_t>(i + 1));
        if (need > Size - used) {
            break;
        }
        used += need;
    }
    fuse_reply_buf(Req, buffer.data(), used);
}

void TPhoneFs::ReleaseDir(fuse_req_t Req, fuse_ino_t, fuse_file_info* Fi) {
    handles_.erase(Fi->fh);
    fuse_reply_err(Req, 0);
}

void TPhoneFs::Rmdir(fuse_req_t Req, fuse_ino_t Parent, const char* Name) {
    if (refusedChange(Req)) {
        return;
    }
    const TMountTree::TNode* node = tree_.Child(Parent, Name);
    if (node == nullptr || !node->Present) {
        fuse_reply_err(Req, ENOENT);
        return;
    }
    if (!node->Folder) {
        fuse_reply_err(Req, ENOTDIR);
        return;
    }
    if (!node->Children.empty()) {
        fuse_reply_err(Req, ENOTEMPTY);
        return;
    }
    // A folder is there for the files in it: once they are deleted, it
    // goes from the view. A drive stays.
    fuse_reply_err(Req, tree_.Remove(node->Ino) ? 0 : EBUSY);
}

void TPhoneFs::Unlink(fuse_req_t Req, fuse_ino_t Parent, const char* Name) {
    if (refusedChange(Req)) {
        return;
    }
    const TMountTree::TNode* node = tree_.Child(Parent, Name);
    if (node == nullptr || !node->Present) {
        fuse_reply_err(Req, ENOENT);
        return;
    }
    if (node->Folder) {
        fuse_reply_err(Req, EISDIR);
        return;
    }
    // A file being written is not on the phone as it stands.
    if (const auto it = files_.find(node->Ino); it != files_.end() && it->second.Staged) {
        fuse_reply_err(Req, EBUSY);
        return;
    }
    const fuse_ino_t ino = node->Ino;
    enqueue(
        ino, [this, Req, ino] { remove(Req, ino); },
        [Req](int Error) { fuse_reply_err(Req, Error); });
}

void TPhoneFs::remove(fuse_req_t Req, fuse_ino_t Ino) {
    const TMountTree::TNode* node = present(Ino);
    if (node == nullptr) {
        fuse_reply_err(Req, ENOENT);
        return;
    }
    // Requests handled while the phone works may add nodes: nothing of
    // this one is read after.
    const auto drive = static_cast<size_t>(node->Drive);
    const TFileOutcome outcome = phone_.Delete(node->PhonePath);
    if (outcome.Result == TFileResult::PhoneLost) {
        fuse_reply_err(Req, EIO);
        PhoneLost();
        return;
    }
    changed_[drive] = true;
    if (outcome.Ok()) {
        tree_.Remove(Ino);
    }
    fuse_reply_err(Req, errnoOf(outcome));
}

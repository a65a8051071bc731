// Reading and writing files: whole copies fetched at the first read,
// written files staged and uploaded when they are closed.
#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>

#include <QString>
#include <cerrno>

#include "mount/MountPhone.h"
#include "mount/MountRules.h"
#include "mount/PhoneFs.h"

namespace {

QString nameOf(const TMountTree::TNode& Node) {
    return QString::fromStdString(Node.Name);
}

// The phone folder of a file ("/a/mobile/" of "/a/mobile/x.jpg").
std::string folderOf(const std::string& PhonePath) {
    return PhonePath.substr(0, PhonePath.rfind('/') + 1);
}

}  // namespace

bool TPhoneFs::roomFor(fuse_ino_t Ino, int64_t Bytes) const {
    const TMountTree::TNode* node = present(Ino);
    if (node == nullptr) {
        return true;
    }
    const auto it = files_.find(Ino);
    const bool onPhone = it == files_.end() || !it->second.New;
    return phone_.RoomFor(folderOf(node->PhonePath), Bytes, onPhone ? node->Size : 0);
}

void TPhoneFs::Open(fuse_req_t Req, fuse_ino_t Ino, fuse_file_info* Fi) {
    if (lost_) {
        fuse_reply_err(Req, EIO);
        return;
    }
    const TMountTree::TNode* node = present(Ino);
    if (node == nullptr) {
        fuse_reply_err(Req, ENOENT);
        return;
    }
    if (node->Folder) {
        fuse_reply_err(Req, EISDIR);
        return;
    }
    if ((Fi->flags & O_ACCMODE) != O_RDONLY) {
        if (options_.ReadOnly) {
            fuse_reply_err(Req, EROFS);
            return;
        }
        // Written in place, the file as the phone has it comes first: that
        // waits its turn, as anything the phone does.
        const auto it = files_.find(Ino);
        const bool staged = it != files_.end() && it->second.Staged;
        const bool fetches = !staged && (Fi->flags & O_TRUNC) == 0 && node->Size != 0;
        if (waiting(Ino) || fetches) {
            const fuse_file_info fi = *Fi;
            enqueue(
                Ino, [this, Req, Ino, fi] { openForWriting(Req, Ino, fi); },
                [Req](int Error) { fuse_reply_err(Req, Error); });
        } else {
            openForWriting(Req, Ino, *Fi);
        }
        return;
    }
    THandle h;
    h.Ino = Ino;
    TFileState& state = files_[Ino];
    if (state.Staged) {
        h.Staged = state.Staged;  // what is being written is what there is
    } else {
        h.Copy = state.Copy.lock();
        if (!h.Copy) {
            h.Copy = std::make_shared<TCopy>(budget_);
            state.Copy = h.Copy;
        }
    }
    Fi->fh = addHandle(std::move(h));
    if (fuse_reply_open(Req, Fi) != 0) {
        handles_.erase(Fi->fh);
    }
}

void TPhoneFs::Create(fuse_req_t Req, fuse_ino_t Parent, const char* Name, mode_t Mode,
                      fuse_file_info* Fi) {
    if (refusedChange(Req)) {
        return;
    }
    const TMountTree::TNode* folder = present(Parent);
    if (folder == nullptr || !folder->Folder) {
        fuse_reply_err(Req, folder == nullptr ? ENOENT : ENOTDIR);
        return;
    }
    if (Parent == TMountTree::RootIno) {
        fuse_reply_err(Req, EACCES);  // the root holds the drives only
        return;
    }
    if (!S_ISREG(Mode)) {
        fuse_reply_err(Req, EPERM);
        return;
    }
    if (tree_.Child(Parent, Name) != nullptr) {
        fuse_reply_err(Req, EEXIST);
        return;
    }
    const std::variant<std::string, int> path = newPhonePath(folder->PhonePath, Name);
    if (const int* error = std::get_if<int>(&path)) {
        fuse_reply_err(Req, *error);
        return;
    }
    const std::string& phonePath = std::get<std::string>(path);
    const TMountTree::TIno ino = tree_.PutFile(folder->Drive, phonePath, 0);
    const TMountTree::TNode* node = present(ino);
    const QString stagePath = node == nullptr ? QString() : cache_.NewFilePath(nameOf(*node));
    if (stagePath.isEmpty()) {
        tree_.Remove(ino);
        fuse_reply_err(Req, node == nullptr ? EEXIST : EIO);
        return;
    }
    auto staged = std::make_shared<TStagedFile>(stagePath);
    if (const int error = staged->Open(false)) {
        tree_.Remove(ino);
        fuse_reply_err(Req, error);
        return;
    }
    // An empty file made here is an empty file on the phone.
    staged->Dirty = true;
    TFileState& state = files_[ino];
    state.New = true;
    state.PhonePath = phonePath;
    state.Staged = staged;
    state.Writers = 1;
    THandle h;
    h.Ino = ino;
    h.Writes = true;
    h.Append = (Fi->flags & O_APPEND) != 0;
    h.Staged = staged;
    Fi->fh = addHandle(std::move(h));
    fuse_entry_param e{};
    e.ino = ino;
    e.generation = 1;
    e.attr = attrOf(*node);
    e.attr_timeout = 1.0;
    e.entry_timeout = 1.0;
    fuse_reply_create(Req, &e, Fi);
}

void TPhoneFs::openForWriting(fuse_req_t Req, fuse_ino_t Ino, fuse_file_info Fi) {
    const TMountTree::TNode* node = present(Ino);
    if (node == nullptr) {
        fuse_reply_err(Req, ENOENT);
        return;
    }
    TFileState& state = files_[Ino];
    const bool truncating = (Fi.flags & O_TRUNC) != 0;
    auto open = [this, Req, Ino, Fi](const std::shared_ptr<TStagedFile>& Staged) mutable {
        TFileState& s = files_[Ino];
        s.Staged = Staged;
        ++s.Writers;
        THandle h;
        h.Ino = Ino;
        h.Writes = true;
        h.Append = (Fi.flags & O_APPEND) != 0;
        h.Staged = Staged;
        Fi.fh = addHandle(std::move(h));
        if (fuse_reply_open(Req, &Fi) != 0) {
            handles_.erase(Fi.fh);
            --s.Writers;
        }
    };
    if (state.Staged) {
        // A second writer writes into the same staged file.
        if (truncating) {
            if (const int error = state.Staged->Truncate(0)) {
                fuse_reply_err(Req, error);
                return;
            }
        }
        open(state.Staged);
        return;
    }
    const QString path = cache_.NewFilePath(nameOf(*node));
    if (path.isEmpty()) {
        fuse_reply_err(Req, EIO);
        return;
    }
    auto staged = std::make_shared<TStagedFile>(path);
    if (truncating || node->Size == 0) {
        if (const int error = staged->Open(false)) {
            fuse_reply_err(Req, error);
            return;
        }
        // Cut to nothing, it is written so even when nothing more comes.
        staged->Dirty = truncating && node->Size != 0;
        open(staged);
        return;
    }
    // Written in place: the file as the phone has it comes first.
    const TFileOutcome outcome =
        phone_.Fetch(node->PhonePath, static_cast<int32_t>(node->Size), path);
    if (outcome.Result == TFileResult::PhoneLost) {
        fuse_reply_err(Req, EIO);
        PhoneLost();
        return;
    }
    if (!outcome.Ok()) {
        fuse_reply_err(Req, errnoOf(outcome));
        return;
    }
    if (const int error = staged->Open(true)) {
        fuse_reply_err(Req, error);
        return;
    }
    open(staged);
}

void TPhoneFs::Read(fuse_req_t Req, fuse_ino_t Ino, size_t Size, off_t Offset, fuse_file_info* Fi) {
    THandle* h = handle(Fi);
    if (lost_ || h == nullptr) {
        fuse_reply_err(Req, lost_ ? EIO : EBADF);
        return;
    }
    std::string data;
    if (h->Staged) {
        const int error = h->Staged->Read(Offset, Size, data);
        if (error != 0) {
            fuse_reply_err(Req, error);
        } else {
            fuse_reply_buf(Req, data.data(), data.size());
        }
        return;
    }
    const TMountTree::TNode* node = present(Ino);
    TCopy& copy = *h->Copy;
    if (copy.File.Loaded() || (node != nullptr && node->Size == 0)) {
        // An empty file has nothing to fetch.
        const int error = copy.File.Loaded() ? copy.File.Read(Offset, Size, data) : 0;
        if (error != 0) {
            fuse_reply_err(Req, error);
        } else {
            fuse_reply_buf(Req, data.data(), data.size());
        }
        return;
    }
    copy.Waiters.push_back({Req, Size, Offset});
    if (!copy.Queued) {
        copy.Queued = true;
        fetch(h->Copy, Ino);
    }
}

void TPhoneFs::fetch(const std::shared_ptr<TCopy>& Copy, fuse_ino_t Ino) {
    // Fetched once for every reader; a reader that lets go meanwhile does
    // not take the copy with it.
    std::weak_ptr<TCopy> weak = Copy;
    enqueue(
        Ino,
        [this, weak, Ino] {
            const std::shared_ptr<TCopy> copy = weak.lock();
            const TMountTree::TNode* node = present(Ino);
            if (!copy) {
                return;
            }
            if (node == nullptr) {
                serveCopy(*copy, ENOENT);
                return;
            }
            const QString path = cache_.NewFilePath(nameOf(*node));
            if (path.isEmpty()) {
                serveCopy(*copy, EIO);
                return;
            }
            const TFileOutcome outcome =
                phone_.Fetch(node->PhonePath, static_cast<int32_t>(node->Size), path);
            if (outcome.Result == TFileResult::PhoneLost) {
                serveCopy(*copy, EIO);
                PhoneLost();
                return;
            }
            if (!outcome.Ok()) {
                // Nothing stands at the path: the fetch keeps no partial file.
                ::rmdir(QFile::encodeName(QFileInfo(path).path()).constData());
            }
            serveCopy(*copy, outcome.Ok() ? copy->File.Load(path) : errnoOf(outcome));
        },
        [weak](int Error) {
            (void)Error;
            if (const std::shared_ptr<TCopy> copy = weak.lock()) {
                for (const TCopy::TWaiter& w : copy->Waiters) {
                    fuse_reply_err(w.Req, EIO);
                }
                copy->Waiters.clear();
                copy->Queued = false;
            }
        });
}

void TPhoneFs::serveCopy(TCopy& Copy, int Error) {
    std::vector<TCopy::TWaiter> waiters;
    waiters.swap(Copy.Waiters);
    Copy.Queued = false;
    std::string data;
    for (const TCopy::TWaiter& w : waiters) {
        const int error = Error != 0 ? Error : Copy.File.Read(w.Offset, w.Size, data);
        if (error != 0) {
            fuse_reply_err(w.Req, error);
        } else {
            fuse_reply_buf(w.Req, data.data(), data.size());
        }
    }
}

void TPhoneFs::Write(fuse_req_t Req, fuse_ino_t Ino, const char* Data, size_t Size, off_t Offset,
                     fuse_file_info* Fi) {
    THandle* h = handle(Fi);
    if (lost_ || h == nullptr || !h->Writes || !h->Staged) {
        fuse_reply_err(Req, lost_ ? EIO : EBADF);
        return;
    }
    if (!waiting(Ino)) {
        write(Req, Ino, std::string(Data, Size), Offset, *h);
        return;
    }
    // Behind an upload of the same file: its bytes must not change under it.
    const uint64_t id = Fi->fh;
    enqueue(
        Ino,
        [this, Req, Ino, data = std::string(Data, Size), Offset, id] {
            const auto it = handles_.find(id);
            if (it == handles_.end() || !it->second.Staged) {
                fuse_reply_err(Req, EBADF);
                return;
            }
            write(Req, Ino, data, Offset, it->second);
        },
        [Req](int Error) { fuse_reply_err(Req, Error); });
}

void TPhoneFs::write(fuse_req_t Req, fuse_ino_t Ino, const std::string& Data, off_t Offset,
                     THandle& Handle) {
    TStagedFile& staged = *Handle.Staged;
    const int64_t at = Handle.Append ? staged.Size() : Offset;
    const int64_t end = at + static_cast<int64_t>(Data.size());
    // Refused as soon as it cannot fit on the phone, not after all of it is staged.
    const int error = end > staged.Size() && !roomFor(Ino, end)
                          ? ENOSPC
                          : staged.Write(at, Data.data(), Data.size());
    if (error != 0) {
        staged.Failed = error;
        fuse_reply_err(Req, error);
        return;
    }
    fuse_reply_write(Req, Data.size());
}

void TPhoneFs::truncate(fuse_req_t Req, fuse_ino_t Ino, off_t Size, TStagedFile& Staged) {
    const int error = Size > Staged.Size() && !roomFor(Ino, Size) ? ENOSPC : Staged.Truncate(Size);
    if (error != 0) {
        Staged.Failed = error;
        fuse_reply_err(Req, error);
        return;
    }
    replyAttr(Req, Ino, 1.0);
}

void TPhoneFs::Flush(fuse_req_t Req, fuse_ino_t Ino, fuse_file_info* Fi) {
    THandle* h = handle(Fi);
    if (lost_) {
        fuse_reply_err(Req, EIO);
        return;
    }
    // Each close of a file written uploads what it holds, so that the
    // close tells whether the phone took it.
    if (h == nullptr || !h->Writes || !h->Staged || (!h->Staged->Dirty && !waiting(Ino))) {
        fuse_reply_err(Req, 0);
        return;
    }
    enqueue(
        Ino, [this, Req, Ino] { upload(Req, Ino); },
        [Req](int Error) { fuse_reply_err(Req, Error); });
}

void TPhoneFs::upload(fuse_req_t Req, fuse_ino_t Ino) {
    auto reply = [Req](int Error) {
        if (Req != nullptr) {
            fuse_reply_err(Req, Error);
        }
    };
    const TMountTree::TNode* node = present(Ino);
    const auto it = files_.find(Ino);
    if (node == nullptr || it == files_.end() || !it->second.Staged || !it->second.Staged->Dirty) {
        reply(node == nullptr ? ENOENT : 0);  // nothing new since the last upload
        return;
    }
    const std::shared_ptr<TStagedFile> staged = it->second.Staged;
    const bool wasNew = it->second.New;
    const int64_t replaces = wasNew ? 0 : node->Size;
    const std::string phonePath = node->PhonePath;
    const int drive = node->Drive;
    // Uploaded once: a failed upload is not tried again at the next close.
    staged->Dirty = false;
    if (staged->Failed != 0) {
        // A file whose writing failed part way is not sent at all: the
        // phone keeps what it had.
        if (wasNew) {
            it->second.New = false;
            it->second.Staged.reset();
            tree_.Remove(Ino);
        }
        reply(staged->Failed);
        return;
    }
    const TFileOutcome outcome = phone_.Put(staged->Path(), folderOf(phonePath), replaces);
    changed_[static_cast<size_t>(drive)] = true;
    if (outcome.Result == TFileResult::PhoneLost) {
        reply(EIO);
        PhoneLost();
        return;
    }
    TFileState& state = files_[Ino];
    if (outcome.Ok()) {
        state.New = false;
        tree_.PutFile(drive, phonePath, staged->Size());
        state.Copy.reset();  // the next reader fetches what the phone has now
    } else if (wasNew ||
               (outcome.Result != TFileResult::NoRoom && outcome.Result != TFileResult::BadName &&
                outcome.Result != TFileResult::Refused)) {
        // Nothing of it stays on the phone: a failed upload takes what it
        // replaced with it, and a new file never was there. One refused
        // before a byte was written leaves what it would have replaced.
        state.New = false;
        state.Staged.reset();
        tree_.Remove(Ino);
    }
    reply(errnoOf(outcome));
}

void TPhoneFs::Release(fuse_req_t Req, fuse_ino_t Ino, fuse_file_info* Fi) {
    const auto it = handles_.find(Fi->fh);
    if (it == handles_.end()) {
        fuse_reply_err(Req, 0);
        return;
    }
    const bool writes = it->second.Writes;
    handles_.erase(it);
    fuse_reply_err(Req, 0);
    if (!writes) {
        return;  // a copy goes with its last reader
    }
    TFileState& state = files_[Ino];
    if (--state.Writers > 0) {
        return;
    }
    // Written after the last close (through a memory map): uploaded now,
    // with nobody to tell. Then the staged file goes.
    if (state.Staged && state.Staged->Dirty && !lost_) {
        enqueue(
            Ino, [this, Ino] { upload(nullptr, Ino); }, [](int) {});
    }
    if (waiting(Ino)) {
        enqueue(
            Ino, [this, Ino] { letGo(Ino); }, [this, Ino](int) { letGo(Ino); });
    } else {
        letGo(Ino);
    }
}

void TPhoneFs::letGo(fuse_ino_t Ino) {
    TFileState& state = files_[Ino];
    if (state.Writers > 0) {
        return;
    }
    state.Staged.reset();
    // A file made here that never reached the phone is not there.
    if (state.New) {
        state.New = false;
        tree_.Remove(Ino);
    }
}

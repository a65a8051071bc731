#include "core/previews/PreviewFetcher.h"

#include <QFile>
#include <algorithm>

#include "MotoP2KMode.h"
#include "core/files/ExifInfo.h"
#include "core/previews/PreviewRules.h"
#include "core/program/LogCategories.h"
#include "core/session/FileListModel.h"
#include "core/session/PhoneSession.h"

namespace {

// Files that fail to open one after the other (an open fails only when its
// exchange does) before the fetcher stops asking a phone that no longer
// answers; a new list starts it again.
constexpr int MaxFailures = 3;

}  // namespace

TPreviewFetcher::TPreviewFetcher(TPhoneSession& Session)
    : QObject(&Session), session_(Session), cache_(std::make_unique<TThumbnailCache>()) {
    timer_.setSingleShot(true);
    timer_.setInterval(0);
    connect(&timer_, &QTimer::timeout, this, &TPreviewFetcher::step);
    // Made before any view connects to the list, so the rows are built
    // again before a view asks for them.
    connect(&Session.FileList(), &QAbstractItemModel::modelReset, this, &TPreviewFetcher::rebuild);
    connect(&Session, &TPhoneSession::busyChanged, this, [this](bool Busy) {
        if (!Busy) {
            Resume();
        }
    });
    connect(&Session, &TPhoneSession::fileDownloaded, this, &TPreviewFetcher::downloaded);
    connect(&Session, &TPhoneSession::commandStarting, this, &TPreviewFetcher::CommandStarting,
            Qt::DirectConnection);
    connect(&Session, &TPhoneSession::modalEnded, this, &TPreviewFetcher::Resume);
    connect(&Session, &TPhoneSession::closing, this, [this] {
        timer_.stop();
        closeJob();
        finished_.reset();
    });
}

TPreviewFetcher::~TPreviewFetcher() {
    // The phone is never left with a preview's file open.
    closeJob();
    finished_.reset();
}

void TPreviewFetcher::SetCacheFolder(const QString& Folder, qint64 MaxBytes) {
    cache_ = std::make_unique<TThumbnailCache>(Folder, MaxBytes);
    cachedMarked_ = false;
    Resume();
}

TPreviewState TPreviewFetcher::State(int Row) const {
    return Row >= 0 && Row < Count() ? rows_[size_t(Row)].State : TPreviewState::None;
}

QString TPreviewFetcher::Key(int Row) const {
    return Row >= 0 && Row < Count() ? rows_[size_t(Row)].Key : QString();
}

bool TPreviewFetcher::enabled() const {
    return session_.Host().Option(TSessionOption::Previews);
}

void TPreviewFetcher::SetVisibleRows(int First, int Last) {
    visibleFirst_ = std::max(First, 0);
    visibleLast_ = std::min(Last, Count() - 1);
    restFrom_ = visibleLast_ + 1;
    Resume();
}

void TPreviewFetcher::Resume() {
    if (session_.Busy() || session_.ModalOpen() || !enabled()) {
        return;
    }
    if (!cachedMarked_) {
        markCached();
    }
    if (hasWork()) {
        arm();
    }
}

bool TPreviewFetcher::hasWork() const {
    return job_ || finished_ || !local_.empty() || (pending_ > 0 && failures_ < MaxFailures);
}

void TPreviewFetcher::arm() {
    if (!timer_.isActive()) {
        timer_.start();
    }
}

void TPreviewFetcher::CommandStarting() {
    timer_.stop();
    closeJob();
}

void TPreviewFetcher::rebuild() {
    closeJob();
    rows_.clear();
    rowOfKey_.clear();
    ++list_;
    pending_ = 0;
    failures_ = 0;
    cachedMarked_ = false;
    const std::shared_ptr<TMotoP2KModemItem> item = session_.ChosenItem();
    item_ = item;
    identity_ = item ? phoneIdentity(item->ModemInfo().HardwareID,
                                     session_.PhoneEntries().value(session_.ChosenPhone()))
                     : QString();
    const TFileRows& rows = session_.Rows();
    rows_.resize(size_t(rows.Count()));
    for (int i = 0; i < rows.Count(); ++i) {
        TRow& r = rows_[size_t(i)];
        r.Name = rows.At(i).Name;
        r.Size = rows.At(i).Size;
        if (!isPreviewPicture(r.Name)) {
            continue;
        }
        if (identity_.isEmpty() || r.Size <= 0) {
            r.State = TPreviewState::Failed;
            continue;
        }
        r.Key = previewKey(identity_, r.Name, r.Size);
        r.State = TPreviewState::Pending;
        rowOfKey_.insert(r.Key, i);
        ++pending_;
    }
    visibleFirst_ = 0;
    visibleLast_ = -1;
    restFrom_ = 0;
    emit rowsReset();
    Resume();
}

void TPreviewFetcher::markCached() {
    // Thumbnails kept from before show at once, with no phone read.
    cachedMarked_ = true;
    bool found = false;
    for (TRow& r : rows_) {
        if (r.State == TPreviewState::Pending && cache_->Contains(r.Key)) {
            r.State = TPreviewState::Done;
            --pending_;
            found = true;
        }
    }
    if (found) {
        emit previewsChanged();  // once, not once a row: a list may be long
    }
}

int TPreviewFetcher::nextRow() {
    if (pending_ <= 0) {
        return -1;
    }
    for (int r = visibleFirst_; r <= visibleLast_; ++r) {
        if (State(r) == TPreviewState::Pending) {
            return r;
        }
    }
    // Then the rest, one after the other from below the screen, wrapping.
    const int n = Count();
    for (int i = 0; i < n; ++i) {
        const int r = (restFrom_ + i) % n;
        if (rows_[size_t(r)].State == TPreviewState::Pending) {
            restFrom_ = r;
            return r;
        }
    }
    return -1;
}

void TPreviewFetcher::step() {
    // A command's own event processing turns the loop too: the fetcher
    // waits for it to end (busyChanged) or for the dialog to close.
    if (session_.Busy() || session_.ModalOpen()) {
        return;
    }
    if (!enabled()) {
        closeJob();  // switched off: the file is closed, nothing more is read
        return;
    }
    if (finished_) {
        finishJob();
    } else if (!local_.empty()) {
        feedLocal();
    } else if (job_) {
        if (job_->Closing) {
            closeJob();
        } else {
            readBlock();
        }
    } else if (failures_ < MaxFailures) {
        const int row = nextRow();
        if (row < 0) {
            return;
        }
        startJob(row);
    }
    if (hasWork()) {
        arm();
    }
}

void TPreviewFetcher::startJob(int Row) {
    std::shared_ptr<TMotoP2KModemItem> item = item_.lock();
    if (!item || !item->IsOpen()) {
        failures_ = MaxFailures;  // no phone to ask until the next list
        return;
    }
    ++exchanges_;
    if (!item->FileOpen(rows_[size_t(Row)].Name, TP2KFileAttrs::Of({atAny}))) {
        ++failures_;
        finish(rows_[size_t(Row)].Key, std::nullopt, list_);
        return;
    }
    failures_ = 0;
    qCDebug(lcPreview) << "fetching" << rows_[size_t(Row)].Key;
    job_ = TJob{};
    job_->Row = Row;
    job_->Key = rows_[size_t(Row)].Key;
    job_->List = list_;
    job_->Item = std::move(item);
    job_->Opened = true;
}

void TPreviewFetcher::readBlock() {
    TJob& job = *job_;
    const int32_t size = rows_[size_t(job.Row)].Size;
    const qsizetype done = job.Data.size();
    job.Data.resize(done + PreviewBlockSize);
    ++exchanges_;
    const int32_t n =
        job.Item->FileRead(reinterpret_cast<uint8_t*>(job.Data.data() + done), PreviewBlockSize);
    // A one-byte reply is data only where it completes the file; else it
    // cannot be told from an error code (as in a download).
    const bool lastByte = n == 1 && done + 1 == size;
    if ((n < 2 && !lastByte) || n > PreviewBlockSize || done + n > size) {
        // The file ended before its listed size, the exchange failed, or
        // the phone's file is not the one listed: no preview of it now.
        job.Data.truncate(done);
        job.Result.reset();
        job.DecodeWhole = false;
        job.Closing = true;
        return;
    }
    job.Data.truncate(done + n);
    judgeHead();
}

void TPreviewFetcher::judgeHead() {
    TJob& job = *job_;
    const int32_t size = rows_[size_t(job.Row)].Size;
    const bool complete = job.Data.size() == size;
    if (!job.Whole) {
        switch (imageSignature(job.Data)) {
            case TImageSignature::NeedMore:
                job.Closing = complete;  // a file too short for any picture
                return;
            case TImageSignature::Unknown:
                job.Closing = true;  // named like a picture, but not one
                return;
            case TImageSignature::Png:
            case TImageSignature::Gif:
            case TImageSignature::Bmp:
                job.Whole = true;
                break;
            case TImageSignature::Jpeg: {
                const TJpegHead head = scanJpegHead(job.Data);
                if (head.Kind == TJpegHead::Exif) {
                    const QByteArray exif = job.Data.left(head.End);
                    const QByteArray thumbnail = readExifInfo(exif).Thumbnail;
                    if (!thumbnail.isEmpty() && maker_) {
                        if (auto image = maker_(thumbnail)) {
                            job.Result = entryOf(*image, exif);
                            job.Closing = true;
                            return;
                        }
                    }
                    job.Whole = true;  // no thumbnail, or one that does not decode
                } else if (head.Kind == TJpegHead::NoExif || complete ||
                           job.Data.size() >= MaxExifHead) {
                    job.Whole = true;
                } else {
                    return;  // the EXIF block goes on in the next block
                }
                break;
            }
        }
        if (size > MaxWholePicture) {
            job.Closing = true;  // too large to read whole: no preview
            return;
        }
    }
    if (complete) {
        job.DecodeWhole = true;
        job.Closing = true;
    }
}

void TPreviewFetcher::closeJob() {
    if (!job_) {
        return;
    }
    TJob job = std::move(*job_);
    job_.reset();
    if (job.Opened) {
        ++exchanges_;
        job.Item->FileClose();
    }
    job.Item.reset();
    // A fetch dropped in flight is fetched again when its turn comes; one
    // whose reading was over is made into a thumbnail on the next turn, so
    // that a command never waits for a decode.
    if (job.Closing) {
        finished_ = std::move(job);
    }
}

void TPreviewFetcher::finishJob() {
    TJob job = std::move(*finished_);
    finished_.reset();
    if (job.DecodeWhole && maker_) {
        if (auto image = maker_(job.Data)) {
            job.Result = entryOf(*image, job.Data);
        }
    }
    finish(job.Key, std::move(job.Result), job.List);
}

std::optional<TThumbnailEntry> TPreviewFetcher::entryOf(const QByteArray& Image,
                                                        const QByteArray& Head) const {
    const TExifInfo exif = readExifInfo(Head);
    return TThumbnailEntry{Image, exif.Taken, exif.CameraModel};
}

void TPreviewFetcher::finish(const QString& Key, std::optional<TThumbnailEntry> Entry,
                             uint64_t List) {
    // By key: the list may have been made again meanwhile, with the same
    // file in another row or not at all. A thumbnail counts for any list; a
    // failure only for its own (the phone may have been unplugged in it).
    const bool kept = Entry && cache_->Put(Key, *Entry);
    qCDebug(lcPreview) << (kept ? "kept" : "no thumbnail of") << Key;
    const auto row = rowOfKey_.constFind(Key);
    if (row == rowOfKey_.constEnd() || rows_[size_t(*row)].State != TPreviewState::Pending ||
        (!kept && List != list_)) {
        return;
    }
    rows_[size_t(*row)].State = kept ? TPreviewState::Done : TPreviewState::Failed;
    --pending_;
    emit previewChanged(*row);
}

void TPreviewFetcher::downloaded(const std::string& Name, int32_t Size, const QString& Local) {
    if (identity_.isEmpty() || Size <= 0 || Size > MaxWholePicture || !isPreviewPicture(Name) ||
        !enabled()) {
        return;
    }
    const QString key = previewKey(identity_, Name, Size);
    if (!cache_->Contains(key)) {
        local_.push_back({key, Local});  // made once the command has ended
    }
}

void TPreviewFetcher::feedLocal() {
    const TLocalFeed feed = local_.front();
    local_.pop_front();
    QFile f(feed.Path);
    if (!maker_ || cache_->Contains(feed.Key) || !f.open(QIODevice::ReadOnly) ||
        f.size() > MaxWholePicture) {
        return;
    }
    const QByteArray data = f.read(MaxWholePicture);
    const auto image = maker_(data);
    if (!image) {
        return;
    }
    finish(feed.Key, entryOf(*image, data), 0);
}

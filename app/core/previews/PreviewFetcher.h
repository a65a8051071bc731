#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/previews/ThumbnailCache.h"

class TMotoP2KModemItem;
class TPhoneSession;

// Where the preview of one row of the file list stands.
enum class TPreviewState : uint8_t {
    None,     // not a picture: nothing is fetched (a front end shows the file's type)
    Pending,  // not fetched yet
    Done,     // its thumbnail is in the cache, under the row's key
    Failed,   // no preview can be drawn of it: unreadable, not a picture, too large
};

// Fetches the thumbnails of the listed pictures from the phone while no
// command runs, so that the phone's link rules hold: the phone has one open
// file and one transaction at a time, and every command runs on this thread.
// It makes one phone exchange (open, read of one block, or close) per turn
// of the event loop, from a zero-time timer, and never while a command runs
// or a dialog of the front end is open (the timer's turn then does nothing);
// before a command's first exchange the session says so (commandStarting),
// which closes the preview's file, so that the command's traffic is that of a
// command without previews. A new list (a listing, another phone, an
// unplugged phone) drops the fetch in flight the same way.
//
// For each picture, rows on screen first: its thumbnail in the cache, and
// no phone read at all; else its first blocks, and the thumbnail its EXIF
// block embeds when there is one; else the whole picture, decoded small. A
// downloaded picture feeds the cache from its local copy as soon as the
// event loop turns, command or not: that reads no phone. Nothing is read
// while the host's Previews option is off.
class TPreviewFetcher : public QObject {
    Q_OBJECT
  public:
    // A small encoded picture made of an image file's bytes (an embedded
    // thumbnail, or a whole file); nothing when they do not decode.
    using TThumbnailMaker = std::function<std::optional<QByteArray>(const QByteArray& Data)>;

    // Made as the session's child, before any view connects to its file
    // list; it follows the session's commands, dialogs and end by itself.
    explicit TPreviewFetcher(TPhoneSession& Session);
    ~TPreviewFetcher() override;

    // Without a maker, no thumbnail is made and pictures read fail.
    void SetThumbnailMaker(TThumbnailMaker Maker) { maker_ = std::move(Maker); }
    // Where thumbnails are kept; an empty folder keeps them in memory.
    void SetCacheFolder(const QString& Folder, qint64 MaxBytes = TThumbnailCache::DefaultMaxBytes);
    TThumbnailCache& Cache() { return *cache_; }

    // The rows of the file list as they stand.
    int Count() const { return static_cast<int>(rows_.size()); }
    TPreviewState State(int Row) const;
    // The row's thumbnail key; empty for a row that has none.
    QString Key(int Row) const;

    // The rows on screen, fetched before the others (Last < First: none).
    void SetVisibleRows(int First, int Last);
    // Goes on fetching when there is anything to fetch and it may: after a
    // command, a dialog, or the Previews option turned on.
    void Resume();
    // Before a command's first exchange (the session's commandStarting):
    // the file of the fetch in flight is closed and that row is fetched
    // again later.
    void CommandStarting();

    // For tests and benchmarks: whether a preview holds a phone file open,
    // and the phone exchanges previews made so far.
    bool FileOpen() const { return job_ && job_->Opened; }
    uint64_t Exchanges() const { return exchanges_; }
    // Whether anything is left to fetch, read, close or make.
    bool Working() const { return hasWork(); }

  signals:
    // The row's preview is done or failed.
    void previewChanged(int Row);
    // Any row's may have changed (thumbnails kept from before were found).
    void previewsChanged();
    // The rows were built again for a new list.
    void rowsReset();

  private:
    struct TRow {
        std::string Name;
        int32_t Size = 0;
        QString Key;
        TPreviewState State = TPreviewState::None;
    };
    // The fetch in flight.
    struct TJob {
        int Row = -1;
        QString Key;
        uint64_t List = 0;  // the list it was fetched for
        std::shared_ptr<TMotoP2KModemItem> Item;
        QByteArray Data;
        bool Opened = false;
        bool Whole = false;    // reading the whole file
        bool Closing = false;  // reading is over: the next turn closes the file
        std::optional<TThumbnailEntry> Result;
        bool DecodeWhole = false;  // the whole file is read: decode it once closed
    };
    struct TLocalFeed {
        QString Key;
        QString Path;
    };

    bool enabled() const;
    void step();
    void arm();
    void rebuild();
    void markCached();
    int nextRow();
    void startJob(int Row);
    void readBlock();
    void judgeHead();
    void closeJob();
    void finishJob();
    void finish(const QString& Key, std::optional<TThumbnailEntry> Entry, uint64_t List);
    bool hasWork() const;
    void feedLocal();
    void downloaded(const std::string& Name, int32_t Size, const QString& Local);
    std::optional<TThumbnailEntry> entryOf(const QByteArray& Image, const QByteArray& Head) const;

    TPhoneSession& session_;
    TThumbnailMaker maker_;
    std::unique_ptr<TThumbnailCache> cache_;
    QTimer timer_;

    std::vector<TRow> rows_;
    uint64_t list_ = 0;  // counts the lists built
    QHash<QString, int> rowOfKey_;
    std::weak_ptr<TMotoP2KModemItem> item_;
    QString identity_;
    int pending_ = 0;
    bool cachedMarked_ = false;
    int visibleFirst_ = 0;
    int visibleLast_ = -1;
    int restFrom_ = 0;
    int failures_ = 0;  // opens failed in a row: a phone that stopped answering
    std::optional<TJob> job_;
    // A fetch whose file is closed, made into a thumbnail on the next turn.
    std::optional<TJob> finished_;
    std::deque<TLocalFeed> local_;
    uint64_t exchanges_ = 0;
};

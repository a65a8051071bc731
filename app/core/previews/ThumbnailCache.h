#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <map>
#include <optional>

// One kept thumbnail: the small picture, already encoded, and what the
// picture's EXIF block said of it.
struct TThumbnailEntry {
    QByteArray Image;  // a small JPEG or PNG
    std::optional<QDateTime> Taken;
    QString CameraModel;
};

// The thumbnails kept from one run to the next, by key (see previewKey):
// one file per thumbnail in a folder of their own (the user's cache folder
// in the program), or, with no folder, in memory for this run only. The
// store is bounded in bytes: once over, the oldest entries go first. An
// entry that cannot be read back (cut short, damaged, not ours) is a miss
// and is removed.
class TThumbnailCache {
  public:
    static constexpr qint64 DefaultMaxBytes = qint64{64} * 1024 * 1024;
    // A stored entry is never larger than this; a file that is, is not ours.
    static constexpr qint64 MaxEntryBytes = qint64{1024} * 1024;

    explicit TThumbnailCache(QString Folder = {}, qint64 MaxBytes = DefaultMaxBytes);

    const QString& Folder() const { return folder_; }
    bool Contains(const QString& Key);
    std::optional<TThumbnailEntry> Get(const QString& Key);
    // False when the entry could not be stored (bad key, too large, the
    // folder not writable); the cache is then as it was.
    bool Put(const QString& Key, const TThumbnailEntry& Entry);
    void Remove(const QString& Key);

    int Count();
    qint64 Bytes();

    // An entry as stored on the disk, and back; nothing for bytes that are
    // not a whole entry.
    static QByteArray Serialize(const TThumbnailEntry& Entry);
    static std::optional<TThumbnailEntry> Deserialize(const QByteArray& Data);

  private:
    struct TIndexed {
        qint64 Bytes = 0;
        qint64 Stamp = 0;  // order of age: the file's time, or the order of writing
    };
    void load();
    QString pathOf(const QString& Key) const;
    void evict();
    void forget(const QString& Key);
    void index(const QString& Key, qint64 Bytes, qint64 Stamp);

    QString folder_;
    qint64 maxBytes_;
    // The folder is indexed on first use, not when the program starts.
    bool loaded_ = false;
    QHash<QString, TIndexed> index_;
    std::multimap<qint64, QString> byAge_;
    qint64 bytes_ = 0;
    qint64 lastStamp_ = 0;
    QHash<QString, QByteArray> memory_;  // the entries themselves, without a folder
};

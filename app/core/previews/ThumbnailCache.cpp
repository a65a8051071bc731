#include "core/previews/ThumbnailCache.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>

#include "core/previews/PreviewRules.h"

namespace {

const QByteArray Magic = QByteArrayLiteral("SNPTHMB1");
const QString Suffix = QStringLiteral(".thumb");
constexpr qsizetype MaxModel = 256;
const QString DateForm = QStringLiteral("yyyy-MM-ddTHH:mm:ss");

// Written beside its name, then renamed over it: a reader never sees half an
// entry. Not flushed to the disk: a cache may lose what a crash cut short,
// and the lost entry is only fetched again.
bool writeFile(const QString& Path, const QByteArray& Data) {
    const QString temporary =
        Path + QStringLiteral(".part%1").arg(QCoreApplication::applicationPid());
    QFile f(temporary);
    if (!QDir().mkpath(QFileInfo(Path).absolutePath()) || !f.open(QIODevice::WriteOnly) ||
        f.write(Data) != Data.size() || !f.flush()) {
        f.remove();
        return false;
    }
    f.close();
    if (::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(Path).constData()) !=
        0) {
        QFile::remove(temporary);
        return false;
    }
    return true;
}

}  // namespace

TThumbnailCache::TThumbnailCache(QString Folder, qint64 MaxBytes)
    : folder_(std::move(Folder)), maxBytes_(MaxBytes) {}

QByteArray TThumbnailCache::Serialize(const TThumbnailEntry& Entry) {
    QByteArray out = Magic;
    QDataStream s(&out, QIODevice::WriteOnly | QIODevice::Append);
    s.setVersion(QDataStream::Qt_6_0);
    s << (Entry.Taken ? Entry.Taken->toString(DateForm) : QString())
      << Entry.CameraModel.left(MaxModel) << Entry.Image;
    return out;
}

std::optional<TThumbnailEntry> TThumbnailCache::Deserialize(const QByteArray& Data) {
    if (!Data.startsWith(Magic) || Data.size() > MaxEntryBytes) {
        return std::nullopt;
    }
    QDataStream s(Data.mid(Magic.size()));
    s.setVersion(QDataStream::Qt_6_0);
    QString taken;
    TThumbnailEntry e;
    s >> taken >> e.CameraModel >> e.Image;
    if (s.status() != QDataStream::Ok || !s.atEnd() || e.Image.isEmpty() ||
        e.CameraModel.size() > MaxModel) {
        return std::nullopt;
    }
    if (!taken.isEmpty()) {
        const QDateTime d = QDateTime::fromString(taken, DateForm);
        if (!d.isValid()) {
            return std::nullopt;
        }
        e.Taken = d;
    }
    return e;
}

QString TThumbnailCache::pathOf(const QString& Key) const {
    return folder_ + QLatin1Char('/') + Key + Suffix;
}

void TThumbnailCache::index(const QString& Key, qint64 Bytes, qint64 Stamp) {
    forget(Key);
    index_.insert(Key, {Bytes, Stamp});
    byAge_.emplace(Stamp, Key);
    bytes_ += Bytes;
    lastStamp_ = std::max(lastStamp_, Stamp);
}

void TThumbnailCache::forget(const QString& Key) {
    const auto it = index_.constFind(Key);
    if (it == index_.constEnd()) {
        return;
    }
    auto [first, last] = byAge_.equal_range(it->Stamp);
    for (auto a = first; a != last; ++a) {
        if (a->second == Key) {
            byAge_.erase(a);
            break;
        }
    }
    bytes_ -= it->Bytes;
    index_.erase(it);
}

void TThumbnailCache::load() {
    if (loaded_) {
        return;
    }
    loaded_ = true;
    if (folder_.isEmpty()) {
        return;
    }
    const QFileInfoList files =
        QDir(folder_).entryInfoList({QStringLiteral("*") + Suffix}, QDir::Files | QDir::Hidden);
    for (const QFileInfo& f : files) {
        const QString key = f.completeBaseName();
        if (isPreviewKey(key) && f.size() <= MaxEntryBytes) {
            index(key, f.size(), f.lastModified().toMSecsSinceEpoch());
        }
    }
    evict();
}

bool TThumbnailCache::Contains(const QString& Key) {
    load();
    return index_.contains(Key);
}

std::optional<TThumbnailEntry> TThumbnailCache::Get(const QString& Key) {
    if (!Contains(Key)) {
        return std::nullopt;
    }
    QByteArray data;
    if (folder_.isEmpty()) {
        data = memory_.value(Key);
    } else {
        QFile f(pathOf(Key));
        if (f.open(QIODevice::ReadOnly) && f.size() <= MaxEntryBytes) {
            data = f.read(MaxEntryBytes + 1);
        }
    }
    std::optional<TThumbnailEntry> entry = Deserialize(data);
    if (!entry) {
        Remove(Key);
    }
    return entry;
}

bool TThumbnailCache::Put(const QString& Key, const TThumbnailEntry& Entry) {
    if (!isPreviewKey(Key) || Entry.Image.isEmpty()) {
        return false;
    }
    load();
    const QByteArray data = Serialize(Entry);
    if (data.size() > MaxEntryBytes) {
        return false;
    }
    if (folder_.isEmpty()) {
        memory_.insert(Key, data);
    } else if (!writeFile(pathOf(Key), data)) {
        return false;
    }
    // Newer than anything indexed, whatever the clock says.
    index(Key, data.size(), std::max(QDateTime::currentMSecsSinceEpoch(), lastStamp_ + 1));
    evict();
    return true;
}

void TThumbnailCache::Remove(const QString& Key) {
    load();
    if (!index_.contains(Key)) {
        return;
    }
    if (folder_.isEmpty()) {
        memory_.remove(Key);
    } else {
        QFile::remove(pathOf(Key));
    }
    forget(Key);
}

void TThumbnailCache::evict() {
    while (bytes_ > maxBytes_ && !byAge_.empty()) {
        const QString oldest = byAge_.begin()->second;
        Remove(oldest);
    }
}

int TThumbnailCache::Count() {
    load();
    return static_cast<int>(index_.size());
}

qint64 TThumbnailCache::Bytes() {
    load();
    return bytes_;
}

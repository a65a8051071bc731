#include "core/session/ImportPlaces.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>

#include "MotoP2KMode.h"
#include "core/files/DurableCopy.h"
#include "core/files/ExifInfo.h"
#include "core/files/FolderPattern.h"
#include "core/files/JpegHead.h"
#include "core/files/PictureTime.h"
#include "core/files/SameName.h"

namespace {

// Bytes asked of the phone per read of a picture's head: few reads, within
// the phone's limit of one read.
constexpr int32_t HeadBlock = 4000;

std::string encoded(const QString& Path) {
    return QFile::encodeName(Path).toStdString();
}

// Whether a name is taken: by a file, a folder, or a link that leads nowhere
// (which a rename would replace).
bool taken(const QString& Path) {
    const QFileInfo info(Path);
    return info.exists() || info.isSymLink();
}

}  // namespace

THeadDate readHeadDate(TMotoP2KModemItem& Item, const std::string& Name, int32_t Size) {
    THeadDate out;
    if (Size <= 0 || !Item.FileOpen(Name, TP2KFileAttrs::Of({atAny}))) {
        return out;
    }
    QByteArray head;
    while (true) {
        const qsizetype done = head.size();
        head.resize(done + HeadBlock);
        const int32_t n = Item.FileRead(reinterpret_cast<uint8_t*>(head.data() + done), HeadBlock);
        // A one-byte reply is data only where it completes the file; else
        // it cannot be told from an error code (as in a download).
        const bool lastByte = n == 1 && done + 1 == Size;
        if ((n < 2 && !lastByte) || n > HeadBlock || done + n > Size) {
            break;  // the phone failed the read, or its file is not the one listed
        }
        head.truncate(done + n);
        const TJpegHead scan = scanJpegHead(head);
        if (scan.Kind == TJpegHead::Exif) {
            out.Read = true;
            if (const auto taken = readExifInfo(head.left(scan.End)).Taken) {
                out.Date = taken->date();
            }
            break;
        }
        if (scan.Kind == TJpegHead::NoExif || head.size() == Size) {
            out.Read = true;  // no EXIF block: nothing further on holds a date
            break;
        }
    }
    Item.FileClose();
    return out;
}

TImportPlaces::TImportPlaces(TImportSettings Settings, QString Folder, ILocalFiles& Files)
    : settings_(std::move(Settings)), folder_(std::move(Folder)), files_(Files) {}

bool TImportPlaces::Dated() const {
    return !settings_.Pattern.isEmpty() && folderPatternUsesDate(settings_.Pattern);
}

std::optional<QString> TImportPlaces::FoldersFor(std::optional<QDate> Date) const {
    if (settings_.Pattern.isEmpty()) {
        return QString();
    }
    const auto folders =
        expandFolderPattern(settings_.Pattern, Date.value_or(settings_.Today), settings_.Model);
    if (!folders) {
        return std::nullopt;
    }
    return *folders + QLatin1Char('/');
}

std::string TImportPlaces::Place(const std::string& Temp, const QString& Undated) {
    placed_ = TPlaced::Target;
    local_.clear();
    foldersDurable_ = true;
    const QString temp = QFile::decodeName(QByteArray::fromStdString(Temp));
    const QFileInfo undated(Undated);
    const QString name = undated.fileName();
    QString dir = undated.path() + QLatin1Char('/');
    if (!settings_.Pattern.isEmpty()) {
        // The date is read from the complete file: whatever its head said,
        // the whole file is what lands.
        std::optional<QDate> date;
        if (Dated()) {
            if (const auto time = pictureTakenTime(temp)) {
                date = time->date();
            }
        }
        const auto made = FoldersFor(date);
        if (!made) {
            placed_ = TPlaced::BadFolder;
            return {};
        }
        foldersDurable_ = makeFoldersDurably(files_, encoded(folder_), encoded(*made));
        dir = folder_ + *made;
    }
    QString target = dir + name;
    if (taken(target) && !settings_.Overwrite) {
        if (!settings_.KeepBoth) {
            placed_ = TPlaced::Existing;
            local_ = target;
            return {};
        }
        const TNumberedNames names = numberedNames(dir, name);
        for (const QString& other : names.Taken) {
            if (sameFileContents(temp, dir + other)) {
                placed_ = TPlaced::Same;
                local_ = dir + other;
                return {};
            }
        }
        if (names.Free.isEmpty()) {
            placed_ = TPlaced::NoName;
            return {};
        }
        placed_ = TPlaced::Numbered;
        target = dir + names.Free;
    }
    local_ = target;
    return encoded(target);
}

TImportPlaces::TCopied TImportPlaces::CopyToSecond(const QString& Local) {
    const QString relative = Local.mid(folder_.size());
    const qsizetype slash = relative.lastIndexOf(QLatin1Char('/'));
    const QString folders = relative.left(slash + 1);
    const QString name = relative.mid(slash + 1);
    const bool foldersDurable =
        makeFoldersDurably(files_, encoded(settings_.Second), encoded(folders));
    const QString dir = settings_.Second + folders;
    QString target = dir + name;
    if (taken(target) && !settings_.Overwrite) {
        // The same picture may be there from a run cut short after it.
        const QStringList names =
            settings_.KeepBoth ? numberedNames(dir, name).Taken : QStringList{name};
        for (const QString& n : names) {
            if (sameFileContents(Local, dir + n)) {
                second_ = dir + n;
                return TCopied::Durable;
            }
        }
        const QString free = settings_.KeepBoth ? numberedNames(dir, name).Free : QString();
        if (free.isEmpty()) {
            second_ = target;
            return TCopied::Differs;
        }
        target = dir + free;
    }
    second_ = target;
    // The temporary file lies in the second folder itself, as the first
    // place's lies in the save folder, and is renamed into the folders.
    const bool copied =
        copyDurably(files_, encoded(Local), encoded(settings_.Second + name), encoded(target));
    return copied && foldersDurable ? TCopied::Durable : TCopied::NotFlushed;
}

bool TImportPlaces::FillSecond(const QString& Local) {
    if (settings_.Second.isEmpty() || !Local.startsWith(folder_) || !QFileInfo(Local).isFile() ||
        taken(settings_.Second + Local.mid(folder_.size()))) {
        return false;
    }
    return CopyToSecond(Local) != TCopied::Differs;
}

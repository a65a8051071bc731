#pragma once

#include <QDate>
#include <QString>
#include <functional>
#include <optional>
#include <string>

class ILocalFiles;
class TMotoP2KModemItem;

// What a Photo Manager download does with a picture after the copy, as the
// user set it: folders by the date it was taken, a different picture whose
// name is taken kept under a numbered name, and a second copy in another
// folder. With all three off nothing here runs.
struct TImportSettings {
    QString Pattern;         // folders by date under the save folder; empty: none
    bool KeepBoth = false;   // a different picture of a taken name is kept too
    QString Second;          // the second folder, ending in "/"; empty: none
    bool Overwrite = false;  // an existing file is replaced (and nothing numbered)
    QString Model;           // the phone's model, for %M
    QDate Today;             // the download's date, for pictures without one
    bool Any() const { return !Pattern.isEmpty() || KeepBoth || !Second.isEmpty(); }
};

// The day a phone picture was taken, as its first blocks tell it.
struct THeadDate {
    bool Read = false;          // the phone gave the blocks asked for
    std::optional<QDate> Date;  // the date they hold; none: the picture has none
};
// Reads the picture's first blocks, up to the end of its EXIF block (never
// more than MaxExifHead bytes), and the date that block holds. A head with
// no EXIF block, or one without a date, says the whole file has none.
THeadDate readHeadDate(TMotoP2KModemItem& Item, const std::string& Name, int32_t Size);

// The places of one download's pictures: where each is looked for before it
// is fetched, where it goes once complete, and its second copy. Paths are
// local texts; the save folder and the second folder end in "/".
class TImportPlaces {
  public:
    TImportPlaces(TImportSettings Settings, QString Folder, ILocalFiles& Files);

    const TImportSettings& Settings() const { return settings_; }
    // Whether the pattern makes folders by date: then each picture's folder
    // is known once its date is.
    bool Dated() const;

    // The folders (relative, ending in "/", or empty) of a picture taken on
    // Date, or the download's date; nothing when the pattern makes no safe
    // folder name of them.
    std::optional<QString> FoldersFor(std::optional<QDate> Date) const;

    // What became of a complete download at Place.
    enum class TPlaced {
        Target,     // it took its own name
        Numbered,   // its name was taken by another picture: it took a numbered one
        Same,       // the same picture is there already: dropped
        Existing,   // a file of its name is there, and is kept: dropped
        BadFolder,  // its date makes no safe folder name: dropped
        NoName,     // every numbered name is taken: dropped
    };
    // Where the complete temporary file Temp of a picture goes, for
    // DownloadFile's place step: Undated (its path without folders by date)
    // or the folders by date of its name, made as needed; a numbered name
    // there; or an empty text to drop it. Placed() and Local() then say what
    // it decided.
    std::string Place(const std::string& Temp, const QString& Undated);
    TPlaced Placed() const { return placed_; }
    // The path it went to, or the file that made it go (Same, Existing).
    const QString& Local() const { return local_; }
    // Whether the folders made for it are known to be on the disk.
    bool FoldersDurable() const { return foldersDurable_; }

    // What the second copy of a picture did.
    enum class TCopied {
        Durable,     // written there, and known to be on the disk
        NotFlushed,  // written there, but not known to be on the disk
        Differs,     // a different picture has its name there and is kept: not written
    };
    // Copies the first place's file Local (inside the save folder) into the
    // same folders of the second place. Second() is where it went or what
    // kept it out. Throws std::system_error when the second place fails.
    TCopied CopyToSecond(const QString& Local);
    const QString& Second() const { return second_; }
    // A picture the first place already holds at Local is copied into the
    // second place when that has no file of its name yet. True when it was.
    bool FillSecond(const QString& Local);

  private:
    TImportSettings settings_;
    QString folder_;
    ILocalFiles& files_;
    TPlaced placed_ = TPlaced::Target;
    QString local_;
    QString second_;
    bool foldersDurable_ = true;
};

#pragma once

#include <QString>
#include <optional>

class QSettings;

// The window as the user left it: its frame's top-left corner, its inner
// size, whether it was maximised, and the widths of the file list's three
// columns. Each value is absent when not stored, or stored with the wrong
// type; only present values are written.
struct TWindowPlace {
    std::optional<int> Left;
    std::optional<int> Top;
    std::optional<int> Width;
    std::optional<int> Height;
    std::optional<bool> Maximized;
    std::optional<int> Columns[3];
};

// The program's settings as stored: each value is absent when the store has
// none or holds it with the wrong type. Strings are texts; booleans are
// stored as the integers 1 and 0 (any non-zero number reads as true).
struct TStoredSettings {
    std::optional<QString> Dir;
    std::optional<bool> Overwrite;
    std::optional<bool> Delete;
    std::optional<bool> Download;
    std::optional<bool> Hide;
    std::optional<QString> Lang;
    std::optional<int> Mode;
    std::optional<int> Charset;
    std::optional<bool> Previews;
    std::optional<bool> PictureTime;     // "picturetime"
    std::optional<bool> SkipDownloaded;  // "skipdownloaded"
    std::optional<bool> DateFolders;     // "datefolders": sort into folders by date taken
    std::optional<QString> DatePattern;  // "datepattern": their pattern
    std::optional<int> SameName;         // "samename": 0 skip, 1 keep both
    std::optional<bool> AlsoCopy;        // "alsocopy": also copy to a second folder
    std::optional<QString> AlsoCopyDir;  // "alsocopydir": that folder
    TWindowPlace Place;
};

// The values to write at close: every one is present.
struct TSettingsToWrite {
    QString Dir;
    bool Overwrite = false;
    bool Delete = false;
    bool Download = false;
    bool Hide = false;
    QString Lang;
    int Mode = 0;
    int Charset = 1;
    bool Previews = true;
    bool PictureTime = true;
    bool SkipDownloaded = false;
    bool DateFolders = false;
    QString DatePattern;
    int SameName = 0;
    bool AlsoCopy = false;
    QString AlsoCopyDir;
    TWindowPlace Place;
};

// Where the settings live: "<config>/Brenwick/Snaprill.conf" in the native
// format, or the file a test gives.
class TSettingsStore {
  public:
    // Path empty: the user's own settings file of the organisation and program.
    explicit TSettingsStore(QString Path = {});

    const QString& path() const { return path_; }

    // Reads every value. Error gets a reason when the file exists but cannot
    // be read or parsed; every value then counts as absent.
    TStoredSettings read(QString* Error = nullptr) const;
    // Only the "hide" value, as the program entry reads it before any window.
    std::optional<bool> readHide() const;
    // Writes every value; false with a reason when the file could not be written.
    bool write(const TSettingsToWrite& Values, QString* Error = nullptr) const;

  private:
    QString path_;
};

// Typed reads that count a value of the wrong type as absent.
std::optional<QString> settingString(const QSettings& S, const QString& Name);
std::optional<bool> settingBool(const QSettings& S, const QString& Name);
std::optional<int> settingInt(const QSettings& S, const QString& Name);

#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <string>
#include <unordered_set>

// A phone as the download history knows it: what the phone says of itself
// and what its USB device says. Phone bytes; Serial is empty for a device
// without a serial number, and then model and firmware alone tell phones
// apart.
struct TPhoneIdentity {
    std::string Model;
    std::string Firmware;
    std::string Serial;
    // A phone that told nothing of itself cannot be told from another.
    bool Known() const { return !Model.empty() || !Firmware.empty() || !Serial.empty(); }
    friend bool operator==(const TPhoneIdentity&, const TPhoneIdentity&) = default;
};

// Every picture downloaded complete, by phone, phone path (letter case
// ignored, as the phone's file system ignores it) and listed size, so that
// "only new pictures" can skip a picture whose copy was moved away. It is
// kept in a text file, one line per picture, appended as each one completes:
// a program that dies loses nothing already recorded. The format (see the
// README): lines of five tab-separated fields, model, firmware, USB serial,
// size in decimal, phone path; in the texts every byte outside "!" to "~",
// and "%" itself, is written as "%" and two upper-case hex digits. Lines
// starting with "#" are comments. A line that does not read so is skipped.
// A phone that is not Known() is never remembered, nor found.
class TDownloadHistory {
  public:
    // Reads the file at Path, which Record then appends to; a missing file
    // is an empty history. Returns an error text when the file exists but
    // cannot be read. An empty Path keeps the history in memory only.
    QString Load(const QString& Path);
    const QString& Path() const { return path_; }
    int Count() const { return static_cast<int>(keys_.size()); }

    bool Contains(const TPhoneIdentity& Phone, const std::string& Name, int32_t Size) const;
    // Remembers the picture and appends its line to the file, unless it is
    // known already. Returns an error text when the file could not be
    // written; the picture is remembered for this run all the same.
    QString Record(const TPhoneIdentity& Phone, const std::string& Name, int32_t Size);

  private:
    QString path_;
    std::unordered_set<std::string> keys_;
};

// One line of the history file, without its line end.
QByteArray historyLine(const TPhoneIdentity& Phone, const std::string& Name, int32_t Size);
// Reads a line (without its line end); false for a comment or a bad line.
bool parseHistoryLine(const QByteArray& Line, TPhoneIdentity& Phone, std::string& Name,
                      int32_t& Size);

#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

// Reads profile (INI) files by the rules the language files were written
// for: section and key names compare without regard to letter case; blanks
// around keys and values are dropped; one pair of matching double or single
// quotes around a value is stripped; a value is cut to 2047 characters; the
// key names of a section are listed in file order into a 16384-byte list of
// zero-terminated names, so names beyond that space are not listed (the last
// one may be cut short). Lines may end in CR, LF or CR LF; lines starting
// with ";" are comments. Texts stay raw 8-bit bytes: decoding is the
// caller's business.
class TProfile {
  public:
    // Files larger than this are read only up to it.
    static constexpr qint64 MaxFileBytes = qint64{4} * 1024 * 1024;
    static constexpr qsizetype MaxValueChars = 2047;
    static constexpr qsizetype KeyListBytes = 16384;

    static TProfile fromBytes(const QByteArray& Data);
    // An unreadable or missing file gives an empty profile.
    static TProfile fromFile(const QString& Path);

    // The key names of Section in file order, as the 16384-byte list holds them.
    QList<QByteArray> keys(const QByteArray& Section) const;
    // The value of Key in Section; nothing when the section or key is absent.
    std::optional<QByteArray> value(const QByteArray& Section, const QByteArray& Key) const;

  private:
    struct TEntry {
        QByteArray Key;
        QByteArray Value;
    };
    struct TSection {
        QByteArray Name;
        QList<TEntry> Entries;
    };
    const TSection* findSection(const QByteArray& Name) const;
    QList<TSection> sections_;
};

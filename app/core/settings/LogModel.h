#pragma once

#include <QAbstractListModel>
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/settings/MessageFormat.h"

// The Log's lines, every one kept for the whole run at a few dozen bytes a
// line. They live in one byte buffer, each behind its length: a plain text
// as its UTF-8 bytes, a message as the number of its template, the language
// file's template it was formatted from (each such template is kept once)
// and its arguments. A message is formatted only when its line is read, so
// that after a charset change every message line reads anew at no cost until
// a view shows it.
//
// Lines can be added faster than a view should follow them: they reach the
// views (rowCount, data) only when published.
class TLogModel : public QAbstractListModel {
    Q_OBJECT
  public:
    // The text of message Name with Args, formatted from Raw (the language
    // file's template, as its bytes) or from the built-in template (nullptr).
    using TRender = std::function<QString(const char* Name, const QByteArray* Raw,
                                          const QList<TMessageArg>& Args)>;

    explicit TLogModel(TRender Render, QObject* Parent = nullptr);

    // Adds a line of text; line breaks in it become blanks.
    void AddText(const QString& Text);
    // Adds message Name (a name of MessageTemplates) with Args, formatted
    // from Raw or, for nullptr, from the built-in template.
    void AddMsg(const char* Name, const QList<TMessageArg>& Args, const QByteArray* Raw);

    // Every line added so far, published or not.
    int Lines() const { return lines_; }
    // The text of line Row (0 <= Row < Lines()); line breaks read as blanks.
    QString Line(int Row) const;
    bool HasUnpublished() const { return published_ < lines_; }
    // Shows views every line added so far.
    void Publish();
    // Forgets every line (the user cleared the Log).
    void Clear();
    // Tells views that every message line may read differently now.
    void RenderAgain();
    // The memory the lines take, in bytes.
    size_t BytesUsed() const;

    int rowCount(const QModelIndex& Parent = {}) const override;
    QVariant data(const QModelIndex& Index, int Role) const override;

  private:
    // Where line Row's record starts in bytes_.
    size_t recordAt(int Row) const;
    void addRecord(const std::string& Record);
    uint32_t rawNumber(const QByteArray* Raw);

    TRender render_;
    std::string bytes_;          // every line: varint length, then its record
    std::vector<size_t> marks_;  // where every MarkEvery-th line starts
    static constexpr int MarkEvery = 32;
    int lines_ = 0;
    int published_ = 0;
    std::vector<QByteArray> raws_;  // the language files' templates, by number - 1
    QHash<QByteArray, uint32_t> rawNumbers_;
};

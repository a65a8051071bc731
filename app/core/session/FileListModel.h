#pragma once

#include <QAbstractTableModel>
#include <QItemSelection>

#include "core/files/FileRows.h"

// The file list as a table for a view: check box or row number, phone name
// (decoded for display), size. Names and sizes are shown as plain text.
class TFileListModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum TColumn { ColCaption = 0, ColName = 1, ColSize = 2, ColumnCount = 3 };
    // True, in every column, for a row whose picture was downloaded before.
    static constexpr int DownloadedBeforeRole = Qt::UserRole + 1;

    explicit TFileListModel(QObject* Parent = nullptr);

    // Replaces every row; a view drops its selection with them.
    void SetRows(TFileRows Rows);
    const TFileRows& Rows() const { return rows_; }

    // Whether rows show check boxes (Photo Manager) or not (File Manager).
    void SetCheckable(bool Checkable);
    bool Checkable() const { return checkable_; }

    // Marks the rows of that phone name and size as downloaded before.
    void MarkDownloadedBefore(const std::string& Name, int32_t Size);

    // Selects every row (a view showing the list is told separately).
    void SelectAll() { rows_.SelectAll(); }

    // Follows a view's selection changes into the rows' running selection.
    void ApplySelection(const QItemSelection& Selected, const QItemSelection& Deselected);

    int rowCount(const QModelIndex& Parent = {}) const override;
    int columnCount(const QModelIndex& Parent = {}) const override;
    QVariant data(const QModelIndex& Index, int Role) const override;
    bool setData(const QModelIndex& Index, const QVariant& Value, int Role) override;
    QVariant headerData(int Section, Qt::Orientation Orientation, int Role) const override;
    Qt::ItemFlags flags(const QModelIndex& Index) const override;

  private:
    void applyRanges(const QItemSelection& Ranges, bool Selected);

    TFileRows rows_;
    bool checkable_ = true;
};

#pragma once

#include <QAbstractTableModel>
#include <QItemSelection>
#include <vector>

#include "core/files/FileRows.h"

// The file list as a table for a view: check box or row number, phone name
// (decoded for display), size. Names and sizes are shown as plain text.
// Its rows' selection and check marks are the truth that views show: they
// change only through the calls below (a view's selection model follows
// through TSelectionLink).
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

    // Selects every row.
    void SelectAll();
    // Adds the rows of those indexes to the selection; others are ignored.
    void SelectRows(const std::vector<int>& Rows);
    // A view's change of its selection, written into the rows.
    void ApplySelection(const QItemSelection& Selected, const QItemSelection& Deselected);
    // Checks or unchecks Row; nothing when rows show no check boxes.
    void SetChecked(int Row, bool Checked);

    int rowCount(const QModelIndex& Parent = {}) const override;
    int columnCount(const QModelIndex& Parent = {}) const override;
    QVariant data(const QModelIndex& Index, int Role) const override;
    bool setData(const QModelIndex& Index, const QVariant& Value, int Role) override;
    QVariant headerData(int Section, Qt::Orientation Orientation, int Role) const override;
    Qt::ItemFlags flags(const QModelIndex& Index) const override;

  signals:
    // The rows' selection changed. A new list (SetRows) is a reset instead,
    // and starts with nothing selected.
    void selectionChanged();

  private:
    void applyRanges(const QItemSelection& Ranges, bool Selected);

    TFileRows rows_;
    bool checkable_ = true;
};

#pragma once

#include <QAbstractItemView>

// The Log page's view: one line of text per row of a list model, every row
// as high as a line of its font. Where a row lies follows from its number,
// so adding rows, scrolling and painting cost the same whether the Log holds
// a hundred lines or a million (a list view lays every row out again at each
// insertion). It follows new rows while scrolled to the end, as a text log
// does; rows can be selected, and the copy key copies the selected lines.
class TLogView : public QAbstractItemView {
    Q_OBJECT
  public:
    explicit TLogView(QWidget* Parent = nullptr);

    QRect visualRect(const QModelIndex& Index) const override;
    void scrollTo(const QModelIndex& Index, ScrollHint Hint = EnsureVisible) override;
    QModelIndex indexAt(const QPoint& Point) const override;
    // The selected lines, one a line, in the Log's order.
    QString selectedText() const;
    // Puts the selected lines on the clipboard.
    void copySelection() const;
    // Typing does not search: it would format every line of a long Log.
    void keyboardSearch(const QString&) override {}

  protected:
    QModelIndex moveCursor(CursorAction Action, Qt::KeyboardModifiers Modifiers) override;
    int horizontalOffset() const override;
    int verticalOffset() const override;
    bool isIndexHidden(const QModelIndex&) const override { return false; }
    void setSelection(const QRect& Rect, QItemSelectionModel::SelectionFlags Flags) override;
    QRegion visualRegionForSelection(const QItemSelection& Selection) const override;
    void updateGeometries() override;
    void scrollContentsBy(int Dx, int Dy) override;
    void rowsInserted(const QModelIndex& Parent, int Start, int End) override;
    void reset() override;
    void paintEvent(QPaintEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;

  private:
    int rowHeight() const;
    int rows() const;
    // Rows that fit the viewport whole (at least one).
    int visibleRows() const;
    int firstRow() const;

    // The widest line painted so far: lines are measured only when shown, so
    // the horizontal scroll range grows as wider lines come into view.
    int widest_ = 0;
};

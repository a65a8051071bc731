#pragma once

#include <QStyledItemDelegate>
#include <functional>

// Draws the file list's rows: those whose pictures were downloaded before
// in a muted, slanted text while Active says so (the option that skips them
// is on), and every cell as high as the row's first cell (its check box and
// thumbnail), so that a row's height does not depend on which columns are
// scrolled into view when the list lays its rows out.
class TFileRowDelegate : public QStyledItemDelegate {
    Q_OBJECT
  public:
    TFileRowDelegate(std::function<bool()> Active, QObject* Parent);

    QSize sizeHint(const QStyleOptionViewItem& Option, const QModelIndex& Index) const override;

  protected:
    void initStyleOption(QStyleOptionViewItem* Option, const QModelIndex& Index) const override;

  private:
    std::function<bool()> active_;
};

#pragma once

#include <QStyledItemDelegate>
#include <functional>

// Draws the file list's rows whose pictures were downloaded before in a
// muted, slanted text, while Active says so (the option that skips them is on).
class TMutedRowDelegate : public QStyledItemDelegate {
    Q_OBJECT
  public:
    TMutedRowDelegate(std::function<bool()> Active, QObject* Parent);

  protected:
    void initStyleOption(QStyleOptionViewItem* Option, const QModelIndex& Index) const override;

  private:
    std::function<bool()> active_;
};

#pragma once

#include <QTreeView>

// The file list's view. A row a click or a key makes current is scrolled
// into view up or down only: the columns stay where the user left them, so
// that a click on a long name never pushes the check boxes and thumbnails
// out of sight.
class TFileListView : public QTreeView {
    Q_OBJECT
  public:
    using QTreeView::QTreeView;

    void scrollTo(const QModelIndex& Index, ScrollHint Hint = EnsureVisible) override;
};

#include "gui/FileListView.h"

#include <QScrollBar>

void TFileListView::scrollTo(const QModelIndex& Index, ScrollHint Hint) {
    QScrollBar* across = horizontalScrollBar();
    const int kept = across->value();
    QTreeView::scrollTo(Index, Hint);
    across->setValue(kept);
}

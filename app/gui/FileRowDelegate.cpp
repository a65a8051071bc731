#include "gui/FileRowDelegate.h"

#include "core/session/FileListModel.h"

TFileRowDelegate::TFileRowDelegate(std::function<bool()> Active, QObject* Parent)
    : QStyledItemDelegate(Parent), active_(std::move(Active)) {}

QSize TFileRowDelegate::sizeHint(const QStyleOptionViewItem& Option,
                                 const QModelIndex& Index) const {
    QSize size = QStyledItemDelegate::sizeHint(Option, Index);
    if (Index.column() != TFileListModel::ColCaption) {
        const QModelIndex first = Index.siblingAtColumn(TFileListModel::ColCaption);
        if (first.isValid()) {
            size.setHeight(
                std::max(size.height(), QStyledItemDelegate::sizeHint(Option, first).height()));
        }
    }
    return size;
}

void TFileRowDelegate::initStyleOption(QStyleOptionViewItem* Option,
                                       const QModelIndex& Index) const {
    QStyledItemDelegate::initStyleOption(Option, Index);
    if (!active_ || !active_() || !Index.data(TFileListModel::DownloadedBeforeRole).toBool()) {
        return;
    }
    Option->font.setItalic(true);
    Option->palette.setColor(QPalette::Text,
                             Option->palette.color(QPalette::Disabled, QPalette::Text));
}

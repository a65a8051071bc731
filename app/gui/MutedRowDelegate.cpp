#include "gui/MutedRowDelegate.h"

#include "core/session/FileListModel.h"

TMutedRowDelegate::TMutedRowDelegate(std::function<bool()> Active, QObject* Parent)
    : QStyledItemDelegate(Parent), active_(std::move(Active)) {}

void TMutedRowDelegate::initStyleOption(QStyleOptionViewItem* Option,
                                        const QModelIndex& Index) const {
    QStyledItemDelegate::initStyleOption(Option, Index);
    if (!active_ || !active_() || !Index.data(TFileListModel::DownloadedBeforeRole).toBool()) {
        return;
    }
    Option->font.setItalic(true);
    Option->palette.setColor(QPalette::Text,
                             Option->palette.color(QPalette::Disabled, QPalette::Text));
}

#include "core/session/FileListModel.h"

#include "core/files/PhoneText.h"

TFileListModel::TFileListModel(QObject* Parent) : QAbstractTableModel(Parent) {}

void TFileListModel::SetRows(TFileRows Rows) {
    beginResetModel();
    rows_ = std::move(Rows);
    rows_.ClearSelection();  // the view forgets its selection on a reset
    endResetModel();
}

void TFileListModel::SetCheckable(bool Checkable) {
    if (checkable_ == Checkable) {
        return;
    }
    checkable_ = Checkable;
    if (rows_.Count() > 0) {
        emit dataChanged(index(0, ColCaption), index(rows_.Count() - 1, ColCaption),
                         {Qt::CheckStateRole});
    }
}

void TFileListModel::MarkDownloadedBefore(const std::string& Name, int32_t Size) {
    for (int i = 0; i < rows_.Count(); ++i) {
        const TFileRow& r = rows_.At(i);
        if (!r.DownloadedBefore && r.Size == Size && r.Name == Name) {
            rows_.SetDownloadedBefore(i);
            emit dataChanged(index(i, 0), index(i, ColumnCount - 1), {DownloadedBeforeRole});
        }
    }
}

void TFileListModel::SelectAll() {
    rows_.SelectAll();
    emit selectionChanged();
}

void TFileListModel::SelectRows(const std::vector<int>& Rows) {
    for (int row : Rows) {
        if (row >= 0 && row < rows_.Count()) {
            rows_.SetSelected(row, true);
        }
    }
    emit selectionChanged();
}

void TFileListModel::ApplySelection(const QItemSelection& Selected,
                                    const QItemSelection& Deselected) {
    applyRanges(Deselected, false);
    applyRanges(Selected, true);
    emit selectionChanged();
}

void TFileListModel::SetChecked(int Row, bool Checked) {
    if (!checkable_ || Row < 0 || Row >= rows_.Count()) {
        return;
    }
    rows_.SetChecked(Row, Checked);
    const QModelIndex at = index(Row, ColCaption);
    emit dataChanged(at, at, {Qt::CheckStateRole});
}

void TFileListModel::applyRanges(const QItemSelection& Ranges, bool Selected) {
    for (const QItemSelectionRange& r : Ranges) {
        for (int row = r.top(); row <= r.bottom() && row < rows_.Count(); ++row) {
            rows_.SetSelected(row, Selected);
        }
    }
}

int TFileListModel::rowCount(const QModelIndex& Parent) const {
    return Parent.isValid() ? 0 : rows_.Count();
}

int TFileListModel::columnCount(const QModelIndex& Parent) const {
    return Parent.isValid() ? 0 : ColumnCount;
}

QVariant TFileListModel::data(const QModelIndex& Index, int Role) const {
    if (!Index.isValid() || Index.row() >= rows_.Count()) {
        return {};
    }
    const TFileRow& r = rows_.At(Index.row());
    if (Role == DownloadedBeforeRole) {
        return r.DownloadedBefore;
    }
    switch (Index.column()) {
        case ColCaption:
            if (Role == Qt::CheckStateRole && checkable_) {
                return r.Checked ? Qt::Checked : Qt::Unchecked;
            }
            if (Role == Qt::DisplayRole && rows_.Numbered()) {
                return QString::fromStdString(rowNumberText(r.Number));
            }
            break;
        case ColName:
            if (Role == Qt::DisplayRole || Role == Qt::ToolTipRole) {
                return phoneToUnicode(r.Name);
            }
            break;
        case ColSize:
            if (Role == Qt::DisplayRole) {
                return QString::number(r.Size);
            }
            break;
        default:
            break;
    }
    return {};
}

bool TFileListModel::setData(const QModelIndex& Index, const QVariant& Value, int Role) {
    if (!checkable_ || Role != Qt::CheckStateRole || !Index.isValid() ||
        Index.column() != ColCaption || Index.row() >= rows_.Count()) {
        return false;
    }
    SetChecked(Index.row(), Value.toInt() == Qt::Checked);
    return true;
}

QVariant TFileListModel::headerData(int Section, Qt::Orientation Orientation, int Role) const {
    if (Orientation != Qt::Horizontal || Role != Qt::DisplayRole) {
        return {};
    }
    switch (Section) {
        case ColName:
            return QStringLiteral("File Name");
        case ColSize:
            return QStringLiteral("Size (Bytes)");
        default:
            return QString();
    }
}

Qt::ItemFlags TFileListModel::flags(const QModelIndex& Index) const {
    if (!Index.isValid()) {
        return Qt::NoItemFlags;
    }
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (checkable_ && Index.column() == ColCaption) {
        f |= Qt::ItemIsUserCheckable;
    }
    return f;
}

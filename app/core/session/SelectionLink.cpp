#include "core/session/SelectionLink.h"

#include <QItemSelectionModel>

#include "core/session/FileListModel.h"

TSelectionLink::TSelectionLink(TFileListModel& Model, QItemSelectionModel& View, QObject* Parent)
    : QObject(Parent), model_(Model), view_(View) {
    connect(&Model, &TFileListModel::selectionChanged, this, &TSelectionLink::fromModel);
    connect(&View, &QItemSelectionModel::selectionChanged, this, &TSelectionLink::fromView);
}

void TSelectionLink::fromView(const QItemSelection& Selected, const QItemSelection& Deselected) {
    if (writing_) {
        return;
    }
    writing_ = true;
    model_.ApplySelection(Selected, Deselected);
    writing_ = false;
}

void TSelectionLink::fromModel() {
    if (writing_) {
        return;  // the view's own change, written into the list just now
    }
    // The selected rows as runs of neighbours: one range for a whole list.
    QItemSelection shown;
    const TFileRows& rows = model_.Rows();
    const int last = TFileListModel::ColumnCount - 1;
    for (int i = 0; i < rows.Count();) {
        if (!rows.At(i).Selected) {
            ++i;
            continue;
        }
        int end = i;
        while (end + 1 < rows.Count() && rows.At(end + 1).Selected) {
            ++end;
        }
        shown.select(model_.index(i, 0), model_.index(end, last));
        i = end + 1;
    }
    writing_ = true;
    view_.select(shown, QItemSelectionModel::ClearAndSelect);
    writing_ = false;
}

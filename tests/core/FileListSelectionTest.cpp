// The file list's selection is the one truth: what the list selects shows
// in a view's selection model, what the user selects there is written into
// the list, each change is told once, and a new list starts with none.
#include <QItemSelectionModel>
#include <functional>
#include <set>

#include "core/SessionFixture.h"
#include "core/session/FileListModel.h"
#include "core/session/SelectionLink.h"

namespace {

TFileRows fiveRows() {
    TFileRows rows;
    for (int i = 0; i < 5; ++i) {
        rows.Append("/a/p" + std::to_string(i) + ".jpg", 100 * (i + 1), false);
    }
    rows.Finish(false);
    return rows;
}

std::set<int> modelSelection(const TFileListModel& Model) {
    std::set<int> out;
    for (int i = 0; i < Model.Rows().Count(); ++i) {
        if (Model.Rows().At(i).Selected) {
            out.insert(i);
        }
    }
    return out;
}

std::set<int> viewSelection(const QItemSelectionModel& View) {
    std::set<int> out;
    for (const QModelIndex& i : View.selectedRows()) {
        out.insert(i.row());
    }
    return out;
}

}  // namespace

TEST(FileListSelection, TheListIsTheTruthAndTheViewFollowsAndWritesIntoIt) {
    test::coreApp();
    TFileListModel model;
    model.SetRows(fiveRows());
    QItemSelectionModel view(&model);
    TSelectionLink link(model, view);
    int told = 0;
    QObject::connect(&model, &TFileListModel::selectionChanged, [&] { ++told; });

    auto viewRow = [&](int Row, QItemSelectionModel::SelectionFlags How) {
        view.select(model.index(Row, 0), How | QItemSelectionModel::Rows);
    };
    struct TStep {
        const char* What;
        std::function<void()> Do;
        std::set<int> Selected;
        int Told;  // selectionChanged signals
    };
    const TStep steps[] = {
        {"the list selects every row", [&] { model.SelectAll(); }, {0, 1, 2, 3, 4}, 1},
        {"a click in the view", [&] { viewRow(1, QItemSelectionModel::ClearAndSelect); }, {1}, 1},
        {"a second row added in the view",
         [&] { viewRow(3, QItemSelectionModel::Select); },
         {1, 3},
         1},
        {"the list adds rows by index, ignoring one it has not",
         [&] {
             model.SelectRows({0, 9, -1});
         },
         {0, 1, 3},
         1},
        {"a row taken out in the view",
         [&] { viewRow(1, QItemSelectionModel::Deselect); },
         {0, 3},
         1},
        {"a new list", [&] { model.SetRows(fiveRows()); }, {}, 0},
        {"the view selects after the new list",
         [&] { viewRow(4, QItemSelectionModel::Select); },
         {4},
         1},
    };
    for (const TStep& s : steps) {
        SCOPED_TRACE(s.What);
        told = 0;
        s.Do();
        EXPECT_EQ(modelSelection(model), s.Selected);
        EXPECT_EQ(viewSelection(view), s.Selected);
        EXPECT_EQ(model.Rows().SelectedCount(), int(s.Selected.size()));
        EXPECT_EQ(told, s.Told);
    }
}

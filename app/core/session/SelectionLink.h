#pragma once

#include <QObject>

class QItemSelection;
class QItemSelectionModel;
class TFileListModel;

// Keeps a view's selection showing the file list's own, which is the one
// truth: whatever the list selects (every row on connect, the rows a
// command line names) is drawn in the view, and whatever the user selects
// in the view is written into the list, here and nowhere else.
class TSelectionLink : public QObject {
  public:
    TSelectionLink(TFileListModel& Model, QItemSelectionModel& View, QObject* Parent = nullptr);

  private:
    void fromModel();
    void fromView(const QItemSelection& Selected, const QItemSelection& Deselected);

    TFileListModel& model_;
    QItemSelectionModel& view_;
    bool writing_ = false;  // the change under way is the view's, or drawn in it
};

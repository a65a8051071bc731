#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

#include "core/settings/MessageFormat.h"

class QAction;
class QButtonGroup;
class QFrame;
class QLabel;
class QListView;
class QModelIndex;
class QStackedWidget;
class QToolButton;
class QTreeView;
class QWidget;
class TPhoneSession;
class TPreviewFetcher;
class TPreviewListModel;
class TThumbnailImages;

// The Pictures page's previews: the pictures in the file list, an icon grid
// over the same rows (and the same selection) that a switch puts in the
// list's place, and a pane beside them that shows the highlighted row's
// picture with its size, date and camera. It tells the session's fetcher
// which rows are on screen, so that those are fetched first. The Options
// page's "Show picture previews" shows and hides all of it; hidden, the
// list is as it always was.
class TPicturePreviews : public QObject {
    Q_OBJECT
  public:
    struct TWindow {
        TPhoneSession* Session = nullptr;
        TPreviewFetcher* Fetcher = nullptr;  // the session's thumbnails
        QTreeView* List = nullptr;           // ListView1
        QAction* NeverDownload = nullptr;    // its context menu's entry
        QString CacheFolder;                 // where thumbnails are kept; empty: in memory
        // Names a control so that language files find it.
        std::function<void(QObject*, const QString&)> Register;
        // A message formatted from its template label.
        std::function<QString(const char*, const QList<TMessageArg>&)> Format;
    };

    TPicturePreviews(const TWindow& Window, QObject* Parent);
    ~TPicturePreviews() override;

    // What takes the list's place in the page: the list or the grid, and the pane.
    QWidget* Area() const { return area_; }
    void SetShown(bool Shown);
    // Shows the highlighted row again (its texts after a language change).
    void ShowCurrent();

  private:
    void buildPane();
    void buildGrid();
    void showIcons(bool Icons);
    void showRow(int Row);
    void visibleRowsChanged();
    void updateVisibleRows();
    bool eventFilter(QObject* Watched, QEvent* Event) override;

    TWindow window_;
    std::unique_ptr<TThumbnailImages> images_;
    TPreviewListModel* model_ = nullptr;
    QWidget* area_ = nullptr;
    QStackedWidget* views_ = nullptr;
    QListView* grid_ = nullptr;          // IconView1
    QFrame* pane_ = nullptr;             // PreviewPane1
    QToolButton* listButton_ = nullptr;  // idViewList
    QToolButton* gridButton_ = nullptr;  // idViewIcons
    QLabel* picture_ = nullptr;          // PreviewPicture1
    QLabel* info_ = nullptr;             // PreviewInfo1
    bool shown_ = false;
    bool visiblePending_ = false;
};

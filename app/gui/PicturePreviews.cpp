#include "gui/PicturePreviews.h"

#include <QAction>
#include <QBoxLayout>
#include <QButtonGroup>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QListView>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedWidget>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include "core/files/PhoneText.h"
#include "core/previews/PreviewFetcher.h"
#include "core/session/FileListModel.h"
#include "core/session/PhoneSession.h"
#include "gui/PreviewListModel.h"
#include "preview/PreviewDecoder.h"
#include "preview/ThumbnailImages.h"

namespace {

constexpr int PaneMargin = 6;
// The first column's width without a picture, as the list was drawn.
constexpr int CaptionWidth = 30;

// The grid shows each row's picture above the file's own name (the path's
// last part), drawn as plain text.
class TGridDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

  protected:
    void initStyleOption(QStyleOptionViewItem* Option, const QModelIndex& Index) const override {
        QStyledItemDelegate::initStyleOption(Option, Index);
        const QVariant icon =
            Index.siblingAtColumn(TFileListModel::ColCaption).data(Qt::DecorationRole);
        Option->icon = qvariant_cast<QIcon>(icon);
        Option->features |= QStyleOptionViewItem::HasDecoration;
        Option->decorationSize = QSize(TThumbnailImages::GridEdge, TThumbnailImages::GridEdge);
        const QString path = Index.data(Qt::DisplayRole).toString();
        Option->text = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    }
};

}  // namespace

TPicturePreviews::TPicturePreviews(const TWindow& Window, QObject* Parent)
    : QObject(Parent), window_(Window), images_(std::make_unique<TThumbnailImages>()) {
    TPreviewFetcher& fetcher = *window_.Fetcher;
    fetcher.SetCacheFolder(window_.CacheFolder);
    installThumbnailMaker(fetcher);

    model_ = new TPreviewListModel(fetcher, *images_, this);
    model_->setSourceModel(&window_.Session->FileList());
    window_.List->setModel(model_);

    area_ = new QWidget;
    auto* row = new QHBoxLayout(area_);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    views_ = new QStackedWidget(area_);
    views_->addWidget(window_.List);
    buildGrid();
    row->addWidget(views_, 1);
    buildPane();
    row->addWidget(pane_);

    connect(window_.List->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& Current) { showRow(Current.row()); });
    connect(&fetcher, &TPreviewFetcher::previewChanged, this, [this](int Row) {
        if (Row == window_.List->selectionModel()->currentIndex().row()) {
            showRow(Row);
        }
    });
    connect(&fetcher, &TPreviewFetcher::previewsChanged, this, &TPicturePreviews::ShowCurrent);
    connect(&fetcher, &TPreviewFetcher::rowsReset, this, [this] {
        showRow(-1);
        visibleRowsChanged();
    });
    for (QAbstractItemView* view :
         {static_cast<QAbstractItemView*>(window_.List), static_cast<QAbstractItemView*>(grid_)}) {
        connect(view->verticalScrollBar(), &QScrollBar::valueChanged, this,
                &TPicturePreviews::visibleRowsChanged);
        view->viewport()->installEventFilter(this);
    }
    // The grid waits with the list while a listing fills it.
    TPhoneSession* s = window_.Session;
    connect(s, &TPhoneSession::listingStarted, grid_, [this] { grid_->setEnabled(false); });
    connect(s, &TPhoneSession::listingEnded, grid_, [this] { grid_->setEnabled(true); });
    SetShown(false);
}

TPicturePreviews::~TPicturePreviews() = default;

void TPicturePreviews::buildGrid() {
    grid_ = new QListView(views_);
    grid_->setObjectName(QStringLiteral("IconView1"));
    grid_->setViewMode(QListView::IconMode);
    grid_->setMovement(QListView::Static);
    grid_->setResizeMode(QListView::Adjust);
    grid_->setUniformItemSizes(true);
    grid_->setIconSize(QSize(TThumbnailImages::GridEdge, TThumbnailImages::GridEdge));
    grid_->setGridSize(QSize(TThumbnailImages::GridEdge + 10, TThumbnailImages::GridEdge + 28));
    grid_->setTextElideMode(Qt::ElideMiddle);
    grid_->setWordWrap(false);
    grid_->setItemDelegate(new TGridDelegate(grid_));
    grid_->setModel(model_);
    grid_->setModelColumn(TFileListModel::ColName);
    // One selection for both views: what is highlighted in one is in the other.
    grid_->setSelectionModel(window_.List->selectionModel());
    grid_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->addAction(window_.NeverDownload);
    grid_->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(grid_, &QListView::doubleClicked, window_.Session, &TPhoneSession::Download);
    views_->addWidget(grid_);
}

void TPicturePreviews::buildPane() {
    pane_ = new QFrame(area_);
    pane_->setObjectName(QStringLiteral("PreviewPane1"));
    pane_->setFixedWidth(ThumbnailEdge + 2 * PaneMargin);
    auto* v = new QVBoxLayout(pane_);
    v->setContentsMargins(PaneMargin, 0, PaneMargin, 0);
    v->setSpacing(4);

    auto* switches = new QHBoxLayout;
    switches->setSpacing(0);
    auto* group = new QButtonGroup(pane_);
    auto button = [&](QToolButton** Member, const char* Name, const char* Caption) {
        auto* b = new QToolButton(pane_);
        window_.Register(b, QString::fromLatin1(Name));
        b->setText(QString::fromLatin1(Caption));
        b->setCheckable(true);
        b->setAutoRaise(true);
        group->addButton(b);
        switches->addWidget(b);
        *Member = b;
    };
    button(&listButton_, "idViewList", "List");
    button(&gridButton_, "idViewIcons", "Icons");
    switches->addStretch(1);
    listButton_->setChecked(true);
    connect(gridButton_, &QToolButton::toggled, this, &TPicturePreviews::showIcons);
    v->addLayout(switches);

    picture_ = new QLabel(pane_);
    picture_->setObjectName(QStringLiteral("PreviewPicture1"));
    picture_->setFixedSize(ThumbnailEdge, ThumbnailEdge);
    picture_->setAlignment(Qt::AlignCenter);
    picture_->setTextFormat(Qt::PlainText);
    picture_->setFrameShape(QFrame::StyledPanel);
    v->addWidget(picture_);
    info_ = new QLabel(pane_);
    info_->setObjectName(QStringLiteral("PreviewInfo1"));
    info_->setTextFormat(Qt::PlainText);  // phone names and EXIF texts are not markup
    info_->setWordWrap(true);
    info_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // The lines under the picture take what height is left, and scroll
    // rather than being drawn over the picture's frame when the page is
    // low (a download's bars take their height from it).
    auto* infoArea = new QScrollArea(pane_);
    infoArea->setObjectName(QStringLiteral("PreviewInfoArea1"));
    infoArea->setFrameShape(QFrame::NoFrame);
    infoArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    infoArea->setWidgetResizable(true);
    infoArea->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Ignored);
    infoArea->setWidget(info_);
    infoArea->viewport()->setAutoFillBackground(false);
    info_->setAutoFillBackground(false);
    v->addWidget(infoArea, 1);
}

void TPicturePreviews::SetShown(bool Shown) {
    shown_ = Shown;
    model_->SetShown(Shown);
    pane_->setVisible(Shown);
    const int edge = TThumbnailImages::ListEdge;
    window_.List->setIconSize(Shown ? QSize(edge, edge) : QSize());
    window_.List->setColumnWidth(TFileListModel::ColCaption,
                                 Shown ? CaptionWidth + edge + 8 : CaptionWidth);
    if (!Shown) {
        listButton_->setChecked(true);  // the list stands alone, as it always did
        images_->Clear();
        return;
    }
    ShowCurrent();
    visibleRowsChanged();
    window_.Fetcher->Resume();
}

void TPicturePreviews::showIcons(bool Icons) {
    QWidget* focus = views_->currentWidget();
    const bool hadFocus = focus && focus->hasFocus();
    views_->setCurrentWidget(Icons ? static_cast<QWidget*>(grid_) : window_.List);
    QAbstractItemView* shown = Icons ? static_cast<QAbstractItemView*>(grid_) : window_.List;
    shown->scrollTo(window_.List->selectionModel()->currentIndex());
    if (hadFocus) {
        shown->setFocus();
    }
    visibleRowsChanged();
}

void TPicturePreviews::ShowCurrent() {
    showRow(window_.List->selectionModel()->currentIndex().row());
}

void TPicturePreviews::showRow(int Row) {
    if (!shown_) {
        return;
    }
    const TFileRows& rows = window_.Session->Rows();
    TPreviewFetcher& fetcher = *window_.Fetcher;
    if (Row < 0 || Row >= rows.Count()) {
        picture_->clear();
        info_->clear();
        return;
    }
    const TFileRow& r = rows.At(Row);
    const QString path = phoneToUnicode(r.Name);
    QStringList lines{path.mid(path.lastIndexOf(QLatin1Char('/')) + 1),
                      window_.Format("idPreviewSize", {qint64{r.Size}})};
    std::optional<TThumbnailImages::TPicture> picture;
    if (fetcher.State(Row) == TPreviewState::Done) {
        picture = images_->Picture(fetcher.Cache(), fetcher.Key(Row));
    }
    if (picture) {
        picture_->setPixmap(QPixmap::fromImage(picture->Image));
        if (picture->Entry.Taken) {
            lines.append(window_.Format(
                "idPreviewTaken",
                {picture->Entry.Taken->toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))}));
        }
        if (!picture->Entry.CameraModel.isEmpty()) {
            lines.append(window_.Format("idPreviewCamera", {picture->Entry.CameraModel}));
        }
    } else {
        // The list's own picture of the row: its type, a frame while it is
        // fetched, a crossed frame when none can be drawn.
        const QIcon icon = qvariant_cast<QIcon>(
            model_->index(Row, TFileListModel::ColCaption).data(Qt::DecorationRole));
        picture_->setPixmap(icon.pixmap(TThumbnailImages::GridEdge));
        if (fetcher.State(Row) == TPreviewState::Failed ||
            fetcher.State(Row) == TPreviewState::Done) {
            lines.append(window_.Format("idPreviewNone", {}));
        }
    }
    info_->setText(lines.join(QLatin1Char('\n')));
}

void TPicturePreviews::visibleRowsChanged() {
    // Scrolling and resizing come in bursts: the rows are counted once after.
    if (!visiblePending_) {
        visiblePending_ = true;
        QTimer::singleShot(0, this, &TPicturePreviews::updateVisibleRows);
    }
}

void TPicturePreviews::updateVisibleRows() {
    visiblePending_ = false;
    const int rows = model_->rowCount();
    if (!shown_ || rows == 0) {
        return;
    }
    int first = -1;
    int last = -1;
    if (views_->currentWidget() == window_.List) {
        const QRect area = window_.List->viewport()->rect();
        const QModelIndex top = window_.List->indexAt(QPoint(1, 1));
        const QModelIndex bottom = window_.List->indexAt(QPoint(1, area.height() - 2));
        first = top.isValid() ? top.row() : 0;
        last = bottom.isValid() ? bottom.row() : rows - 1;
    } else {
        // The grid's cells run in row order: the rows on screen are those
        // from the first cell inside the viewport to the last.
        const QRect area = grid_->viewport()->rect();
        for (int r = 0; r < rows; ++r) {
            const bool inside =
                grid_->visualRect(model_->index(r, TFileListModel::ColName)).intersects(area);
            if (inside) {
                first = first < 0 ? r : first;
                last = r;
            } else if (first >= 0) {
                break;
            }
        }
    }
    window_.Fetcher->SetVisibleRows(first, last);
}

bool TPicturePreviews::eventFilter(QObject* Watched, QEvent* Event) {
    if (Event->type() == QEvent::Resize) {
        visibleRowsChanged();
    }
    return QObject::eventFilter(Watched, Event);
}

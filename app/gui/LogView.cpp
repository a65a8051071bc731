#include "gui/LogView.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

namespace {
// Room beside a line's text: the item's margins and a little air.
constexpr int TextMargin = 8;
}  // namespace

TLogView::TLogView(QWidget* Parent) : QAbstractItemView(Parent) {
    setSelectionMode(ExtendedSelection);
    setSelectionBehavior(SelectRows);
    setEditTriggers(NoEditTriggers);
    setVerticalScrollMode(ScrollPerItem);
    setHorizontalScrollMode(ScrollPerPixel);
    setTextElideMode(Qt::ElideNone);
    setAutoScroll(true);
}

int TLogView::rowHeight() const {
    return std::max(fontMetrics().height() + 2, 1);
}

int TLogView::rows() const {
    return model() ? model()->rowCount(rootIndex()) : 0;
}

int TLogView::visibleRows() const {
    return std::max(viewport()->height() / rowHeight(), 1);
}

int TLogView::firstRow() const {
    return verticalScrollBar()->value();
}

QRect TLogView::visualRect(const QModelIndex& Index) const {
    if (!Index.isValid() || Index.parent() != rootIndex()) {
        return {};
    }
    const int h = rowHeight();
    const int width = std::max(viewport()->width() + horizontalOffset(), widest_);
    return {-horizontalOffset(), (Index.row() - firstRow()) * h, width, h};
}

void TLogView::scrollTo(const QModelIndex& Index, ScrollHint Hint) {
    if (!Index.isValid()) {
        return;
    }
    const int row = Index.row();
    const int shown = visibleRows();
    QScrollBar* bar = verticalScrollBar();
    switch (Hint) {
        case PositionAtTop:
            bar->setValue(row);
            break;
        case PositionAtBottom:
            bar->setValue(row - shown + 1);
            break;
        case PositionAtCenter:
            bar->setValue(row - shown / 2);
            break;
        case EnsureVisible:
            if (row < firstRow()) {
                bar->setValue(row);
            } else if (row >= firstRow() + shown) {
                bar->setValue(row - shown + 1);
            }
            break;
    }
}

QModelIndex TLogView::indexAt(const QPoint& Point) const {
    if (!model() || Point.y() < 0) {
        return {};
    }
    const int row = firstRow() + Point.y() / rowHeight();
    return row < rows() ? model()->index(row, 0, rootIndex()) : QModelIndex();
}

QModelIndex TLogView::moveCursor(CursorAction Action, Qt::KeyboardModifiers) {
    const int count = rows();
    if (count == 0) {
        return {};
    }
    int row = currentIndex().isValid() ? currentIndex().row() : 0;
    switch (Action) {
        case MoveUp:
        case MovePrevious:
            --row;
            break;
        case MoveDown:
        case MoveNext:
            ++row;
            break;
        case MovePageUp:
            row -= visibleRows();
            break;
        case MovePageDown:
            row += visibleRows();
            break;
        case MoveHome:
            row = 0;
            break;
        case MoveEnd:
            row = count - 1;
            break;
        case MoveLeft:
        case MoveRight:
            break;
    }
    return model()->index(std::clamp(row, 0, count - 1), 0, rootIndex());
}

int TLogView::horizontalOffset() const {
    return horizontalScrollBar()->value();
}

int TLogView::verticalOffset() const {
    return firstRow() * rowHeight();
}

void TLogView::setSelection(const QRect& Rect, QItemSelectionModel::SelectionFlags Flags) {
    const int count = rows();
    if (count == 0) {
        return;
    }
    const QRect r = Rect.normalized();
    const int h = rowHeight();
    const int top = std::clamp(firstRow() + r.top() / h, 0, count - 1);
    const int bottom = std::clamp(firstRow() + r.bottom() / h, 0, count - 1);
    selectionModel()->select(
        QItemSelection(model()->index(top, 0, rootIndex()), model()->index(bottom, 0, rootIndex())),
        Flags);
}

QRegion TLogView::visualRegionForSelection(const QItemSelection& Selection) const {
    QRegion region;
    const QRect shown = viewport()->rect();
    for (const QItemSelectionRange& range : Selection) {
        const QRect top = visualRect(model()->index(range.top(), 0, rootIndex()));
        const QRect bottom = visualRect(model()->index(range.bottom(), 0, rootIndex()));
        region += QRect(top.topLeft(), bottom.bottomRight()).intersected(shown);
    }
    return region;
}

void TLogView::updateGeometries() {
    const int shown = visibleRows();
    QScrollBar* v = verticalScrollBar();
    v->setSingleStep(1);
    v->setPageStep(shown);
    v->setRange(0, std::max(rows() - shown, 0));
    QScrollBar* h = horizontalScrollBar();
    h->setSingleStep(fontMetrics().averageCharWidth() * 2);
    h->setPageStep(viewport()->width());
    h->setRange(0, std::max(widest_ - viewport()->width(), 0));
    QAbstractItemView::updateGeometries();
}

void TLogView::scrollContentsBy(int Dx, int Dy) {
    // The vertical bar counts rows; what stays in view is moved, not drawn again.
    viewport()->scroll(Dx, Dy * rowHeight());
}

void TLogView::rowsInserted(const QModelIndex& Parent, int Start, int End) {
    QScrollBar* v = verticalScrollBar();
    const bool atEnd = v->value() >= v->maximum();
    QAbstractItemView::rowsInserted(Parent, Start, End);
    updateGeometries();
    if (atEnd) {
        v->setValue(v->maximum());
    }
    // Only the new rows are drawn, where they are in view.
    const int h = rowHeight();
    viewport()->update(
        QRect(0, (Start - firstRow()) * h, viewport()->width(), (End - Start + 1) * h)
            .intersected(viewport()->rect()));
}

void TLogView::reset() {
    widest_ = 0;
    QAbstractItemView::reset();
    updateGeometries();
}

void TLogView::paintEvent(QPaintEvent* Event) {
    if (!model()) {
        return;
    }
    QPainter painter(viewport());
    const int h = rowHeight();
    const int first = firstRow() + std::max(Event->rect().top(), 0) / h;
    const int last = std::min(rows() - 1, firstRow() + Event->rect().bottom() / h);
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const QStyle::State base = option.state;
    const bool focused = hasFocus();
    const int before = widest_;
    const int maxCharWidth = option.fontMetrics.maxWidth();
    for (int row = first; row <= last; ++row) {
        const QModelIndex index = model()->index(row, 0, rootIndex());
        option.rect = visualRect(index);
        option.state = base;
        if (selectionModel() && selectionModel()->isSelected(index)) {
            option.state |= QStyle::State_Selected;
        }
        if (focused && index == currentIndex()) {
            option.state |= QStyle::State_HasFocus;
        }
        itemDelegate()->paint(&painter, option, index);
        // Measured only when it could be wider than the widest so far.
        const QString text = index.data().toString();
        if (text.size() * maxCharWidth + TextMargin > widest_) {
            widest_ = std::max(widest_, option.fontMetrics.horizontalAdvance(text) + TextMargin);
        }
    }
    if (widest_ != before) {
        updateGeometries();
    }
}

QString TLogView::selectedText() const {
    if (!selectionModel()) {
        return {};
    }
    std::vector<std::pair<int, int>> ranges;
    for (const QItemSelectionRange& r : selectionModel()->selection()) {
        ranges.emplace_back(r.top(), r.bottom());
    }
    std::sort(ranges.begin(), ranges.end());
    QStringList lines;
    int next = 0;  // ranges may overlap: each row once
    for (const auto& [top, bottom] : ranges) {
        for (int row = std::max(top, next); row <= bottom; ++row) {
            lines.append(model()->index(row, 0, rootIndex()).data().toString());
        }
        next = std::max(next, bottom + 1);
    }
    return lines.join(QLatin1Char('\n'));
}

void TLogView::mousePressEvent(QMouseEvent* Event) {
    // A line clicked is on screen already. A view scrolls to it anyway,
    // a double click's time later: by then new lines have moved the end on,
    // and the Log would jump back to the clicked line and stop following.
    setAutoScroll(false);
    QAbstractItemView::mousePressEvent(Event);
    setAutoScroll(true);
}

void TLogView::copySelection() const {
    QApplication::clipboard()->setText(selectedText());
}

void TLogView::keyPressEvent(QKeyEvent* Event) {
    if (Event == QKeySequence::Copy) {
        copySelection();
        Event->accept();
        return;
    }
    QAbstractItemView::keyPressEvent(Event);
}

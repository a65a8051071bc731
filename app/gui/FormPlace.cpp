// The window's place, size and column widths: restored at start and kept at
// close. The file-name column takes what the window gains or loses in width.
#include <QGuiApplication>
#include <QHeaderView>
#include <QScreen>
#include <QTreeView>
#include <algorithm>

#include "core/session/FileListModel.h"
#include "gui/TForm1.h"

namespace {

// Stored widths outside these bounds are not taken.
constexpr int MinColumnWidth = 8;
constexpr int MaxColumnWidth = 8000;
// The name column never narrows below this, however narrow the window.
constexpr int MinNameWidth = 40;

// Whether the window's title bar would be on a screen enough to be grabbed.
bool reachable(const QRect& Frame) {
    const QRect titleBar(Frame.topLeft(), QSize(Frame.width(), 24));
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect seen = titleBar.intersected(screen->availableGeometry());
        if (seen.width() >= 64 && seen.height() >= 12) {
            return true;
        }
    }
    return false;
}

bool takenWidth(const std::optional<int>& Width) {
    return Width && *Width >= MinColumnWidth && *Width <= MaxColumnWidth;
}

}  // namespace

void TForm1::restorePlace(const TWindowPlace& Place) {
    const QScreen* screen = this->screen();
    if (Place.Width && Place.Height) {
        QSize size(*Place.Width, *Place.Height);
        if (screen) {
            size = size.boundedTo(screen->availableGeometry().size());
        }
        resize(size.expandedTo(minimumSize()));
    }
    if (Place.Left && Place.Top && reachable(QRect(QPoint(*Place.Left, *Place.Top), size()))) {
        move(*Place.Left, *Place.Top);
    } else if (screen) {
        // First seen, or left where no screen is now: in the middle of its screen.
        move(screen->availableGeometry().center() - rect().center());
    }
    if (Place.Maximized.value_or(false)) {
        setWindowState(windowState() | Qt::WindowMaximized);
    }
    for (const int c : {TFileListModel::ColCaption, TFileListModel::ColSize}) {
        if (takenWidth(Place.Columns[c])) {
            fileView_->setColumnWidth(c, *Place.Columns[c]);
        }
    }
    if (takenWidth(Place.Columns[TFileListModel::ColName])) {
        // The width it had at the stored window width.
        nameWidth_ = *Place.Columns[TFileListModel::ColName];
        nameAtWindowWidth_ = Place.Width.value_or(width());
    }
    showNameWidth();
}

TWindowPlace TForm1::currentPlace() const {
    TWindowPlace place;
    const bool maximized = windowState() & Qt::WindowMaximized;
    // move() places the frame's corner; a maximised window keeps the place
    // it will be restored to, as the window itself (inside its frame) has it.
    const QPoint frame = pos() - geometry().topLeft();
    const QRect normal = maximized ? normalGeometry() : geometry();
    place.Left = normal.left() + frame.x();
    place.Top = normal.top() + frame.y();
    place.Width = normal.width();
    place.Height = normal.height();
    place.Maximized = maximized;
    place.Columns[TFileListModel::ColCaption] = fileView_->columnWidth(TFileListModel::ColCaption);
    place.Columns[TFileListModel::ColSize] = fileView_->columnWidth(TFileListModel::ColSize);
    // The name column's width at the stored window width: as shown, when
    // the window is shown at that width.
    place.Columns[TFileListModel::ColName] =
        !maximized && fileView_->isVisible()
            ? fileView_->columnWidth(TFileListModel::ColName)
            : std::max(nameWidth_ + normal.width() - nameAtWindowWidth_, MinNameWidth);
    return place;
}

int TForm1::nameRoom() const {
    // What the viewport leaves beside the other columns.
    int others = 0;
    for (const int c : {TFileListModel::ColCaption, TFileListModel::ColSize}) {
        others += fileView_->isColumnHidden(c) ? 0 : fileView_->columnWidth(c);
    }
    return fileView_->viewport()->width() - others;
}

void TForm1::showNameWidth() {
    // Whatever the window gained in width since the name column had its
    // width, the column has gained (or lost) too. Worked out from the two
    // widths rather than added up change by change, so that the sizes a
    // window passes through while it is first shown do not count. It never
    // takes more than the other columns leave, so that the sizes stay in
    // view whatever width was stored and whatever the previews take.
    const int wanted = std::max(nameWidth_ + width() - nameAtWindowWidth_, MinNameWidth);
    sizingColumns_ = true;
    fileView_->setColumnWidth(TFileListModel::ColName,
                              std::max(std::min(wanted, nameRoom()), MinNameWidth));
    sizingColumns_ = false;
}

void TForm1::watchColumns() {
    // The viewport is resized after the window, when the window's width is
    // final, and again when the vertical scroll bar comes or goes.
    fileView_->viewport()->installEventFilter(this);
    connect(fileView_->header(), &QHeaderView::sectionResized, this,
            [this](int Column, int, int Width) {
                if (sizingColumns_) {
                    return;
                }
                if (Column == TFileListModel::ColName) {
                    nameWidth_ = Width;  // the user's own width, at this window width
                    nameAtWindowWidth_ = width();
                }
                // The names give way to a wider column, or stop at the edge.
                showNameWidth();
            });
}

#include "gui/PreviewListModel.h"

#include <QMimeDatabase>
#include <QPainter>
#include <QPixmap>

#include "core/previews/PreviewFetcher.h"
#include "core/session/FileListModel.h"
#include "preview/ThumbnailImages.h"

namespace {

// A frame for a picture still to come, and a crossed one for a picture of
// which none can be drawn; the icon theme's own when it has one.
QIcon drawnIcon(bool Crossed) {
    const int edge = TThumbnailImages::GridEdge;
    QPixmap p(edge, edge * 3 / 4);
    p.fill(Qt::transparent);
    QPainter painter(&p);
    painter.setPen(QPen(QColor(160, 160, 160), 2));
    painter.setBrush(QColor(235, 235, 235));
    painter.drawRect(p.rect().adjusted(1, 1, -1, -1));
    if (Crossed) {
        painter.drawLine(p.rect().topLeft(), p.rect().bottomRight());
        painter.drawLine(p.rect().bottomLeft(), p.rect().topRight());
    }
    painter.end();
    return QIcon(p);
}

}  // namespace

TPreviewListModel::TPreviewListModel(TPreviewFetcher& Fetcher, TThumbnailImages& Images,
                                     QObject* Parent)
    : QIdentityProxyModel(Parent),
      fetcher_(Fetcher),
      images_(Images),
      waiting_(drawnIcon(false)),
      missing_(QIcon::fromTheme(QStringLiteral("image-missing"), drawnIcon(true))) {
    connect(&fetcher_, &TPreviewFetcher::previewChanged, this,
            [this](int Row) { rowsChanged(Row, Row); });
    for (auto everyRow : {&TPreviewFetcher::rowsReset, &TPreviewFetcher::previewsChanged}) {
        connect(&fetcher_, everyRow, this, [this] { rowsChanged(0, rowCount() - 1); });
    }
}

void TPreviewListModel::SetShown(bool Shown) {
    if (shown_ != Shown) {
        shown_ = Shown;
        rowsChanged(0, rowCount() - 1);
    }
}

void TPreviewListModel::rowsChanged(int First, int Last) {
    Last = std::min(Last, rowCount() - 1);
    if (First < 0 || First > Last) {
        return;
    }
    // The grid shows the name column with the picture of the first.
    emit dataChanged(index(First, TFileListModel::ColCaption), index(Last, TFileListModel::ColName),
                     {Qt::DecorationRole});
}

QVariant TPreviewListModel::data(const QModelIndex& Index, int Role) const {
    if (Role == Qt::ToolTipRole) {
        // A tool tip reads markup in any text that looks like it: a phone
        // name is escaped, so that it shows as the name it is.
        const QString text = QIdentityProxyModel::data(Index, Role).toString();
        if (text.isEmpty()) {
            return {};
        }
        return QStringLiteral("<p style='white-space:pre'>%1</p>").arg(text.toHtmlEscaped());
    }
    if (!shown_ || !Index.isValid() || Index.column() != TFileListModel::ColCaption) {
        return QIdentityProxyModel::data(Index, Role);
    }
    if (Role == Qt::SizeHintRole) {
        // Every row as high as a picture: the list measures its first row
        // for all, and that may be a file with no icon.
        return QSize(2 * TThumbnailImages::ListEdge, TThumbnailImages::ListEdge + 4);
    }
    if (Role != Qt::DecorationRole) {
        return QIdentityProxyModel::data(Index, Role);
    }
    const int row = Index.row();
    switch (fetcher_.State(row)) {
        case TPreviewState::None:
            return typeIcon(Index);
        case TPreviewState::Pending:
            return waiting_;
        case TPreviewState::Failed:
            return missing_;
        case TPreviewState::Done:
            break;
    }
    const QIcon icon = images_.Icon(fetcher_.Cache(), fetcher_.Key(row));
    return icon.isNull() ? missing_ : icon;
}

QIcon TPreviewListModel::typeIcon(const QModelIndex& Index) const {
    static const QMimeDatabase mimes;
    const QString name = Index.siblingAtColumn(TFileListModel::ColName).data().toString();
    const QMimeType type = mimes.mimeTypeForFile(name, QMimeDatabase::MatchExtension);
    const auto held = typeIcons_.constFind(type.name());
    if (held != typeIcons_.constEnd()) {
        return *held;
    }
    QIcon icon = QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName()));
    typeIcons_.insert(type.name(), icon);
    return icon;
}

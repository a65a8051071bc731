// The Pictures page's previews in the window: made with the page, shown and
// hidden by the Options page's "Show picture previews".
#include <QBoxLayout>
#include <QCheckBox>
#include <QStyle>
#include <QTreeView>

#include "gui/PicturePreviews.h"
#include "gui/TForm1.h"
#include "preview/PreviewDecoder.h"

void TForm1::buildPreviews() {
    TPicturePreviews::TWindow w;
    w.Session = session_.get();
    w.Fetcher = previewFetcher_;
    w.List = fileView_;
    w.NeverDownload = neverDownloadAction_;
    w.CacheFolder = config_.ThumbnailDir;
    w.Register = [this](QObject* Control, const QString& Name) { registerControl(Control, Name); };
    w.Format = [this](const char* Name, const QList<TMessageArg>& Args) { return Msg(Name, Args); };
    // The list moves into the previews' area, which takes its place.
    auto* page = static_cast<QBoxLayout*>(picturesPage_->layout());
    const int at = page->indexOf(fileView_);
    previews_ = new TPicturePreviews(w, this);
    page->insertWidget(at, previews_->Area(), 1);
    connect(previewsBox_, &QCheckBox::toggled, this, [this](bool Shown) {
        previews_->SetShown(Shown);
        if (Shown) {
            fitPreviewPane();
        }
    });
}

void TForm1::fitPreviewPane() {
    // The window grows, never shrinks, until the list keeps the width of its
    // columns (and its scroll bar) beside the pane.
    const QMargins page = picturesPage_->layout()->contentsMargins();
    int need = page.left() + page.right() + ThumbnailEdge + 24 +
               style()->pixelMetric(QStyle::PM_ScrollBarExtent) +
               4 * style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
    for (int c = 0; c < fileView_->model()->columnCount(); ++c) {
        need += fileView_->columnWidth(c);
    }
    if (width() < need && !(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))) {
        resize(need, height());
    }
}

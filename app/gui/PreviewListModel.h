#pragma once

#include <QHash>
#include <QIcon>
#include <QIdentityProxyModel>

class TPreviewFetcher;
class TThumbnailImages;

// The file list as the window's views show it: the session's list with a
// picture in its first column, beside the check box or row number, while
// previews are shown: the thumbnail of a picture, a placeholder while it is
// fetched or when none can be drawn, and the icon of the file's type (the
// icon theme's) for other files. Its tool tips show phone names as plain
// text.
class TPreviewListModel : public QIdentityProxyModel {
    Q_OBJECT
  public:
    TPreviewListModel(TPreviewFetcher& Fetcher, TThumbnailImages& Images, QObject* Parent);

    void SetShown(bool Shown);
    bool Shown() const { return shown_; }

    QVariant data(const QModelIndex& Index, int Role) const override;

  private:
    void rowsChanged(int First, int Last);
    QIcon typeIcon(const QModelIndex& Index) const;

    TPreviewFetcher& fetcher_;
    TThumbnailImages& images_;
    bool shown_ = false;
    QIcon waiting_;
    QIcon missing_;
    mutable QHash<QString, QIcon> typeIcons_;  // by MIME type name
};

// The preview's side list of page thumbnails. The model paints a thumbnail only when a view
// asks for it, which a list view with uniform item sizes does for the visible rows alone, and
// keeps the last few hundred painted.
#pragma once

#include <QAbstractListModel>
#include <QCache>
#include <QPixmap>
#include <QSize>

namespace etb::reports {

class PageCache;

class ThumbnailModel : public QAbstractListModel {
    Q_OBJECT
public:
    explicit ThumbnailModel(QObject* parent = nullptr);

    // One row per page of pages; nullptr empties the model. The cache must outlive its use.
    void setPages(PageCache* pages);

    // The size of every thumbnail, in screen pixels.
    QSize thumbnailSize() const { return m_size; }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

Q_SIGNALS:
    // A page could not be laid out for its thumbnail (a handler or a data read failed).
    void layoutFailed();

private:
    QPixmap paintThumbnail(int row) const;

    PageCache* m_pages = nullptr;
    QSize m_size{90, 127};
    mutable QCache<int, QPixmap> m_painted{300};
    mutable bool m_failed = false;
};

}  // namespace etb::reports

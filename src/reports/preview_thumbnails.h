// The preview's side list of page thumbnails. The model paints a thumbnail only when a view
// asks for it, which a list view with uniform item sizes does for the visible rows alone, and
// keeps the last few hundred painted.
#pragma once

#include <QAbstractListModel>
#include <QCache>
#include <QPixmap>
#include <QSize>
#include <QStyledItemDelegate>

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

// Paints a thumbnail as it is and marks the current page with a frame in the highlight
// colour, rather than tinting the page as a selected item would be.
class ThumbnailDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};

}  // namespace etb::reports

// The preview's page thumbnails, painted on demand.
#include "preview_thumbnails.h"

#include "page_painter.h"
#include "preview_page_cache.h"

#include <QIcon>
#include <QPainter>
#include <exception>

namespace etb::reports {

ThumbnailModel::ThumbnailModel(QObject* parent) : QAbstractListModel(parent) {}

void ThumbnailModel::setPages(PageCache* pages) {
    beginResetModel();
    m_pages = pages;
    m_painted.clear();
    m_failed = false;
    if (pages && pages->sheetWidthPx() > 0) {
        const int widthPx = 90;
        m_size = QSize(widthPx, qRound(widthPx * pages->sheetHeightPx() / pages->sheetWidthPx()));
    }
    endResetModel();
}

int ThumbnailModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || !m_pages)
        return 0;
    return m_pages->pageCount();
}

QVariant ThumbnailModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !m_pages || index.row() >= m_pages->pageCount())
        return {};
    switch (role) {
        case Qt::DisplayRole:
            return QString::number(index.row() + 1);
        case Qt::DecorationRole: {
            if (const QPixmap* painted = m_painted.object(index.row()))
                return *painted;
            QPixmap thumbnail = paintThumbnail(index.row());
            m_painted.insert(index.row(), new QPixmap(thumbnail));
            return thumbnail;
        }
        default:
            return {};
    }
}

QPixmap ThumbnailModel::paintThumbnail(int row) const {
    QPixmap thumbnail(m_size);
    thumbnail.fill(Qt::white);
    if (m_failed)
        return thumbnail;
    try {
        const Page page = m_pages->layOut(row);
        QPainter painter(&thumbnail);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        paintPage(page, painter, QRectF(0, 0, m_size.width(), m_size.height()));
        painter.setPen(Qt::gray);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRect(0, 0, m_size.width() - 1, m_size.height() - 1));
    } catch (const std::exception&) {
        // Painting runs inside the view's paint event, which must not see the error; the
        // window closes on the signal instead.
        m_failed = true;
        Q_EMIT const_cast<ThumbnailModel*>(this)->layoutFailed();
    }
    return thumbnail;
}

void ThumbnailDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    QStyleOptionViewItem plain(option);
    plain.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
    QStyledItemDelegate::paint(painter, plain, index);
    if (option.state & QStyle::State_Selected) {
        painter->save();
        painter->setPen(QPen(option.palette.color(QPalette::Highlight), 3));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(QRectF(option.rect).adjusted(1.5, 1.5, -1.5, -1.5));
        painter->restore();
    }
}

}  // namespace etb::reports

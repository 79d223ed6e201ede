#pragma once

#include <QIcon>
#include <QList>
#include <QPixmap>
#include <QStyledItemDelegate>

// Draws one line of a list cell: the style's background and selection, the picture, and the text
// cut with an ellipsis. The style's own item drawing lays every text out as a paragraph, several
// times over; with hundreds of cells on a screen that alone took longer than a frame.
class CFileItemDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit CFileItemDelegate(QObject* parent = nullptr) : QStyledItemDelegate(parent) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    // The list shows a handful of pictures hundreds of times a screen: each is drawn once per size
    // and state, instead of being looked up in the icon's caches for every cell.
    const QPixmap& Picture(const QIcon& icon, const QSize& size, QIcon::Mode mode, qreal ratio) const;

    struct CachedPicture
    {
        qint64 iconKey;
        QSize size;
        QIcon::Mode mode;
        qreal ratio;
        QPixmap pixmap;
    };
    mutable QList<CachedPicture> m_pictures; // a few entries: searched in order
};

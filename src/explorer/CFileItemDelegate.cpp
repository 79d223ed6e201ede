#include "explorer/CFileItemDelegate.h"

#include <QApplication>
#include <QPainter>

void CFileItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();

    painter->save();
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &opt, painter, widget);

    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    QRect textRect = opt.rect.adjusted(margin, 0, -margin, 0);
    if (opt.features & QStyleOptionViewItem::HasDecoration) {
        const QSize iconSize = opt.decorationSize;
        const QRect iconRect(
            QPoint(textRect.left(), opt.rect.top() + (opt.rect.height() - iconSize.height()) / 2), iconSize);
        const QIcon::Mode mode = !(opt.state & QStyle::State_Enabled)   ? QIcon::Disabled
                                 : (opt.state & QStyle::State_Selected) ? QIcon::Selected
                                                                        : QIcon::Normal;
        painter->drawPixmap(iconRect.topLeft(),
                            Picture(opt.icon, iconSize, mode, painter->device()->devicePixelRatioF()));
        textRect.setLeft(iconRect.right() + 1 + 2 * margin);
    }
    if (!opt.text.isEmpty() && textRect.width() > 0) {
        const QPalette::ColorGroup group =
            (opt.state & QStyle::State_Enabled) ? QPalette::Normal : QPalette::Disabled;
        painter->setPen(opt.palette.color(
            group, (opt.state & QStyle::State_Selected) ? QPalette::HighlightedText : QPalette::Text));
        painter->setFont(opt.font);
        const QFontMetrics& metrics = opt.fontMetrics;
        // Most texts fit even at the widest glyph: they need no eliding, which measures the text.
        const bool surelyFits = opt.text.size() * qint64(metrics.maxWidth()) <= textRect.width();
        QString shown =
            surelyFits ? opt.text : metrics.elidedText(opt.text, Qt::ElideRight, textRect.width());
        shown.replace(QLatin1Char('\n'), QLatin1Char(' '));
        // Drawing at a point skips the layout pass that drawing into a rectangle makes.
        const int baseline = textRect.top() + (textRect.height() - metrics.height()) / 2 + metrics.ascent();
        painter->drawText(QPoint(textRect.left(), baseline), shown);
    }
    if (opt.state & QStyle::State_HasFocus) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(opt);
        focus.rect = opt.rect;
        focus.backgroundColor = opt.palette.color(QPalette::Highlight);
        style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, widget);
    }
    painter->restore();
}

QSize CFileItemDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const
{
    // Every row is alike (the views ask once, with uniform sizes): one line beside a small picture,
    // as wide as a title's 30 characters. The row's own text is not read: the list view asks for the
    // last row's size, whose file would otherwise be read from the database (on a server, a round
    // trip of its own) just to lay the list out.
    const QSize picture = option.decorationSize;
    const int height = qMax(option.fontMetrics.height(), picture.height()) + 4;
    return QSize(option.fontMetrics.averageCharWidth() * 30 + picture.width() + 12, height);
}

const QPixmap& CFileItemDelegate::Picture(const QIcon& icon, const QSize& size, QIcon::Mode mode,
                                          qreal ratio) const
{
    const qint64 key = icon.cacheKey();
    for (const CachedPicture& cached : std::as_const(m_pictures)) {
        if (cached.iconKey == key && cached.size == size && cached.mode == mode &&
            qFuzzyCompare(cached.ratio, ratio))
            return cached.pixmap;
    }
    if (m_pictures.size() > 64)
        m_pictures.removeFirst();
    QPixmap pixmap = icon.pixmap(size, ratio, mode);
    pixmap.setDevicePixelRatio(ratio);
    m_pictures.append({key, size, mode, ratio, pixmap});
    return m_pictures.last().pixmap;
}

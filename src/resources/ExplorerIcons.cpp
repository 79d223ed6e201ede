#include "resources/ExplorerIcons.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>

namespace {

// A magnifying glass, drawn so that no theme is needed for the search results node.
QIcon DrawMagnifier(bool selected)
{
    QIcon icon;
    for (int size : {16, 32}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal unit = size / 16.0;
        painter.setPen(QPen(selected ? QColor(0x1e, 0x5a, 0xa8) : QColor(0x40, 0x40, 0x40), 2 * unit));
        painter.setBrush(selected ? QColor(0xcf, 0xe4, 0xff) : QColor(0xf4, 0xf4, 0xf4));
        painter.drawEllipse(QRectF(1.5 * unit, 1.5 * unit, 9 * unit, 9 * unit));
        painter.setPen(QPen(QColor(0x60, 0x40, 0x20), 3 * unit, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(10 * unit, 10 * unit), QPointF(14 * unit, 14 * unit));
        icon.addPixmap(pixmap);
    }
    return icon;
}

// Four small squares or lines, for the view mode buttons.
QIcon DrawViewMode(ExplorerIcon mode)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setPen(QColor(0x30, 0x30, 0x30));
    painter.setBrush(QColor(0x5a, 0x8c, 0xd2));
    switch (mode) {
    case ExplorerIcon::LargeIcons:
        painter.drawRect(1, 1, 5, 5);
        painter.drawRect(9, 1, 5, 5);
        painter.drawRect(1, 9, 5, 5);
        painter.drawRect(9, 9, 5, 5);
        break;
    case ExplorerIcon::SmallIcons:
        for (int y : {2, 9})
            for (int x : {1, 8}) {
                painter.drawRect(x, y, 2, 2);
                painter.drawLine(x + 4, y + 1, x + 6, y + 1);
            }
        break;
    case ExplorerIcon::List:
        for (int y : {2, 7, 12}) {
            painter.drawRect(1, y, 2, 2);
            painter.drawLine(5, y + 1, 14, y + 1);
        }
        break;
    default: // details
        for (int y : {2, 7, 12}) {
            painter.drawRect(1, y, 2, 2);
            painter.drawLine(5, y + 1, 8, y + 1);
            painter.drawLine(10, y + 1, 14, y + 1);
        }
        break;
    }
    return QIcon(pixmap);
}

QIcon Themed(const char* name, QStyle::StandardPixmap fallback)
{
    return QIcon::fromTheme(QLatin1String(name), QApplication::style()->standardIcon(fallback));
}

// The style's folder comes in 16 pixels only, which the large icon view would show small among
// 32-pixel files: the icon gains a 32-pixel picture scaled from its largest.
QIcon WithLargeSize(QIcon icon)
{
    const QSize large(32, 32);
    const QSize available = icon.actualSize(large);
    if (available.isEmpty() || available == large)
        return icon;
    const QPixmap small = icon.pixmap(available);
    icon.addPixmap(small.scaled(large, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    return icon;
}

} // namespace

QIcon LoadExplorerIcon(ExplorerIcon icon)
{
    switch (icon) {
    case ExplorerIcon::ClosedFolder:
        return WithLargeSize(Themed("folder", QStyle::SP_DirClosedIcon));
    case ExplorerIcon::OpenFolder:
        return WithLargeSize(Themed("folder-open", QStyle::SP_DirOpenIcon));
    case ExplorerIcon::Search:
        return QIcon::fromTheme(QStringLiteral("folder-saved-search"), DrawMagnifier(false));
    case ExplorerIcon::SearchSelected:
        return QIcon::fromTheme(QStringLiteral("folder-saved-search"), DrawMagnifier(true));
    case ExplorerIcon::File:
        return Themed("text-x-generic", QStyle::SP_FileIcon);
    case ExplorerIcon::Program:
        return Themed("system-file-manager", QStyle::SP_DirHomeIcon);
    case ExplorerIcon::Up:
        return Themed("go-up", QStyle::SP_FileDialogToParent);
    case ExplorerIcon::New:
        return Themed("document-new", QStyle::SP_FileIcon);
    case ExplorerIcon::Delete:
        return Themed("edit-delete", QStyle::SP_TrashIcon);
    case ExplorerIcon::Properties:
        return Themed("document-properties", QStyle::SP_FileDialogInfoView);
    case ExplorerIcon::Find:
        return QIcon::fromTheme(QStringLiteral("edit-find"), DrawMagnifier(false));
    case ExplorerIcon::LargeIcons:
    case ExplorerIcon::SmallIcons:
    case ExplorerIcon::List:
    case ExplorerIcon::Details:
        return DrawViewMode(icon);
    case ExplorerIcon::Pagewright:
        return Themed("text-html", QStyle::SP_ComputerIcon);
    case ExplorerIcon::Help:
        return Themed("help-contents", QStyle::SP_MessageBoxQuestion);
    }
    return QIcon();
}

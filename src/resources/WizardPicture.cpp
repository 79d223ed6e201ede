#include "resources/WizardPicture.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

QPixmap WizardPicture()
{
    // Drawn rather than shipped: a strip of sky over shelves of archive boxes, in the program's blue.
    const QSize size(164, 312);
    QPixmap picture(size);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, size.height());
    sky.setColorAt(0.0, QColor(0x1e, 0x4f, 0x91));
    sky.setColorAt(1.0, QColor(0x6f, 0xa8, 0xdc));
    painter.fillRect(picture.rect(), sky);

    painter.setPen(QPen(QColor(0xdc, 0xe9, 0xf7), 2));
    for (int shelf = 0; shelf < 4; ++shelf) {
        const int y = 120 + shelf * 46;
        painter.drawLine(16, y + 34, size.width() - 16, y + 34);
        for (int box = 0; box < 3; ++box) {
            const QRectF rect(24 + box * 40, y + 6 + (box % 2) * 4, 30, 28 - (box % 2) * 4);
            painter.setBrush(QColor(0xf2, 0xc1, 0x4e).darker(100 + 12 * ((shelf + box) % 3)));
            painter.drawRoundedRect(rect, 2, 2);
            painter.drawLine(QPointF(rect.left() + 6, rect.top() + 8), QPointF(rect.right() - 6, rect.top() + 8));
        }
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 60));
    painter.drawEllipse(QPointF(120, 52), 30, 30);
    return picture;
}

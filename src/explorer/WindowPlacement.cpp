#include "explorer/WindowPlacement.h"

#include "files/SafeFormat.h"

#include <QStringList>

#include <algorithm>

namespace {

// Skips leading blanks, takes an optional sign and the digits that follow; 0 when there are none.
int FieldAt(const QString& text, int offset)
{
    if (offset >= text.size())
        return 0;
    int i = offset;
    while (i < text.size() && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+')))
        negative = text[i++] == QLatin1Char('-');
    qint64 value = 0;
    while (i < text.size() && text[i].isDigit() && text[i].unicode() < 128 && value < 100000000)
        value = value * 10 + (text[i++].unicode() - '0');
    return int(negative ? -value : value);
}

} // namespace

WindowPlacement WindowPlacement::Parse(const QString& text)
{
    WindowPlacement placement;
    int field[8] = {};
    // Fields stand at fixed offsets, four characters each; a wider one (a position of -1920 on a
    // monitor to the left, say) shifts the rest, and then the fields are taken between the blanks.
    const QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (text.size() > 39 && words.size() == 8) {
        for (int i = 0; i < 8; ++i)
            field[i] = FieldAt(words[i], 0);
    } else {
        for (int i = 0; i < 8; ++i)
            field[i] = FieldAt(text, i * 5);
    }
    placement.normal = QRect(QPoint(field[0], field[1]), QPoint(field[2] - 1, field[3] - 1));
    placement.minimized = field[4] != 0;
    placement.maximized = field[5] != 0;
    placement.hasBarFlags = text.size() > 30;
    placement.toolBarVisible = field[6] != 0;
    placement.statusBarVisible = field[7] != 0;
    return placement;
}

QString WindowPlacement::Format() const
{
    return SafeFormat(u"%04d %04d %04d %04d %04d %04d %04d %04d", normal.left(), normal.top(), normal.right() + 1,
                      normal.bottom() + 1, int(minimized), int(maximized), int(toolBarVisible),
                      int(statusBarVisible));
}

QRect FitToScreens(const QRect& stored, const QList<QRect>& screens)
{
    if (stored.width() <= 0 || stored.height() <= 0 || screens.isEmpty())
        return {};
    // Stored fields may be near the ends of int: overlaps are worked out in 64 bits.
    const auto overlap = [&stored](const QRect& screen) {
        const qint64 w =
            qMin<qint64>(stored.right(), screen.right()) - qMax<qint64>(stored.left(), screen.left()) + 1;
        const qint64 h =
            qMin<qint64>(stored.bottom(), screen.bottom()) - qMax<qint64>(stored.top(), screen.top()) + 1;
        return w > 0 && h > 0 ? w * h : 0;
    };
    QRect screen = screens.first();
    qint64 best = 0;
    for (const QRect& candidate : screens) {
        if (const qint64 area = overlap(candidate); area > best) {
            best = area;
            screen = candidate;
        }
    }
    const int width = qMin(stored.width(), screen.width());
    const int height = qMin(stored.height(), screen.height());
    const int left = std::clamp(stored.left(), screen.left(), screen.left() + screen.width() - width);
    const int top = std::clamp(stored.top(), screen.top(), screen.top() + screen.height() - height);
    return QRect(left, top, width, height);
}

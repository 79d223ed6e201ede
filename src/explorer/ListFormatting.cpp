#include "explorer/ListFormatting.h"

#include "controls/DialogUnits.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <ctime>
#include <iterator>

QString FormatListSize(double fileSize)
{
    if (!std::isfinite(fileSize) || std::fabs(fileSize) >= 9.0e18)
        return QStringLiteral("0");
    const qint64 whole = qint64(fileSize); // truncates toward zero
    return QString::number(qint32(quint32(quint64(whole))));
}

QString FormatListDate(quint32 secondsSince1970)
{
    // A stored time stands for its day in UTC, in every zone, as the date fields show it.
    const time_t seconds = time_t(secondsSince1970);
    struct tm day;
    if (!gmtime_r(&seconds, &day))
        return QString();
    char buffer[260];
    const size_t length = std::strftime(buffer, sizeof buffer, "%B %d, %Y", &day);
    return QString::fromLocal8Bit(buffer, qsizetype(length));
}

int DefaultListColumnWidth(int column, int lineHeight)
{
    // Name, Size, Type, File Date, Last Download, Description.
    static const int kWidths[] = {125, 80, 80, 100, 100, 250};
    if (column < 0 || column >= int(std::size(kWidths)))
        return 0;
    return ScaleDialogPixels(kWidths[column], lineHeight);
}

QString FormatListText(const QString& text)
{
    QString shown = text.size() > kMaxListTextLength ? text.left(kMaxListTextLength) + QChar(0x2026) : text;
    if (shown.size() > kMaxListTextLength && shown[kMaxListTextLength - 1].isHighSurrogate())
        shown.remove(kMaxListTextLength - 1, 1);
    for (QChar& c : shown) {
        if (c == u'\n' || c == u'\r' || c == u'\t')
            c = u' ';
    }
    return shown;
}

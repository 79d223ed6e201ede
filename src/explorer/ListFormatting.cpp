#include "explorer/ListFormatting.h"

#include <cmath>
#include <ctime>

QString FormatListSize(double fileSize)
{
    if (!std::isfinite(fileSize) || std::fabs(fileSize) >= 9.0e18)
        return QStringLiteral("0");
    const qint64 whole = qint64(fileSize); // truncates toward zero
    return QString::number(qint32(quint32(quint64(whole))));
}

QString FormatListDate(quint32 secondsSince1970)
{
    const time_t seconds = time_t(secondsSince1970);
    struct tm local;
    if (!localtime_r(&seconds, &local))
        return QString();
    char buffer[260];
    const size_t length = std::strftime(buffer, sizeof buffer, "%B %d, %Y", &local);
    return QString::fromLocal8Bit(buffer, qsizetype(length));
}

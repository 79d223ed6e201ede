#include "adding/AddFileSource.h"

#include "adding/CClipboardSubmission.h"
#include "adding/LocalLocation.h"
#include "database/CFileRecord.h"

#include <QDateTime>

#include <ctime>

std::optional<CalendarDate> ReadSubmissionDate(const QString& text)
{
    int month = 0;
    int day = 0;
    int year = 0;
    if (!ParseDateText(text, QStringLiteral("mm/dd/yy"), &month, &day, &year))
        return std::nullopt;
    return CalendarDate{year + (year < 50 ? 2000 : 1900), month, day};
}

quint32 ReadDigits(const QString& text)
{
    quint32 value = 0;
    for (QChar c : text) {
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            value = value * 10 + quint32(c.unicode() - '0');
    }
    return value;
}

bool ReadRequiresForm(const QString& value)
{
    if (value.isEmpty())
        return false;
    const QChar first = value.front();
    return first == QLatin1Char('Y') || first == QLatin1Char('y') || first == QLatin1Char('1');
}

QStringList ReadSubmissionLocations(const CClipboardSubmission& submission)
{
    QStringList locations;
    for (int n = 1;; ++n) {
        const QString location = submission.GetValue(QStringLiteral("SiteUrl%1").arg(n));
        if (location.isEmpty())
            return locations;
        locations.append(location);
    }
}

std::optional<LocalFileFacts> ReadLocalFileFacts(const QString& path)
{
    if (path.isEmpty())
        return std::nullopt;
    // A file in an area is looked at through the file layer: a link there tells nothing of the file
    // it points to.
    const CSafeFile file = CAreaDirectories().OpenSource(path);
    if (!file.IsOpen())
        return std::nullopt;
    const QDate day = QDateTime::fromSecsSinceEpoch(file.Status().st_mtime).toLocalTime().date();
    return LocalFileFacts{{day.year(), day.month(), day.day()},
                          quint32(quint64(file.Status().st_size) & 0xFFFFFFFFu)};
}

QString LocalFileTitle(const QString& path)
{
    return path.section(QLatin1Char('/'), -1);
}

quint32 LocalMidnight(const CalendarDate& date)
{
    std::tm local{};
    local.tm_year = date.year - 1900;
    local.tm_mon = date.month - 1;
    local.tm_mday = date.day;
    local.tm_isdst = -1; // the system knows whether daylight saving applies
    return quint32(std::mktime(&local));
}

bool StoreNewFile(CFileRecord& record, const QList<double>& areaIds, const QStringList& locations)
{
    if (!record.Add())
        return false;
    bool complete = true;
    for (double areaId : areaIds) {
        if (!record.AddToFileArea(areaId)) {
            complete = false;
            break;
        }
    }
    for (const QString& location : locations) {
        if (!record.AddDownloadURL(location))
            return false;
    }
    return complete;
}

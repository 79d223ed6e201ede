#include "adding/addfile/AddFileSource.h"

#include "adding/addfile/CClipboardSubmission.h"
#include "adding/download/LocalLocation.h"
#include "database/CFileRecord.h"

#include <QRegularExpression>

#include <limits>

std::optional<CalendarDate> ReadSubmissionDate(const QString& text)
{
    int month = 0;
    int day = 0;
    int year = 0;
    if (!ParseDateText(text, QStringLiteral("mm/dd/yy"), &month, &day, &year))
        return std::nullopt;
    return CalendarDate{year + (year < 50 ? 2000 : 1900), month, day};
}

std::optional<quint32> ReadByteCount(const QString& text)
{
    static const QRegularExpression kGroupedDigits(QStringLiteral("\\A[0-9]+(,[0-9]+)*\\z"));
    if (!kGroupedDigits.match(text).hasMatch())
        return std::nullopt;
    quint64 value = 0;
    for (QChar c : text) {
        if (c == u',')
            continue;
        value = value * 10 + quint64(c.unicode() - u'0');
        if (value > std::numeric_limits<quint32>::max())
            return std::nullopt;
    }
    return quint32(value);
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
    // The day of the file's time as every stored time is read: in UTC.
    LocalFileFacts facts;
    if (!UtcDateOfTime(qint64(file.Status().st_mtime), &facts.date))
        return std::nullopt;
    facts.size = quint32(quint64(file.Status().st_size) & 0xFFFFFFFFu);
    return facts;
}

QString LocalFileTitle(const QString& path)
{
    return path.section(QLatin1Char('/'), -1);
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

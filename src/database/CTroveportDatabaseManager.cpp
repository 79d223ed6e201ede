#include "database/CTroveportDatabaseManager.h"

#include "database/CDBException.h"
#include "database/RowKeys.h"
#include "files/SafeFormat.h"

#include <QSqlQuery>
#include <QVariant>

CTroveportDatabaseManager theDatabaseManager(true);

bool CTroveportDatabaseManager::QueryColumn(const QString& statement, const QVariant& value,
                                            QVariantList* column)
{
    try {
        column->clear();
        Run(statement, {value}, column);
        return true;
    } catch (const CDBException& e) {
        LogError(e.GetErrorText());
        return false;
    }
}

int CTroveportDatabaseManager::GetNumberOfFilesInArea(double areaId)
{
    QVariantList count;
    // The files an area's cursor lists: existing files with ids the interface can hold.
    QueryColumn(
        QStringLiteral("SELECT count(*) FROM file_area JOIN files ON files.file_id = file_area.file_id "
                       "WHERE file_area.area_id = ? AND file_area.file_id BETWEEN -%1 AND %1")
            .arg(kMaxExactKey),
        qint64(areaId), &count);
    return count.value(0).toInt();
}

bool CTroveportDatabaseManager::IsDownloadURLUnique(const QString& url)
{
    // When the database cannot answer, the location must not be taken as free.
    QVariantList found;
    return QueryColumn(QStringLiteral("SELECT 1 FROM download WHERE url = ? LIMIT 1"), url, &found) &&
           found.isEmpty();
}

bool CTroveportDatabaseManager::GetDownloadURLs(double fileId, QStringList& urls)
{
    const auto key = GetFileKey(fileId);
    QVariantList column;
    if (!key || !QueryColumn(QStringLiteral("SELECT url FROM download WHERE file_id = ? ORDER BY rowid"),
                             *key, &column))
        return false;
    urls.clear();
    for (const QVariant& url : std::as_const(column))
        urls.append(url.toString());
    return true;
}

bool CTroveportDatabaseManager::GetAreaIDsForFile(double fileId, QList<double>& areaIds)
{
    const auto key = GetFileKey(fileId);
    QVariantList column;
    if (!key ||
        !QueryColumn(QStringLiteral("SELECT area_id FROM file_area WHERE file_id = ? ORDER BY area_id"), *key,
                     &column))
        return false;
    areaIds.clear();
    for (const QVariant& id : std::as_const(column))
        areaIds.append(double(id.toLongLong()));
    return true;
}

std::optional<qint64> CTroveportDatabaseManager::CountFileRows(double fileId)
{
    const auto key = GetFileKey(fileId);
    QVariantList count;
    if (!key || !QueryColumn(QStringLiteral("SELECT count(*) FROM files WHERE file_id = ?"), *key, &count) ||
        count.isEmpty())
        return std::nullopt;
    return count.first().toLongLong();
}

void CTroveportDatabaseManager::ForEachLocationEndingIn(
    double fileId, const QString& name, const std::function<bool(const QString& title, const QString& url)>& visit)
{
    bool more = true;
    ForEachRow(QStringLiteral("SELECT files.title, download.url FROM download JOIN files ON files.file_id = "
                              "download.file_id WHERE download.file_id <> ? AND substr(download.url, "
                              "length(download.url) - length(CAST(? AS TEXT)) + 1) = CAST(? AS TEXT)"),
               {qint64(fileId), name, name}, [&](const QSqlQuery& row) {
                   if (more)
                       more = visit(row.value(0).toString(), row.value(1).toString());
               });
}

QString DuplicateFileIdMessage(CTroveportDatabaseManager& manager, double fileId)
{
    const auto count = manager.CountFileRows(fileId);
    if (!count || *count <= 1)
        return QString();
    return SafeFormat(u"The database holds %d files with the id %s: change them with the web site's tools.",
                      *count, QString::number(fileId, 'f', 0));
}

#include "database/CTroveportDatabaseManager.h"

#include "database/CDBException.h"
#include "database/CRecordSet.h"

#include <QSqlQuery>
#include <QVariant>

CTroveportDatabaseManager theDatabaseManager(true);

namespace {

const char* const kSchema[] = {
    R"(CREATE TABLE IF NOT EXISTS files (
        file_id       INTEGER PRIMARY KEY,
        title         TEXT    NOT NULL DEFAULT '' COLLATE NOCASE,
        file_size     INTEGER NOT NULL DEFAULT 0,
        short_desc    TEXT    NOT NULL DEFAULT '',
        long_desc     TEXT    NOT NULL DEFAULT '',
        upld_name     TEXT    NOT NULL DEFAULT '',
        upld_email    TEXT    NOT NULL DEFAULT '',
        downloads     INTEGER NOT NULL DEFAULT 0,
        last_download INTEGER NOT NULL DEFAULT 0,
        file_date     INTEGER NOT NULL DEFAULT 0,
        version       TEXT    NOT NULL DEFAULT '',
        requires_form INTEGER NOT NULL DEFAULT 0))",
    R"(CREATE TABLE IF NOT EXISTS download (
        file_id INTEGER NOT NULL REFERENCES files(file_id) ON DELETE CASCADE,
        url     TEXT    NOT NULL,
        UNIQUE (file_id, url)))",
    R"(CREATE INDEX IF NOT EXISTS download_url ON download(url))",
    R"(CREATE TABLE IF NOT EXISTS file_area (
        area_id INTEGER NOT NULL,
        file_id INTEGER NOT NULL REFERENCES files(file_id) ON DELETE CASCADE,
        PRIMARY KEY (area_id, file_id)) WITHOUT ROWID)",
    R"(CREATE INDEX IF NOT EXISTS file_area_file ON file_area(file_id))",
};

} // namespace

void CTroveportDatabaseManager::CreateSchema(QSqlDatabase& db)
{
    QSqlQuery query(db);
    Exec(query, QStringLiteral("PRAGMA user_version"));
    if (query.next() && query.value(0).toInt() >= 1)
        return;
    query.finish();
    // Two programs may create the schema at once; the immediate transaction makes one wait.
    Exec(query, QStringLiteral("BEGIN IMMEDIATE"));
    try {
        for (const char* statement : kSchema)
            Exec(query, QString::fromUtf8(statement));
        Exec(query, QStringLiteral("PRAGMA user_version = 1"));
        Exec(query, QStringLiteral("COMMIT"));
    } catch (const CDBException&) {
        query.exec(QStringLiteral("ROLLBACK"));
        throw;
    }
}

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

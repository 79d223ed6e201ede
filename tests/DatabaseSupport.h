#pragma once

// Helpers for tests that use the file database: a fresh database file per test, files made in
// one call, and a plain second connection standing in for the web site.

#include "database/CFileRecord.h"
#include "database/CTroveportDatabaseManager.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <QVariant>

#include <algorithm>
#include <memory>

using namespace Qt::StringLiterals;

namespace DatabaseSupport {

// Adds a file with a title, linked to an area; returns its id (0 on failure).
inline double AddFile(const QString& title, double areaId = 1, const QString& url = QString())
{
    CFileRecord record(&theDatabaseManager);
    record.title = title;
    record.short_desc = title + u" in brief"_s;
    if (!record.Add() || !record.AddToFileArea(areaId))
        return 0;
    if (!url.isEmpty() && !record.AddDownloadURL(url))
        return 0;
    return record.file_id;
}

// Adds the record as a new file, linked to these areas and with these locations; its id (0 on failure).
inline double AddLibraryFile(CFileRecord& record, const QList<quint32>& areas, const QStringList& urls = {})
{
    if (!record.Add())
        return 0;
    for (quint32 area : areas) {
        if (!record.AddToFileArea(area))
            return 0;
    }
    for (const QString& url : urls) {
        if (!record.AddDownloadURL(url))
            return 0;
    }
    return record.file_id;
}

// The file's stored record; null when there is none.
inline std::unique_ptr<CFileRecord> Stored(double id)
{
    CFileRecord key(&theDatabaseManager);
    key.file_id = id;
    auto found = std::make_unique<CFileRecord>(&theDatabaseManager);
    return found->GetByPrimaryKey(key) ? std::move(found) : nullptr;
}

inline bool Exists(double id)
{
    return Stored(id) != nullptr;
}

// The file's area links and locations, sorted.
inline QList<double> AreasOf(double id)
{
    QList<double> areas;
    theDatabaseManager.GetAreaIDsForFile(id, areas);
    std::sort(areas.begin(), areas.end());
    return areas;
}

inline QStringList LocationsOf(double id)
{
    QStringList urls;
    theDatabaseManager.GetDownloadURLs(id, urls);
    urls.sort();
    return urls;
}

// A connection of its own to the same database file, as another program would have.
class COtherProgram
{
public:
    explicit COtherProgram(const QString& file, const QString& name = u"other-program"_s) : m_name(name)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, m_name);
        db.setDatabaseName(file);
        db.setConnectOptions(u"QSQLITE_BUSY_TIMEOUT=10000"_s);
        m_open = db.open();
    }
    ~COtherProgram()
    {
        QSqlDatabase::database(m_name, false).close();
        QSqlDatabase::removeDatabase(m_name);
    }
    bool Run(const QString& statement, const QVariantList& values = {})
    {
        return Query(statement, values).isActive();
    }
    QVariant Value(const QString& statement, const QVariantList& values = {})
    {
        QSqlQuery query = Query(statement, values);
        return query.next() ? query.value(0) : QVariant();
    }
    bool IsOpen() const { return m_open; }

private:
    QSqlQuery Query(const QString& statement, const QVariantList& values)
    {
        QSqlQuery query(QSqlDatabase::database(m_name, false));
        query.prepare(statement);
        for (const QVariant& v : values)
            query.addBindValue(v);
        query.exec();
        return query;
    }

    QString m_name;
    bool m_open = false;
};

} // namespace DatabaseSupport

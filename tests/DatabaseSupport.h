#pragma once

// A fresh file database per case, files made in one call, and a second connection standing in for
// the web site. Every test runs on SQLite and, as NAME_pg, on the PostgreSQL server that
// TROVEPORT_TEST_POSTGRES names, in a database of the program's own.

#include "database/CFileRecord.h"
#include "database/CTroveportDatabaseManager.h"
#include "settings/Globals.h"

#include <QCoreApplication>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QVariant>

#include <algorithm>
#include <memory>

using namespace Qt::StringLiterals;

namespace DatabaseSupport {

inline bool OnPostgres()
{
    return qgetenv("TROVEPORT_TEST_ENGINE") == "postgresql";
}

// The server's address, ending in '/', to which a database name is added.
inline QString PostgresServer()
{
    return QString::fromLocal8Bit(qgetenv("TROVEPORT_TEST_POSTGRES"));
}

// This test program's own database on the server.
inline QString PostgresDatabaseName()
{
    return u"test_%1_%2"_s.arg(QCoreApplication::applicationName().toLower()).arg(QCoreApplication::applicationPid());
}

inline QString PostgresDatabaseUri()
{
    return PostgresServer() + PostgresDatabaseName();
}

// Opens a plain connection of the test's own; false when it does not open.
inline bool OpenAdminConnection(const QString& name, const QString& database)
{
    const QUrl url(PostgresServer());
    QSqlDatabase db = QSqlDatabase::addDatabase(u"QPSQL"_s, name);
    db.setHostName(url.host());
    db.setPort(url.port(5432));
    db.setUserName(url.userName());
    db.setDatabaseName(database);
    db.setConnectOptions(u"options='-c client_min_messages=warning'"_s);
    if (!db.open()) {
        qWarning("%s", qPrintable(db.lastError().text()));
        return false;
    }
    return true;
}

// Call from initTestCase: skips the whole program when it should run on PostgreSQL and no server is
// given, and makes its database on the server.
#define TROVEPORT_REQUIRE_ENGINE()                                                                           \
    do {                                                                                                     \
        if (DatabaseSupport::OnPostgres()) {                                                                 \
            if (DatabaseSupport::PostgresServer().isEmpty())                                                 \
                QSKIP("No PostgreSQL server: TROVEPORT_TEST_POSTGRES is not set (scripts/test.sh starts one)"); \
            QVERIFY(DatabaseSupport::CreatePostgresDatabase());                                             \
        }                                                                                                    \
    } while (false)

inline bool CreatePostgresDatabase()
{
    bool made = false;
    {
        if (!OpenAdminConnection(u"test-admin"_s, u"postgres"_s))
            return false;
        QSqlQuery query(QSqlDatabase::database(u"test-admin"_s));
        query.exec(u"DROP DATABASE IF EXISTS %1"_s.arg(PostgresDatabaseName()));
        made = query.exec(u"CREATE DATABASE %1"_s.arg(PostgresDatabaseName()));
        if (!made)
            qWarning("%s", qPrintable(query.lastError().text()));
    }
    QSqlDatabase::removeDatabase(u"test-admin"_s);
    return made;
}

// Points the database manager at a new, empty database: the file troveport.db in dir on SQLite, this
// program's database emptied on PostgreSQL. The manager makes the tables when it connects.
inline void UseFreshDatabase(const QString& dir)
{
    theDatabaseManager.CloseConnection();
    if (!OnPostgres()) {
        QFile::remove(dir + u"/troveport.db"_s);
        theDatabaseManager.SetDatabaseFile(dir + u"/troveport.db"_s);
        return;
    }
    {
        QVERIFY(OpenAdminConnection(u"test-reset"_s, PostgresDatabaseName()));
        QSqlQuery query(QSqlDatabase::database(u"test-reset"_s));
        QVERIFY2(query.exec(u"DROP SCHEMA public CASCADE"_s), qPrintable(query.lastError().text()));
        QVERIFY2(query.exec(u"CREATE SCHEMA public"_s), qPrintable(query.lastError().text()));
    }
    QSqlDatabase::removeDatabase(u"test-reset"_s);
    g_strDatabasePath = dir; // where the library's other files and the log go
    theDatabaseManager.SetDatabaseConnection(PostgresDatabaseUri());
}

// Skips a case that checks what only one engine has.
#define TROVEPORT_SQLITE_ONLY(why)                                                                           \
    do {                                                                                                     \
        if (DatabaseSupport::OnPostgres())                                                                   \
            QSKIP("SQLite only: " why);                                                                      \
    } while (false)

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

// A statement whose one value is the column's values in the rows "FROM tail" picks, in order and
// joined by commas.
inline QString JoinedValues(const QString& column, const QString& tail)
{
    return OnPostgres() ? u"SELECT string_agg(CAST(%1 AS TEXT), ',' ORDER BY %1) FROM %2"_s.arg(column, tail)
                        : u"SELECT group_concat(%1) FROM (SELECT %1 FROM %2 ORDER BY %1)"_s.arg(column, tail);
}

// A connection of its own to the same database, as another program would have: to the file, or
// on PostgreSQL to the test's database on the server.
class COtherProgram
{
public:
    explicit COtherProgram(const QString& file, const QString& name = u"other-program"_s) : m_name(name)
    {
        if (OnPostgres()) {
            m_open = OpenAdminConnection(m_name, PostgresDatabaseName());
            return;
        }
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
        QSqlQuery query = Query(statement, values);
        if (!query.isActive())
            qWarning("%s: %s", qPrintable(statement), qPrintable(query.lastError().text()));
        return query.isActive();
    }
    QVariant Value(const QString& statement, const QVariantList& values = {})
    {
        QSqlQuery query = Query(statement, values);
        return query.next() ? query.value(0) : QVariant();
    }
    bool IsOpen() const { return m_open; }

    // A rule of the web site's own that refuses one kind of write (event "INSERT" or "UPDATE") to
    // the table's rows for which the condition ("NEW.title = 'x'", "true") holds, failing the
    // statement with the message. AllowWrites takes it away again.
    bool RefuseWrites(const QString& event, const QString& table, const QString& condition,
                      const QString& message)
    {
        if (!OnPostgres())
            return Run(u"CREATE TRIGGER refuse BEFORE %1 ON %2 WHEN %3 "
                       "BEGIN SELECT RAISE(ABORT, '%4'); END"_s.arg(event, table, condition, message));
        return Run(u"CREATE OR REPLACE FUNCTION refuse_write() RETURNS trigger LANGUAGE plpgsql AS "
                   "$$BEGIN RAISE EXCEPTION '%', TG_ARGV[0]; END$$"_s) &&
               Run(u"CREATE TRIGGER refuse BEFORE %1 ON %2 FOR EACH ROW WHEN (%3) "
                   "EXECUTE FUNCTION refuse_write('%4')"_s.arg(event, table, condition, message));
    }
    bool AllowWrites(const QString& table)
    {
        return Run(OnPostgres() ? u"DROP TRIGGER IF EXISTS refuse ON %1"_s.arg(table)
                                : u"DROP TRIGGER IF EXISTS refuse"_s);
    }

private:
    QSqlQuery Query(const QString& statement, const QVariantList& values)
    {
        QSqlQuery query(QSqlDatabase::database(m_name, false));
        if (values.isEmpty()) { // PostgreSQL prepares no ALTER TABLE
            query.exec(statement);
            return query;
        }
        query.prepare(statement);
        for (const QVariant& v : values)
            query.addBindValue(v);
        query.exec();
        return query;
    }

    QString m_name;
    bool m_open = false;
};

// The fixture of a database test: call Reset() from init() for an empty database in a new directory,
// which also holds the database log.
class CFreshDatabase
{
public:
    void Reset()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        UseFreshDatabase(m_dir->path());
    }
    QString Path(const QString& name) const { return m_dir->filePath(name); }
    QString File() const { return Path(u"troveport.db"_s); }
    QByteArray Log() const
    {
        QFile log(Path(u"troveport-db.log"_s));
        return log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

} // namespace DatabaseSupport

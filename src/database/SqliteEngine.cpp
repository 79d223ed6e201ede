#include "database/SqliteEngine.h"

#include "database/CDatabaseManager.h"
#include "database/CDBException.h"
#include "database/CSqliteStatement.h"
#include "database/SqlDialect.h"
#include "database/SqliteSearchIndexes.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QMutex>
#include <QScopeGuard>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QThread>

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

// Reads each row when the cursor stands on it: from a file that costs less than keeping blocks.
class CSqliteRowReader final : public CRowReader
{
public:
    CSqliteRowReader(CDatabaseManager& manager, const QString& table, const QString& keyColumn)
        : m_manager(manager),
          m_rowStatement(QStringLiteral("SELECT * FROM %1 WHERE %2 = ?").arg(table, keyColumn))
    {
    }

    bool Read(const std::vector<qint64>& keys, qint64 position, bool, CRowValues* row) override
    {
        const qint64 key = keys[size_t(position - 1)];
        if (CSqliteStatement* query = m_manager.GetCachedStatement(m_rowStatement)) {
            query->Bind({key});
            const bool found = query->Step();
            if (found) {
                const int columns = query->ColumnCount();
                // The web site may change the table meanwhile; SQLite then prepares the statement anew.
                if (!query->HasColumns(row->rawNames)) {
                    row->rawNames = query->RawColumnNames();
                    row->names = query->ColumnNames();
                }
                row->values.resize(columns);
                for (int i = 0; i < columns; ++i)
                    row->values[i] = query->Value(i);
            }
            query->Reset();
            return found;
        }
        QSqlQuery query(m_manager.GetConnection());
        query.setForwardOnly(true);
        CDatabaseManager::Prepare(query, m_rowStatement);
        query.addBindValue(key);
        CDatabaseManager::Exec(query);
        if (!query.next())
            return false;
        const QSqlRecord record = query.record();
        row->names.clear();
        row->values.clear();
        row->rawNames.clear();
        for (int i = 0; i < record.count(); ++i) {
            row->names.append(record.fieldName(i));
            row->values.append(record.value(i));
        }
        return true;
    }

private:
    CDatabaseManager& m_manager;
    QString m_rowStatement; // reads one row by its key
};

} // namespace

QString CSqliteEngine::DatabaseName(const CDatabaseManager& manager) const
{
    return manager.GetDatabaseFile();
}

QString CSqliteEngine::LogDirectory(const CDatabaseManager& manager) const
{
    return QFileInfo(manager.GetDatabaseFile()).path(); // beside the file
}

QSqlDatabase CSqliteEngine::Open(CDatabaseManager& manager, const QString& name, bool) const
{
    constexpr int kLockWait = CDatabaseManager::kLockWait;
    // Switching a new database to WAL and creating its tables take the file's exclusive lock. Two
    // connections doing so at once may be refused at once instead of waiting (SQLite's way out of
    // a deadlock), so this process's threads take turns, and another program's turn is waited for.
    static QMutex setUpMutex;
    QDeadlineTimer deadline(kLockWait);
    QString error;
    const QString file = manager.GetDatabaseFile();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kLockWait));
        if (db.open()) {
            QMutexLocker setUp(&setUpMutex);
            for (;;) {
                try {
                    QSqlQuery query(db);
                    // Each try waits no longer than the time left.
                    CDatabaseManager::Exec(
                        query, QStringLiteral("PRAGMA busy_timeout=%1")
                                   .arg(qBound(qint64(1), deadline.remainingTime(), qint64(kLockWait))));
                    CDatabaseManager::Exec(query, QStringLiteral("PRAGMA journal_mode=WAL"));
                    CDatabaseManager::Exec(query, QStringLiteral("PRAGMA synchronous=NORMAL"));
                    CDatabaseManager::Exec(query, QStringLiteral("PRAGMA foreign_keys=ON"));
                    // Rows are read one at a time at random places as the list paints: mapping the
                    // file saves a read call per row.
                    CDatabaseManager::Exec(query, QStringLiteral("PRAGMA mmap_size=1073741824"));
                    query.finish();
                    if (manager.CreatesSchema())
                        CreateSchema(manager, db);
                    CDatabaseManager::Exec(query, QStringLiteral("PRAGMA busy_timeout=%1").arg(kLockWait));
                    query.finish();
                    return db;
                } catch (const CDBException& e) {
                    error = e.GetErrorText();
                    if (!error.contains(QLatin1String("locked")) || deadline.hasExpired())
                        break; // not a matter of waiting, or waited long enough
                }
                QThread::msleep(50);
            }
        } else {
            error = CDatabaseManager::ErrorText(db.lastError());
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    throw CDBException(QStringLiteral("Cannot open the database %1: %2").arg(file, error));
}

void CSqliteEngine::CreateSchema(CDatabaseManager&, QSqlDatabase& db) const
{
    QSqlQuery query(db);
    CDatabaseManager::Exec(query, QStringLiteral("PRAGMA user_version"));
    if (query.next() && query.value(0).toInt() >= 1)
        return;
    query.finish();
    // Two programs may create the schema at once; the immediate transaction makes one wait.
    CDatabaseManager::Exec(query, QStringLiteral("BEGIN IMMEDIATE"));
    try {
        for (const char* statement : kSchema)
            CDatabaseManager::Exec(query, QString::fromUtf8(statement));
        for (const QString& statement : SqliteSearchIndexStatements())
            CDatabaseManager::Exec(query, statement);
        CDatabaseManager::Exec(query, QStringLiteral("PRAGMA user_version = 1"));
        CDatabaseManager::Exec(query, QStringLiteral("COMMIT"));
    } catch (const CDBException&) {
        query.exec(QStringLiteral("ROLLBACK"));
        throw;
    }
}

bool CSqliteEngine::InTransaction(const QSqlDatabase& db) const
{
    sqlite3* handle = SqliteHandle(db);
    return handle && !SqliteAutocommit(handle);
}

void CSqliteEngine::Run(CDatabaseManager& manager, const QString& statement, const QVariantList& values,
                        QVariantList* firstColumn) const
{
    if (CSqliteStatement* cached = manager.GetCachedStatement(statement)) {
        // Reset on every way out: a statement left mid-way would keep its read open.
        const auto reset = qScopeGuard([cached] { cached->Reset(); });
        cached->Bind(values);
        while (cached->Step()) {
            if (firstColumn)
                firstColumn->append(cached->Value(0));
        }
        return;
    }
    manager.ForEachRow(statement, values, [firstColumn](const QSqlQuery& row) {
        if (firstColumn)
            firstColumn->append(row.value(0));
    });
}

void CSqliteEngine::ForEachRow(CDatabaseManager&, QSqlDatabase& db, const QString& statement,
                               const QVariantList& values,
                               const std::function<void(const QSqlQuery&)>& row) const
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    CDatabaseManager::Prepare(query, statement);
    for (const QVariant& value : values)
        query.addBindValue(value);
    CDatabaseManager::Exec(query);
    while (query.next())
        row(query);
}

void CSqliteEngine::ForEachKey(CDatabaseManager& manager, const QString& keyStatement,
                               const QVariantList& values, const std::function<bool(qint64)>& key) const
{
    const QString statement = SqliteSearchStatement(manager, keyStatement);
    if (sqlite3* handle = SqliteHandle(manager.GetConnection())) {
        CSqliteStatement query(handle, statement);
        query.Bind(values);
        while (query.Step() && key(query.Int64(0))) {
        }
        return;
    }
    bool more = true;
    manager.ForEachRow(statement, values, [&](const QSqlQuery& row) {
        if (more)
            more = key(row.value(0).toLongLong());
    });
}

std::unique_ptr<CRowReader> CSqliteEngine::NewRowReader(CDatabaseManager& manager, const QString& table,
                                                        const QString& keyColumn) const
{
    return std::make_unique<CSqliteRowReader>(manager, table, keyColumn);
}

QString CSqliteEngine::KeyStatement(const QString& statement, const QString& table,
                                    const QString& keyColumn) const
{
    const auto selection = SelectKeys(statement, table, keyColumn);
    if (!selection)
        return QString();
    if (!selection->keyOnly)
        return QStringLiteral("SELECT %1 FROM (%2)").arg(keyColumn, selection->sql);
    // Rows that sort alike (the same title) come in the order of their keys, whichever way SQLite
    // reads them: a search answered from the indexes lists them as one that reads every row.
    const qsizetype orderAt = FindKeyword(selection->sql, QLatin1String("order"));
    if (orderAt < 0 || !QStringView(selection->sql)
                            .mid(orderAt + 5)
                            .trimmed()
                            .startsWith(QLatin1String("by"), Qt::CaseInsensitive))
        return selection->sql;
    return selection->sql + QStringLiteral(", %1.%2").arg(table, keyColumn);
}

void CSqliteEngine::CatchUpSearchIndexes(CDatabaseManager& manager) const
{
    try {
        if (SqliteSearchIndexesPresent(manager))
            SqliteCatchUpSearchIndexes(manager, 0, false);
    } catch (const CDBException& e) {
        manager.LogError(e.GetErrorText());
    }
}

void CSqliteEngine::SetSearchIndexes(CDatabaseManager& manager, bool on,
                                     const std::function<void(int percent)>& progress) const
{
    // The web site's writes wait meanwhile, so that none is missed between the fill and the triggers.
    manager.Run(QStringLiteral("BEGIN IMMEDIATE"));
    try {
        for (const QString& statement : SqliteDropSearchIndexStatements())
            manager.Run(statement);
        if (on) {
            for (const QString& statement : SqliteSearchIndexStatements())
                manager.Run(statement);
            FillSqliteSearchIndexes(manager, progress);
        }
        manager.Run(QStringLiteral("COMMIT"));
    } catch (const CDBException&) {
        if (manager.InTransaction())
            manager.Run(QStringLiteral("ROLLBACK"));
        throw;
    }
}

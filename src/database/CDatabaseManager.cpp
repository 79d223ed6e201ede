#include "database/CDatabaseManager.h"

#include "database/CDBException.h"
#include "database/CRecordSet.h"
#include "database/CSqliteStatement.h"
#include "database/PostgresConnection.h"
#include "files/PathUtils.h"
#include "files/SafeFormat.h"
#include "settings/Globals.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QScopeGuard>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QThreadStorage>

#include <cstdio>
#include <fcntl.h>
#include <map>
#include <memory>
#include <unistd.h>

namespace {

CRecursiveLockManager g_defaultLock;

// The connections one thread opened, by manager, with the SQLite statements prepared on them;
// the statements are finalised before their connection closes, when the thread ends at the latest.
class CThreadConnections
{
public:
    struct Entry
    {
        QString name;
        int generation = 0;
        QSqlDatabase db; // kept, so that each row read finds its connection without a name lookup
        std::map<QString, std::unique_ptr<CSqliteStatement>> statements;
        std::map<QString, std::unique_ptr<QSqlQuery>> queries; // prepared on a server, for Run
        QString lost; // why the server cannot be reached, until Reconnect
    };

    ~CThreadConnections()
    {
        for (auto& [manager, entry] : m_entries)
            Close(entry);
    }

    Entry* Find(const CDatabaseManager* manager)
    {
        const auto it = m_entries.find(manager);
        return it == m_entries.end() ? nullptr : &it->second;
    }
    void Set(const CDatabaseManager* manager, const QString& name, int generation, const QSqlDatabase& db)
    {
        Entry& entry = m_entries[manager];
        entry.name = name;
        entry.generation = generation;
        entry.db = db;
        entry.lost.clear();
    }
    void SetLost(const CDatabaseManager* manager, int generation, const QString& error)
    {
        Drop(manager);
        Entry& entry = m_entries[manager];
        entry.generation = generation;
        entry.lost = error;
    }
    void Drop(const CDatabaseManager* manager)
    {
        const auto it = m_entries.find(manager);
        if (it == m_entries.end())
            return;
        Close(it->second);
        m_entries.erase(it);
    }

private:
    static void Close(Entry& entry)
    {
        entry.statements.clear();
        entry.queries.clear();
        entry.db.close();
        entry.db = QSqlDatabase();
        if (!entry.name.isEmpty())
            QSqlDatabase::removeDatabase(entry.name);
    }

    std::map<const CDatabaseManager*, Entry> m_entries;
};

QThreadStorage<CThreadConnections*> g_threadConnections;

CThreadConnections& ThreadConnections()
{
    if (!g_threadConnections.hasLocalData())
        g_threadConnections.setLocalData(new CThreadConnections);
    return *g_threadConnections.localData();
}

QString ErrorText(const QSqlError& error)
{
    const QString text = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    // One line: libpq's messages run over several, which a status bar would cut.
    const QString line = text.isEmpty() ? QStringLiteral("Unknown database error") : text.simplified();
    // SQLite's SQLITE_BUSY (with any extended code), PostgreSQL's lock_not_available.
    const QString code = error.nativeErrorCode();
    bool number = false;
    const int sqliteCode = code.toInt(&number);
    if ((number && (sqliteCode & 0xff) == 5) || code == QLatin1String("55P03"))
        return CDatabaseManager::LockWaitText(line);
    return line;
}

std::atomic<qint64> g_statementsSent{0};
std::atomic<qint64> g_writes{0};

bool IsWindowThread()
{
    return QCoreApplication::instance() && QThread::currentThread() == QCoreApplication::instance()->thread();
}

// Statements PostgreSQL can prepare; others (SAVEPOINT, BEGIN, SET) are sent as they are.
bool IsPreparable(const QString& statement)
{
    static const QLatin1String kinds[] = {QLatin1String("SELECT"), QLatin1String("INSERT"),
                                          QLatin1String("UPDATE"), QLatin1String("DELETE"),
                                          QLatin1String("WITH")};
    const QString start = statement.trimmed().left(6);
    for (const QLatin1String& kind : kinds) {
        if (start.startsWith(kind, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

} // namespace

CLockManager* CDatabaseManager::DatabaseLock = &g_defaultLock;

CDatabaseManager::CDatabaseManager(bool createSchema) : m_createSchema(createSchema) {}

CDatabaseManager::~CDatabaseManager() = default;

void CDatabaseManager::SetDatabaseFile(const QString& fileName)
{
    QMutexLocker lock(&m_mutex);
    m_databaseFile = fileName;
    m_connection.reset(); // a server chosen before no longer applies
    ++m_generation;
}

QString CDatabaseManager::GetDatabaseFile() const
{
    QMutexLocker lock(&m_mutex);
    return m_databaseFile.isEmpty() ? MakePath(g_strDatabasePath, QStringLiteral("troveport.db"))
                                    : m_databaseFile;
}

void CDatabaseManager::SetDatabaseConnection(const QString& uri)
{
    QMutexLocker lock(&m_mutex);
    m_connection = uri.trimmed();
    ++m_generation;
}

QString CDatabaseManager::GetDatabaseConnection() const
{
    QMutexLocker lock(&m_mutex);
    if (m_connection)
        return *m_connection;
    return m_databaseFile.isEmpty() ? g_strDatabaseConnection : QString();
}

SqlEngine CDatabaseManager::GetEngine() const
{
    return GetDatabaseConnection().isEmpty() ? SqlEngine::Sqlite : SqlEngine::Postgres;
}

QString CDatabaseManager::GetDatabaseName() const
{
    const QString uri = GetDatabaseConnection();
    return uri.isEmpty() ? GetDatabaseFile() : DisplayPostgresUri(uri);
}

QSqlDatabase CDatabaseManager::GetConnection()
{
    const int generation = m_generation;
    CThreadConnections& connections = ThreadConnections();
    if (const auto* entry = connections.Find(this); entry && entry->generation == generation) {
        if (!entry->lost.isEmpty())
            throw CDBException(entry->lost);
        if (entry->db.isOpen() && !PostgresConnectionLost(entry->db))
            return entry->db;
        if (GetEngine() == SqlEngine::Postgres) {
            // The server went away (Qt's driver closes the connection then): say so until the user
            // refreshes, without waiting for the server again on every row.
            const QString lost =
                SafeFormat(u"The connection to the database server was lost (%s). Refresh to connect again.",
                           GetDatabaseName());
            connections.SetLost(this, generation, lost);
            throw CDBException(lost);
        }
    }
    connections.Drop(this);
    const QString name = QStringLiteral("troveport-%1-%2-%3")
                             .arg(quintptr(this), 0, 16)
                             .arg(quintptr(QThread::currentThread()), 0, 16)
                             .arg(generation);
    try {
        QSqlDatabase db = OpenConnection(name);
        connections.Set(this, name, generation, db);
        return db;
    } catch (const CDBException& e) {
        // A server that cannot be reached is not tried again on every row the window paints.
        if (GetEngine() == SqlEngine::Postgres)
            connections.SetLost(this, generation, e.GetErrorText());
        throw;
    }
}

void CDatabaseManager::Reconnect()
{
    if (!g_threadConnections.hasLocalData())
        return;
    CThreadConnections& connections = *g_threadConnections.localData();
    if (const auto* entry = connections.Find(this);
        entry && (!entry->lost.isEmpty() || !entry->db.isOpen() || PostgresConnectionEnded(entry->db)))
        connections.Drop(this);
}

bool CDatabaseManager::InTransaction()
{
    QSqlDatabase db = GetConnection();
    if (sqlite3* handle = SqliteHandle(db))
        return !SqliteAutocommit(handle);
    return PostgresInTransaction(db);
}

bool CDatabaseManager::TransactionFailed()
{
    try {
        return PostgresTransactionFailed(GetConnection());
    } catch (const CDBException&) {
        return true; // the server went away with the transaction
    }
}

qint64 CDatabaseManager::StatementsSent()
{
    return g_statementsSent;
}

void CDatabaseManager::NoteWrite()
{
    ++g_writes;
}

qint64 CDatabaseManager::Writes()
{
    return g_writes;
}

CSqliteStatement* CDatabaseManager::GetCachedStatement(const QString& statement)
{
    QSqlDatabase db = GetConnection();
    sqlite3* handle = SqliteHandle(db);
    if (!handle)
        return nullptr;
    auto& statements = ThreadConnections().Find(this)->statements;
    auto& cached = statements[statement];
    if (!cached)
        cached = std::make_unique<CSqliteStatement>(handle, statement);
    return cached.get();
}

void CDatabaseManager::Run(const QString& statement, const QVariantList& values, QVariantList* firstColumn)
{
    if (!statement.startsWith(QLatin1String("SELECT"), Qt::CaseInsensitive))
        NoteWrite();
    if (CSqliteStatement* cached = GetCachedStatement(statement)) {
        // Reset on every way out: a statement left mid-way would keep its read open.
        const auto reset = qScopeGuard([cached] { cached->Reset(); });
        cached->Bind(values);
        while (cached->Step()) {
            if (firstColumn)
                firstColumn->append(cached->Value(0));
        }
        return;
    }
    ForEachRow(statement, values, [firstColumn](const QSqlQuery& row) {
        if (firstColumn)
            firstColumn->append(row.value(0));
    });
}

void CDatabaseManager::ForEachRow(const QString& statement, const QVariantList& values,
                                  const std::function<void(const QSqlQuery&)>& row)
{
    QSqlDatabase db = GetConnection();
    if (GetEngine() != SqlEngine::Postgres) {
        QSqlQuery query(db);
        query.setForwardOnly(true);
        Prepare(query, statement);
        for (const QVariant& value : values)
            query.addBindValue(value);
        Exec(query);
        while (query.next())
            row(query);
        return;
    }
    // A failed statement spoils a PostgreSQL transaction whole, where SQLite takes back only the
    // statement: inside one, each statement gets a savepoint of its own, so a failure means the same
    // on both.
    const bool guarded = IsPreparable(statement) && PostgresInTransaction(db);
    QSqlQuery plain(db);
    if (guarded)
        Exec(plain, QStringLiteral("SAVEPOINT troveport_statement"));
    try {
        // Results are read whole, not forward-only: Qt's driver would leave a forward-only
        // statement open in libpq, and reading a result whole is also quicker.
        QSqlQuery* query = &plain;
        if (IsPreparable(statement) && !values.isEmpty()) {
            // Prepared once per connection: a statement run once per file is parsed once, and runs
            // in one round trip. One without parameters (a search) is sent as it is, also in one.
            auto& cached = ThreadConnections().Find(this)->queries[statement];
            if (!cached) {
                auto prepared = std::make_unique<QSqlQuery>(db);
                Prepare(*prepared, statement);
                cached = std::move(prepared);
            }
            query = cached.get();
            for (qsizetype i = 0; i < values.size(); ++i)
                query->bindValue(int(i), values[i]);
            Exec(*query);
        } else {
            Exec(plain, statement);
        }
        while (query->next())
            row(*query);
        query->finish();
        if (guarded)
            Exec(plain, QStringLiteral("RELEASE troveport_statement"));
    } catch (const CDBException&) {
        if (guarded && !PostgresConnectionLost(db)) {
            QSqlQuery undo(db);
            undo.exec(QStringLiteral("ROLLBACK TO troveport_statement"));
            undo.exec(QStringLiteral("RELEASE troveport_statement"));
        }
        throw;
    }
}

void CDatabaseManager::CloseConnection()
{
    if (g_threadConnections.hasLocalData())
        g_threadConnections.localData()->Drop(this);
}

QSqlDatabase CDatabaseManager::OpenConnection(const QString& name)
{
    // The window must not freeze while another program holds the database or the server does not
    // answer: a lock is waited for kLockWait at most, and then the use fails (logged, the list
    // stays empty). Workers may wait longer for a server to answer.
    return GetEngine() == SqlEngine::Postgres ? OpenPostgres(name, IsWindowThread()) : OpenSqlite(name);
}

QSqlDatabase CDatabaseManager::OpenPostgres(const QString& name, bool windowThread)
{
    QString error;
    PostgresParameters parameters;
    if (ParsePostgresUri(GetDatabaseConnection(),
                         (windowThread ? kWindowThreadConnectTimeout : kWorkerConnectTimeout) / 1000, &parameters,
                         &error)) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        if (!db.isValid()) {
            error = QStringLiteral("Qt's PostgreSQL driver is not installed (Debian: libqt6sql6-psql).");
        } else {
            db.setHostName(parameters.host);
            db.setPort(parameters.port);
            db.setUserName(parameters.user);
            db.setDatabaseName(parameters.database);
            db.setConnectOptions(parameters.options);
            ++g_statementsSent;
            if (db.open()) {
                try {
                    QSqlQuery query(db);
                    // A row another program keeps locked is waited for as long as an SQLite lock.
                    Exec(query, QStringLiteral("SET lock_timeout = %1").arg(kLockWait));
                    // "Already exists, skipping" and the like are not for the log.
                    Exec(query, QStringLiteral("SET client_min_messages = warning"));
                    if (m_createSchema)
                        CreateSchema(db);
                    return db;
                } catch (const CDBException& e) {
                    error = e.GetErrorText();
                }
            } else {
                error = ErrorText(db.lastError());
            }
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    throw CDBException(SafeFormat(u"Cannot open the database %s: %s", GetDatabaseName(), error));
}

QSqlDatabase CDatabaseManager::OpenSqlite(const QString& name)
{
    // Switching a new database to WAL and creating its tables take the file's exclusive lock. Two
    // connections doing so at once may be refused at once instead of waiting (SQLite's way out of
    // a deadlock), so this process's threads take turns, and another program's turn is waited for.
    static QMutex setUpMutex;
    QDeadlineTimer deadline(kLockWait);
    QString error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(GetDatabaseFile());
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kLockWait));
        if (db.open()) {
            QMutexLocker setUp(&setUpMutex);
            for (;;) {
                try {
                    QSqlQuery query(db);
                    // Each try waits no longer than the time left.
                    Exec(query, QStringLiteral("PRAGMA busy_timeout=%1")
                                    .arg(qBound(qint64(1), deadline.remainingTime(), qint64(kLockWait))));
                    Exec(query, QStringLiteral("PRAGMA journal_mode=WAL"));
                    Exec(query, QStringLiteral("PRAGMA synchronous=NORMAL"));
                    Exec(query, QStringLiteral("PRAGMA foreign_keys=ON"));
                    // Rows are read one at a time at random places as the list paints: mapping the
                    // file saves a read call per row.
                    Exec(query, QStringLiteral("PRAGMA mmap_size=1073741824"));
                    query.finish();
                    if (m_createSchema)
                        CreateSchema(db);
                    Exec(query, QStringLiteral("PRAGMA busy_timeout=%1").arg(kLockWait));
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
            error = ErrorText(db.lastError());
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    throw CDBException(QStringLiteral("Cannot open the database %1: %2").arg(GetDatabaseFile(), error));
}

QString CDatabaseManager::LockWaitText(const QString& databaseText)
{
    return SafeFormat(u"%s (another program, such as the web site, kept the database locked for more than %d "
                      u"seconds)",
                      databaseText, kLockWait / 1000);
}

void CDatabaseManager::LogError(const QString& text)
{
    {
        QMutexLocker lock(&m_mutex);
        m_lastError = text;
    }
    const QString line = QDateTime::currentDateTime().toString(Qt::ISODate) + QLatin1Char(' ') +
                         QString(text).replace(QLatin1Char('\n'), QLatin1Char(' ')) + QLatin1Char('\n');
    const QByteArray bytes = line.toUtf8();
    std::fputs(bytes.constData(), stderr);
    // Beside the SQLite file, or with the library's other files when the database is a server.
    const QString logFile =
        MakePath(GetEngine() == SqlEngine::Postgres ? g_strDatabasePath : QFileInfo(GetDatabaseFile()).path(),
                 QStringLiteral("troveport-db.log"));
    // One write per line on an append-only descriptor, so lines from several threads never mix.
    const int fd =
        ::open(QFile::encodeName(logFile).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd >= 0) {
        [[maybe_unused]] const ssize_t written = ::write(fd, bytes.constData(), size_t(bytes.size()));
        ::close(fd);
    }
}

QString CDatabaseManager::TakeLastError()
{
    QMutexLocker lock(&m_mutex);
    return std::exchange(m_lastError, QString());
}

std::optional<qint64> CDatabaseManager::GetFileKey(double fileId)
{
    const auto key = KeyFromDouble(fileId);
    if (!key)
        LogError(SafeFormat(u"The file id %.0f cannot be told apart from others and is not used.", fileId));
    return key;
}

void CDatabaseManager::Exec(QSqlQuery& query)
{
    ++g_statementsSent;
    if (!query.exec())
        throw CDBException(ErrorText(query.lastError()));
}

void CDatabaseManager::Exec(QSqlQuery& query, const QString& statement)
{
    ++g_statementsSent;
    if (!query.exec(statement))
        throw CDBException(ErrorText(query.lastError()));
}

void CDatabaseManager::Prepare(QSqlQuery& query, const QString& statement)
{
    // Preparing is a round trip of its own on a server; SQLite prepares in the process.
    if (query.driver() && query.driver()->dbmsType() == QSqlDriver::PostgreSQL)
        ++g_statementsSent;
    if (!query.prepare(statement))
        throw CDBException(ErrorText(query.lastError()));
}

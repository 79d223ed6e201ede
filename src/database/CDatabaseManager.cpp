#include "database/CDatabaseManager.h"

#include "database/CDBException.h"
#include "database/CRecordSet.h"
#include "database/CSqliteStatement.h"
#include "files/PathUtils.h"
#include "files/SafeFormat.h"
#include "settings/Globals.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
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
        const CDatabaseEngine* engine = nullptr; // the engine the connection was opened by
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
    void Set(const CDatabaseManager* manager, const QString& name, int generation, const QSqlDatabase& db,
             const CDatabaseEngine& engine)
    {
        Entry& entry = m_entries[manager];
        entry.name = name;
        entry.generation = generation;
        entry.engine = &engine;
        entry.db = db;
        entry.lost.clear();
    }
    void SetLost(const CDatabaseManager* manager, int generation, const QString& error,
                 const CDatabaseEngine& engine)
    {
        Drop(manager);
        Entry& entry = m_entries[manager];
        entry.generation = generation;
        entry.engine = &engine;
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

std::atomic<qint64> g_statementsSent{0};
std::atomic<qint64> g_writes{0};

bool IsWindowThread()
{
    return QCoreApplication::instance() && QThread::currentThread() == QCoreApplication::instance()->thread();
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
    m_engine = &CDatabaseEngine::For(QString());
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
    m_engine = &CDatabaseEngine::For(*m_connection);
    ++m_generation;
}

QString CDatabaseManager::GetDatabaseConnection() const
{
    QMutexLocker lock(&m_mutex);
    return ConnectionLocked();
}

QString CDatabaseManager::ConnectionLocked() const
{
    if (m_connection)
        return *m_connection;
    return m_databaseFile.isEmpty() ? g_strDatabaseConnection : QString();
}

const CDatabaseEngine& CDatabaseManager::Engine() const
{
    QMutexLocker lock(&m_mutex);
    if (!m_engine)
        m_engine = &CDatabaseEngine::For(ConnectionLocked());
    return *m_engine;
}

QString CDatabaseManager::GetDatabaseName() const
{
    return Engine().DatabaseName(*this);
}

QSqlDatabase CDatabaseManager::GetConnection()
{
    const int generation = m_generation;
    CThreadConnections& connections = ThreadConnections();
    if (const auto* entry = connections.Find(this); entry && entry->generation == generation) {
        if (!entry->lost.isEmpty())
            throw CDBException(entry->lost);
        if (entry->db.isOpen() && !entry->engine->ConnectionLost(entry->db))
            return entry->db;
        // A server that went away (Qt's driver closes the connection then) is said to be gone until
        // the user refreshes, without waiting for it again on every row; a file is opened again.
        if (const QString lost = entry->engine->LostConnectionText(GetDatabaseName()); !lost.isEmpty()) {
            connections.SetLost(this, generation, lost, *entry->engine);
            throw CDBException(lost);
        }
    }
    connections.Drop(this);
    const QString name = QStringLiteral("troveport-%1-%2-%3")
                             .arg(quintptr(this), 0, 16)
                             .arg(quintptr(QThread::currentThread()), 0, 16)
                             .arg(generation);
    const CDatabaseEngine& engine = Engine();
    try {
        // The window must not freeze while another program holds the database or the server does
        // not answer: a lock is waited for kLockWait at most, and then the use fails (logged, the
        // list stays empty). Workers may wait longer for a server to answer.
        QSqlDatabase db = engine.Open(*this, name, IsWindowThread());
        connections.Set(this, name, generation, db, engine);
        return db;
    } catch (const CDBException& e) {
        // A server that cannot be reached is not tried again on every row the window paints.
        if (engine.KeepsOpenFailures())
            connections.SetLost(this, generation, e.GetErrorText(), engine);
        throw;
    }
}

void CDatabaseManager::Reconnect()
{
    if (!g_threadConnections.hasLocalData())
        return;
    CThreadConnections& connections = *g_threadConnections.localData();
    if (const auto* entry = connections.Find(this);
        entry && (!entry->lost.isEmpty() || !entry->db.isOpen() || entry->engine->ConnectionEnded(entry->db)))
        connections.Drop(this);
}

bool CDatabaseManager::InTransaction()
{
    return Engine().InTransaction(GetConnection());
}

bool CDatabaseManager::TransactionFailed()
{
    try {
        return Engine().TransactionFailed(GetConnection());
    } catch (const CDBException&) {
        return true; // the server went away with the transaction
    }
}

qint64 CDatabaseManager::StatementsSent()
{
    return g_statementsSent;
}

void CDatabaseManager::NoteStatementSent()
{
    ++g_statementsSent;
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

QSqlQuery& CDatabaseManager::GetCachedQuery(const QString& statement)
{
    QSqlDatabase db = GetConnection();
    auto& cached = ThreadConnections().Find(this)->queries[statement];
    if (!cached) {
        auto prepared = std::make_unique<QSqlQuery>(db);
        Prepare(*prepared, statement);
        cached = std::move(prepared);
    }
    return *cached;
}

void CDatabaseManager::Run(const QString& statement, const QVariantList& values, QVariantList* firstColumn)
{
    if (!statement.startsWith(QLatin1String("SELECT"), Qt::CaseInsensitive))
        NoteWrite();
    Engine().Run(*this, statement, values, firstColumn);
}

void CDatabaseManager::ForEachRow(const QString& statement, const QVariantList& values,
                                  const std::function<void(const QSqlQuery&)>& row)
{
    QSqlDatabase db = GetConnection();
    Engine().ForEachRow(*this, db, statement, values, row);
}

void CDatabaseManager::CloseConnection()
{
    if (g_threadConnections.hasLocalData())
        g_threadConnections.localData()->Drop(this);
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
    const QString logFile = MakePath(Engine().LogDirectory(*this), QStringLiteral("troveport-db.log"));
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

QString CDatabaseManager::ErrorText(const QSqlError& error)
{
    const QString text = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    // One line: libpq's messages run over several, which a status bar would cut.
    const QString line = text.isEmpty() ? QStringLiteral("Unknown database error") : text.simplified();
    // SQLite's SQLITE_BUSY (with any extended code), PostgreSQL's lock_not_available.
    const QString code = error.nativeErrorCode();
    bool number = false;
    const int sqliteCode = code.toInt(&number);
    if ((number && (sqliteCode & 0xff) == 5) || code == QLatin1String("55P03"))
        return LockWaitText(line);
    return line;
}

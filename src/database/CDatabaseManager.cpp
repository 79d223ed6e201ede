#include "database/CDatabaseManager.h"

#include "adding/PathUtils.h"
#include "database/CDBException.h"
#include "database/CRecordSet.h"
#include "database/CSqliteStatement.h"
#include "startup/Globals.h"
#include "startup/SafeFormat.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSqlError>
#include <QScopeGuard>
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
        entry.db.close();
        entry.db = QSqlDatabase();
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
    return text.isEmpty() ? QStringLiteral("Unknown database error") : text;
}

} // namespace

CLockManager* CDatabaseManager::DatabaseLock = &g_defaultLock;

CDatabaseManager::CDatabaseManager(bool createSchema) : m_createSchema(createSchema) {}

CDatabaseManager::~CDatabaseManager() = default;

void CDatabaseManager::SetDatabaseFile(const QString& fileName)
{
    QMutexLocker lock(&m_mutex);
    m_databaseFile = fileName;
    ++m_generation;
}

QString CDatabaseManager::GetDatabaseFile() const
{
    QMutexLocker lock(&m_mutex);
    return m_databaseFile.isEmpty() ? MakePath(g_strDatabasePath, QStringLiteral("troveport.db"))
                                    : m_databaseFile;
}

QSqlDatabase CDatabaseManager::GetConnection()
{
    const int generation = m_generation;
    CThreadConnections& connections = ThreadConnections();
    if (const auto* entry = connections.Find(this);
        entry && entry->generation == generation && entry->db.isOpen())
        return entry->db;
    connections.Drop(this);
    const QString name = QStringLiteral("troveport-%1-%2-%3")
                             .arg(quintptr(this), 0, 16)
                             .arg(quintptr(QThread::currentThread()), 0, 16)
                             .arg(generation);
    QSqlDatabase db = OpenConnection(name);
    connections.Set(this, name, generation, db);
    return db;
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

qint64 CDatabaseManager::Run(const QString& statement, const QVariantList& values, QVariantList* firstColumn)
{
    if (CSqliteStatement* cached = GetCachedStatement(statement)) {
        // Reset on every way out: a statement left mid-way would keep its read open.
        const auto reset = qScopeGuard([cached] { cached->Reset(); });
        cached->Bind(values);
        while (cached->Step()) {
            if (firstColumn)
                firstColumn->append(cached->Value(0));
        }
        return cached->LastInsertRowId();
    }
    QSqlQuery query(GetConnection());
    query.setForwardOnly(true);
    Prepare(query, statement);
    for (const QVariant& value : values)
        query.addBindValue(value);
    Exec(query);
    while (firstColumn && query.next())
        firstColumn->append(query.value(0));
    return query.lastInsertId().toLongLong();
}

void CDatabaseManager::CloseConnection()
{
    if (g_threadConnections.hasLocalData())
        g_threadConnections.localData()->Drop(this);
}

QSqlDatabase CDatabaseManager::OpenConnection(const QString& name)
{
    // Switching a new database to WAL and creating its tables take the file's exclusive lock. Two
    // connections doing so at once may be refused at once instead of waiting (SQLite's way out of
    // a deadlock), so this process's threads take turns, and another program's turn is waited for.
    static QMutex setUpMutex;
    // The window must not freeze while another program holds the database: its thread waits a few
    // seconds at most and then fails (logged, the list stays empty). Workers may wait longer.
    const bool windowThread =
        QCoreApplication::instance() && QThread::currentThread() == QCoreApplication::instance()->thread();
    const int busyTimeout = windowThread ? kWindowThreadBusyTimeout : kWorkerBusyTimeout;
    QDeadlineTimer deadline(windowThread ? kWindowThreadOpenTimeout : kWorkerOpenTimeout);
    QString error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(GetDatabaseFile());
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeout));
        if (db.open()) {
            QMutexLocker setUp(&setUpMutex);
            for (;;) {
                try {
                    QSqlQuery query(db);
                    // Each try waits no longer than the time left.
                    Exec(query, QStringLiteral("PRAGMA busy_timeout=%1")
                                    .arg(qBound(qint64(1), deadline.remainingTime(), qint64(busyTimeout))));
                    Exec(query, QStringLiteral("PRAGMA journal_mode=WAL"));
                    Exec(query, QStringLiteral("PRAGMA synchronous=NORMAL"));
                    Exec(query, QStringLiteral("PRAGMA foreign_keys=ON"));
                    // Rows are read one at a time at random places as the list paints: mapping the
                    // file saves a read call per row.
                    Exec(query, QStringLiteral("PRAGMA mmap_size=1073741824"));
                    query.finish();
                    if (m_createSchema)
                        CreateSchema(db);
                    Exec(query, QStringLiteral("PRAGMA busy_timeout=%1").arg(busyTimeout));
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
    const QString logFile = MakePath(QFileInfo(GetDatabaseFile()).path(), QStringLiteral("troveport-db.log"));
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
    if (!query.exec())
        throw CDBException(ErrorText(query.lastError()));
}

void CDatabaseManager::Exec(QSqlQuery& query, const QString& statement)
{
    if (!query.exec(statement))
        throw CDBException(ErrorText(query.lastError()));
}

void CDatabaseManager::Prepare(QSqlQuery& query, const QString& statement)
{
    if (!query.prepare(statement))
        throw CDBException(ErrorText(query.lastError()));
}

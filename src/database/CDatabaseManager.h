#pragma once

#include "database/CLockManager.h"
#include "database/DatabaseEngine.h"

#include <QMutex>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>

#include <atomic>
#include <functional>
#include <optional>

class QSqlError;
class QSqlQuery;
class CSqliteStatement;

// Owns the way to the database: one connection per thread (Qt connections belong to the thread
// that opened them), opened on first use. The database is either an SQLite file, in WAL mode with a
// busy timeout so that the web site can read and write while the explorer runs, or a PostgreSQL
// server named by a connection URI, for a web site on another machine; its engine object
// (CDatabaseEngine) answers whatever differs between the two.
class CDatabaseManager
{
public:
    // The lock around edits of existing rows, read at every acquisition.
    static CLockManager* DatabaseLock;
    // Milliseconds any statement, on any thread and either engine, waits for a lock another
    // program (the web site) holds before it fails with the reason. The one figure the site's
    // developers are given (docs/database.md): keep write transactions well under it.
    static constexpr int kLockWait = 5000;
    // The database's words for a statement that gave up waiting for such a lock, with what they
    // mean to whoever reads them in a message or the log.
    static QString LockWaitText(const QString& databaseText);

    // createSchema: the library's tables are made when the database is new.
    explicit CDatabaseManager(bool createSchema);
    virtual ~CDatabaseManager();
    CDatabaseManager(const CDatabaseManager&) = delete;
    CDatabaseManager& operator=(const CDatabaseManager&) = delete;

    // The SQLite database file; until set, "troveport.db" in the database directory of the
    // settings. Setting it chooses SQLite whatever the settings say.
    void SetDatabaseFile(const QString& fileName);
    QString GetDatabaseFile() const;
    // A PostgreSQL connection URI, or empty for the SQLite file; until set, the machine setting
    // DatabaseConnection.
    void SetDatabaseConnection(const QString& uri);
    QString GetDatabaseConnection() const;
    // The engine of the database: chosen when the database is named (SetDatabaseFile,
    // SetDatabaseConnection), or from the machine setting on first use, and kept until it is named
    // anew.
    const CDatabaseEngine& Engine() const;
    bool CreatesSchema() const { return m_createSchema; }
    // The database as messages name it: the file, or the URI.
    QString GetDatabaseName() const;

    // The calling thread's open connection. Throws CDBException when the database cannot be opened.
    QSqlDatabase GetConnection();
    // A statement prepared once on the calling thread's connection and kept until the connection
    // closes; null when the database is not SQLite. Whoever steps it resets it before returning.
    CSqliteStatement* GetCachedStatement(const QString& statement);
    // A query prepared once on the calling thread's connection and kept until the connection closes.
    QSqlQuery& GetCachedQuery(const QString& statement);
    // Runs a statement with the values bound to its parameters in order, prepared once per thread
    // where the database allows: a statement run once per file costs its parsing only once. Appends
    // the first column of each row to firstColumn when given (a new row's key comes back through
    // INSERT ... RETURNING, which both engines understand). Throws CDBException.
    void Run(const QString& statement, const QVariantList& values = {}, QVariantList* firstColumn = nullptr);
    // Runs a statement as Run does and hands each row of its result to row, through Qt's driver.
    void ForEachRow(const QString& statement, const QVariantList& values,
                    const std::function<void(const QSqlQuery&)>& row);
    // Closes the calling thread's connection (threads' connections also close when they end).
    void CloseConnection();
    // A connection to a server that was lost, or that could not be opened, stays so on its thread:
    // each later use fails at once with the same message instead of waiting for the server again.
    // This lets the next use open a new one, as it does when the server ended the session meanwhile;
    // the window calls it when the user refreshes.
    void Reconnect();
    // True inside a transaction the calling thread's connection started.
    bool InTransaction();
    // True when that transaction failed on PostgreSQL, where a COMMIT then quietly takes it back.
    bool TransactionFailed();
    // Statements sent to the database by this process so far: with PostgreSQL, round trips.
    static qint64 StatementsSent();
    // Counts a round trip made otherwise than through Exec or Prepare (connecting to a server).
    static void NoteStatementSent();
    // Counts the writes this process makes, so that rows kept from before are read again.
    static void NoteWrite();
    static qint64 Writes();

    // Appends a time-stamped line to "troveport-db.log" beside the database and writes it to
    // standard error.
    virtual void LogError(const QString& text);
    // The text of the latest error logged since the last call, or an empty string: what the window
    // shows of a failed read.
    QString TakeLastError();
    // The row key a file id stands for; none, logged, when the id is not one exactly (a fraction,
    // or beyond what a double holds exactly), so that no other file is ever acted on.
    std::optional<qint64> GetFileKey(double fileId);

    // Runs a prepared or plain query; throws CDBException with the database's text on failure.
    static void Exec(QSqlQuery& query);
    static void Exec(QSqlQuery& query, const QString& statement);
    static void Prepare(QSqlQuery& query, const QString& statement);
    // The database's text of an error, on one line, with what a lock wait means.
    static QString ErrorText(const QSqlError& error);

private:
    QString ConnectionLocked() const;

    const bool m_createSchema;
    mutable QMutex m_mutex;
    QString m_databaseFile;
    std::optional<QString> m_connection;               // unset: the machine setting
    mutable const CDatabaseEngine* m_engine = nullptr; // unset: not chosen yet
    QString m_lastError;
    std::atomic<int> m_generation{0}; // raised when the file changes, so threads reopen
};

#pragma once

#include "database/CFieldExchange.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>
#include <vector>

class CDatabaseManager;
class QSqlQuery;

// Reads the rows of one record set by their positions in its keys, as the engine reads best.
class CRowReader
{
public:
    virtual ~CRowReader() = default;
    // Reads the row at a position (1 to the number of keys) into row; false, with row untouched,
    // when it has been deleted. Fresh reads it from the database even when a copy is kept.
    virtual bool Read(const std::vector<qint64>& keys, qint64 position, bool fresh, CRowValues* row) = 0;
    // The rows at positions first to last are about to be read (a screen of the list): an engine
    // for which each statement is a round trip reads those it lacks at once. Reading each row from
    // a file in the process needs no notice.
    virtual void ReadAhead(const std::vector<qint64>& /*keys*/, qint64 /*first*/, qint64 /*last*/) {}
};

// What a savepoint sends to open, to keep its writes and to take them back.
struct CSavepointStatements
{
    QString open;
    QString keep;
    QStringList takeBack;
    // Whether a failed statement inside leaves the whole transaction failed, so that keeping would
    // quietly take the writes back: then the failure is reported instead.
    bool checkFailed = false;
};

// What differs between the database engines: an SQLite file, or a PostgreSQL server named by a
// connection URI. The manager chooses one when it learns where its database is and asks it
// whatever depends on the engine; it stays the engine until the database is named anew. Engines
// hold no state: what belongs to a connection stays with the manager's connection of each thread.
class CDatabaseEngine
{
public:
    virtual ~CDatabaseEngine() = default;

    // The engine for a connection setting: a PostgreSQL URI, or empty for the SQLite file.
    static const CDatabaseEngine& For(const QString& connection);

    // The database as messages name it: the file, or the URI without a password.
    virtual QString DatabaseName(const CDatabaseManager& manager) const = 0;
    // Where the manager's log goes.
    virtual QString LogDirectory(const CDatabaseManager& manager) const = 0;

    // Opens a connection under the name, with the tables made when the manager makes them. A window
    // thread waits for a server only briefly. Throws CDBException with the reason.
    virtual QSqlDatabase Open(CDatabaseManager& manager, const QString& name, bool windowThread) const = 0;
    // Makes the library's tables when the database is new.
    virtual void CreateSchema(CDatabaseManager& manager, QSqlDatabase& db) const = 0;

    // True when the connection is known to be broken (the server went away).
    virtual bool ConnectionLost(const QSqlDatabase& db) const = 0;
    // The same, after reading what the server sent meanwhile without waiting.
    virtual bool ConnectionEnded(const QSqlDatabase& db) const = 0;
    // What every later use of a connection found no longer open says until the user reconnects;
    // empty when such a connection is simply opened again.
    virtual QString LostConnectionText(const QString& databaseName) const = 0;
    // True when a connection that could not be opened is not tried again until the user reconnects.
    virtual bool KeepsOpenFailures() const = 0;

    // True inside a transaction the connection started.
    virtual bool InTransaction(const QSqlDatabase& db) const = 0;
    // True when that transaction failed and a COMMIT would quietly take it back.
    virtual bool TransactionFailed(const QSqlDatabase& db) const = 0;
    // The statements of a savepoint by this name on the calling thread's connection.
    virtual CSavepointStatements Savepoint(CDatabaseManager& manager, const QString& name) const;

    // Runs a statement with values bound to its parameters in order (see CDatabaseManager::Run).
    virtual void Run(CDatabaseManager& manager, const QString& statement, const QVariantList& values,
                     QVariantList* firstColumn) const = 0;
    // Runs a statement and hands each row of its result to row, through Qt's driver.
    virtual void ForEachRow(CDatabaseManager& manager, QSqlDatabase& db, const QString& statement,
                            const QVariantList& values,
                            const std::function<void(const QSqlQuery&)>& row) const = 0;
    // Gives the first column of each row of a statement whose first column is a key, in order, until
    // key returns false. A search's key statement may be answered from the search indexes, with the
    // same rows in the same order.
    virtual void ForEachKey(CDatabaseManager& manager, const QString& statement, const QVariantList& values,
                            const std::function<bool(qint64)>& key) const = 0;
    // Appends every key of such a statement.
    void ReadKeys(CDatabaseManager& manager, const QString& statement, const QVariantList& values,
                  std::vector<qint64>* keys) const
    {
        ForEachKey(manager, statement, values, [keys](qint64 key) {
            keys->push_back(key);
            return true;
        });
    }
    // A reader for the rows of one record set of the table.
    virtual std::unique_ptr<CRowReader> NewRowReader(CDatabaseManager& manager, const QString& table,
                                                     const QString& keyColumn) const = 0;
    // A statement in the dialect the explorer writes (see SqlDialect.h) as this engine runs it with
    // the same meaning, yielding only the key column of the rows in the statement's order. Empty for
    // an empty statement.
    virtual QString KeyStatement(const QString& statement, const QString& table,
                                 const QString& keyColumn) const = 0;

    // True when each statement costs a round trip to a server: many rows go better in batches.
    virtual bool StatementsAreRoundTrips() const = 0;
    // Brings the search indexes up to date with the files written since, after many were added at
    // once, when the database is free; a search would otherwise do it a few at a time. Failures are
    // only logged: the indexes stay correct, only slower to use.
    virtual void CatchUpSearchIndexes(CDatabaseManager&) const {}
    // Makes (or drops) the indexes that serve searches of the files' texts, in one transaction,
    // reporting the percent done where the engine can tell. Throws CDBException with the reason.
    virtual void SetSearchIndexes(CDatabaseManager& manager, bool on,
                                  const std::function<void(int percent)>& progress) const = 0;
};

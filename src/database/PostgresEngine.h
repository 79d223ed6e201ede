#pragma once

#include "database/DatabaseEngine.h"

#include <QStringList>

// The database on a PostgreSQL server, for a web site on another machine. Every statement is a
// round trip: rows are read in blocks (CPostgresBlockReader), statements with parameters are
// prepared once per connection, and a server that went away is reported at once until the user
// reconnects instead of being waited for on every row.
class CPostgresEngine final : public CDatabaseEngine
{
public:
    // Opens a connection of Qt's PostgreSQL driver under the name to the database the URI names,
    // with notices such as "already exists, skipping" kept out of the log: the way every part of
    // the program, and its benchmark, connects. Throws CDBException with the reason; the name is
    // free again then.
    static QSqlDatabase OpenConnection(const QString& name, const QString& uri, int connectTimeoutSeconds);

    QString DatabaseName(const CDatabaseManager& manager) const override;
    QString LogDirectory(const CDatabaseManager& manager) const override;
    QSqlDatabase Open(CDatabaseManager& manager, const QString& name, bool windowThread) const override;
    void CreateSchema(CDatabaseManager& manager, QSqlDatabase& db) const override;

    bool ConnectionLost(const QSqlDatabase& db) const override;
    bool ConnectionEnded(const QSqlDatabase& db) const override;
    QString LostConnectionText(const QString& databaseName) const override;
    bool KeepsOpenFailures() const override { return true; }

    bool InTransaction(const QSqlDatabase& db) const override;
    bool TransactionFailed(const QSqlDatabase& db) const override;
    CSavepointStatements Savepoint(CDatabaseManager& manager, const QString& name) const override;

    void Run(CDatabaseManager& manager, const QString& statement, const QVariantList& values,
             QVariantList* firstColumn) const override;
    void ForEachRow(CDatabaseManager& manager, QSqlDatabase& db, const QString& statement,
                    const QVariantList& values,
                    const std::function<void(const QSqlQuery&)>& row) const override;
    void ForEachKey(CDatabaseManager& manager, const QString& statement, const QVariantList& values,
                    const std::function<bool(qint64)>& key) const override;
    std::unique_ptr<CRowReader> NewRowReader(CDatabaseManager& manager, const QString& table,
                                             const QString& keyColumn) const override;
    QString KeyStatement(const QString& statement, const QString& table,
                         const QString& keyColumn) const override;

    bool StatementsAreRoundTrips() const override { return true; }
    void SetSearchIndexes(CDatabaseManager& manager, bool on,
                          const std::function<void(int percent)>& progress) const override;
};

// The statements that make PostgreSQL's trigram indexes for searches (pg_trgm, GIN).
QStringList PostgresSearchIndexStatements();
// Their names, for dropping them.
QStringList PostgresSearchIndexNames();

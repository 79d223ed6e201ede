#pragma once

#include "database/DatabaseEngine.h"

// The database as an SQLite file beside the library, shared with the web site on the same machine.
// The per-row paths (a cursor's keys, the row it stands on) go straight to SQLite where Qt's driver
// uses the same library (see CSqliteStatement.h), through Qt's driver otherwise.
class CSqliteEngine final : public CDatabaseEngine
{
public:
    QString DatabaseName(const CDatabaseManager& manager) const override;
    QString LogDirectory(const CDatabaseManager& manager) const override;
    QSqlDatabase Open(CDatabaseManager& manager, const QString& name, bool windowThread) const override;
    void CreateSchema(CDatabaseManager& manager, QSqlDatabase& db) const override;

    bool ConnectionLost(const QSqlDatabase&) const override { return false; }
    bool ConnectionEnded(const QSqlDatabase&) const override { return false; }
    QString LostConnectionText(const QString&) const override { return QString(); }
    bool KeepsOpenFailures() const override { return false; }

    bool InTransaction(const QSqlDatabase& db) const override;
    bool TransactionFailed(const QSqlDatabase&) const override { return false; }

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

    bool StatementsAreRoundTrips() const override { return false; }
    void CatchUpSearchIndexes(CDatabaseManager& manager) const override;
    void SetSearchIndexes(CDatabaseManager& manager, bool on,
                          const std::function<void(int percent)>& progress) const override;
};

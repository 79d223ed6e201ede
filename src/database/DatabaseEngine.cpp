#include "database/DatabaseEngine.h"

#include "database/PostgresEngine.h"
#include "database/SqliteEngine.h"

const CDatabaseEngine& CDatabaseEngine::For(const QString& connection)
{
    static const CSqliteEngine sqlite;
    static const CPostgresEngine postgres;
    if (connection.isEmpty())
        return sqlite;
    return postgres;
}

CSavepointStatements CDatabaseEngine::Savepoint(CDatabaseManager&, const QString& name) const
{
    // A savepoint taken outside a transaction starts one, and releasing it commits.
    return {QStringLiteral("SAVEPOINT ") + name,
            QStringLiteral("RELEASE ") + name,
            {QStringLiteral("ROLLBACK TO ") + name, QStringLiteral("RELEASE ") + name},
            false};
}

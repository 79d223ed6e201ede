// The search statement: any text the user types becomes a statement that SQLite accepts, with the
// text only ever inside a string literal, also as the search indexes answer it.

#include "database/CSqliteStatement.h"
#include "database/CTroveportDatabaseManager.h"
#include "database/DatabaseEngine.h"
#include "database/SearchStatement.h"
#include "database/SqliteSearchIndexes.h"
#include "FuzzSupport.h"

#include <sqlite3.h>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzSupport::StartApplication();
    theDatabaseManager.SetDatabaseFile(FuzzSupport::WorkDirectory() + QStringLiteral("/search.db"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const quint32 fields = data[0] & 0x3F;
    const QString text = QString::fromUtf8(FuzzSupport::Bytes(data + 1, size - 1));
    const QString statement = BuildSearchStatement(text, fields);
    if (statement.isEmpty())
        return 0;
    const QString keys =
        theDatabaseManager.Engine().KeyStatement(statement, QStringLiteral("files"), QStringLiteral("file_id"));
    sqlite3* db = SqliteHandle(theDatabaseManager.GetConnection());
    FUZZ_CHECK(db);
    // One statement, nothing after it: the text cannot end the statement and start another.
    const auto prepare = [db](const QString& statement) {
        sqlite3_stmt* prepared = nullptr;
        const QByteArray sql = statement.toUtf8();
        const char* tail = nullptr;
        FUZZ_CHECK(sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &prepared, &tail) == SQLITE_OK);
        FUZZ_CHECK(tail && QByteArray(tail).trimmed().isEmpty());
        FUZZ_CHECK(sqlite3_column_count(prepared) == 1);
        return prepared;
    };
    sqlite3_finalize(prepare(keys));
    // The same search answered from the search indexes: the text stays inside its literals in SQL
    // and in the FTS5 queries, which FTS5 reads only when the statement runs.
    if (const auto search = SqliteIndexedSearch(keys)) {
        sqlite3_finalize(prepare(search->statement));
        sqlite3_stmt* candidates =
            prepare(QStringLiteral("SELECT count(*) FROM (%1)").arg(search->candidates));
        FUZZ_CHECK(sqlite3_step(candidates) == SQLITE_ROW);
        sqlite3_finalize(candidates);
    }
    return 0;
}

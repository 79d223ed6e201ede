#include "CheckRows.h"

#include "database/CDBException.h"
#include "database/CSqliteStatement.h"
#include "database/CTroveportDatabaseManager.h"
#include "files/SafeFormat.h"

#include <QSqlQuery>

#include <sqlite3.h>

namespace {

// Finalizes the statement however the rows end, an exception from row included.
struct CStatement
{
    sqlite3_stmt* stmt = nullptr;
    ~CStatement() { sqlite3_finalize(stmt); }
};

[[noreturn]] void FailOn(sqlite3* db)
{
    throw CDBException(SafeFormat(u"The database could not be read: %s", QString::fromUtf8(sqlite3_errmsg(db))));
}

void Bind(sqlite3* db, sqlite3_stmt* stmt, const QVariantList& values)
{
    for (int i = 0; i < int(values.size()); ++i) {
        const QVariant& value = values[i];
        int status = SQLITE_OK;
        if (value.isNull()) {
            status = sqlite3_bind_null(stmt, i + 1);
        } else if (value.typeId() == QMetaType::QByteArray) {
            const QByteArray bytes = value.toByteArray();
            status = sqlite3_bind_text64(stmt, i + 1, bytes.constData(), sqlite3_uint64(bytes.size()), SQLITE_TRANSIENT,
                                         SQLITE_UTF8);
        } else if (value.typeId() == QMetaType::QString) {
            const QByteArray bytes = value.toString().toUtf8();
            status = sqlite3_bind_text64(stmt, i + 1, bytes.constData(), sqlite3_uint64(bytes.size()), SQLITE_TRANSIENT,
                                         SQLITE_UTF8);
        } else if (value.typeId() == QMetaType::Double) {
            status = sqlite3_bind_double(stmt, i + 1, value.toDouble());
        } else {
            status = sqlite3_bind_int64(stmt, i + 1, value.toLongLong());
        }
        if (status != SQLITE_OK)
            FailOn(db);
    }
}

} // namespace

qint64 CCheckRow::Int64(int column) const
{
    if (!m_stmt)
        return m_query->value(column).toLongLong();
    // As QVariant turns a stored real into an integer: rounded.
    if (sqlite3_column_type(m_stmt, column) == SQLITE_FLOAT)
        return qRound64(sqlite3_column_double(m_stmt, column));
    return sqlite3_column_int64(m_stmt, column);
}

double CCheckRow::Double(int column) const
{
    return m_stmt ? sqlite3_column_double(m_stmt, column) : m_query->value(column).toDouble();
}

bool CCheckRow::IsNull(int column) const
{
    return m_stmt ? sqlite3_column_type(m_stmt, column) == SQLITE_NULL : m_query->value(column).isNull();
}

QByteArray CCheckRow::Utf8(int column) const
{
    if (!m_stmt)
        return m_query->value(column).toString().toUtf8();
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
    return QByteArray(text, sqlite3_column_bytes(m_stmt, column));
}

QString CCheckRow::Text(int column) const
{
    if (!m_stmt)
        return m_query->value(column).toString();
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
    return QString::fromUtf8(text, sqlite3_column_bytes(m_stmt, column));
}

void ForEachCheckRow(const QString& statement, const QVariantList& values,
                     const std::function<void(const CCheckRow&)>& row)
{
    sqlite3* db = SqliteHandle(theDatabaseManager.GetConnection());
    if (!db) {
        CCheckRow current;
        theDatabaseManager.ForEachRow(statement, values, [&](const QSqlQuery& query) {
            current.m_query = &query;
            row(current);
        });
        return;
    }
    CStatement prepared;
    const QByteArray sql = statement.toUtf8();
    if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &prepared.stmt, nullptr) != SQLITE_OK)
        FailOn(db);
    Bind(db, prepared.stmt, values);
    CCheckRow current;
    current.m_stmt = prepared.stmt;
    for (;;) {
        const int status = sqlite3_step(prepared.stmt);
        if (status == SQLITE_DONE)
            return;
        if (status != SQLITE_ROW)
            FailOn(db);
        row(current);
    }
}

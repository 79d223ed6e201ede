#include "CheckRows.h"

#include "database/CSqliteStatement.h"
#include "database/CTroveportDatabaseManager.h"

#include <QSqlQuery>

qint64 CCheckRow::Int64(int column) const
{
    if (!m_statement)
        return m_query->value(column).toLongLong();
    // As QVariant turns a stored real into an integer: rounded.
    return m_statement->IsReal(column) ? qRound64(m_statement->Double(column)) : m_statement->Int64(column);
}

double CCheckRow::Double(int column) const
{
    return m_statement ? m_statement->Double(column) : m_query->value(column).toDouble();
}

bool CCheckRow::IsNull(int column) const
{
    return m_statement ? m_statement->IsNull(column) : m_query->value(column).isNull();
}

QByteArray CCheckRow::Utf8(int column) const
{
    return m_statement ? m_statement->Utf8(column) : m_query->value(column).toString().toUtf8();
}

QString CCheckRow::Text(int column) const
{
    return m_statement ? QString::fromUtf8(m_statement->Utf8(column)) : m_query->value(column).toString();
}

void ForEachCheckRow(const QString& statement, const QVariantList& values,
                     const std::function<void(const CCheckRow&)>& row)
{
    sqlite3* db = SqliteHandle(theDatabaseManager.GetConnection());
    CCheckRow current;
    if (!db) {
        theDatabaseManager.ForEachRow(statement, values, [&](const QSqlQuery& query) {
            current.m_query = &query;
            row(current);
        });
        return;
    }
    CSqliteStatement prepared(db, statement);
    prepared.Bind(values);
    for (int i = 0; i < int(values.size()); ++i) {
        if (values[i].typeId() == QMetaType::QByteArray && !values[i].isNull())
            prepared.BindUtf8(i + 1, values[i].toByteArray());
    }
    current.m_statement = &prepared;
    while (prepared.Step())
        row(current);
}

#include "database/CRecordSet.h"

#include "database/CDBException.h"
#include "database/CDatabaseManager.h"

#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

#include <algorithm>

CRecordSet::CRecordSet(CDatabaseManager* manager, QString table, QString keyColumn)
    : m_manager(manager), m_table(std::move(table)), m_keyColumn(std::move(keyColumn))
{
}

CRecordSet::~CRecordSet() = default;

void CRecordSet::Close()
{
    m_keys.clear();
    m_keys.shrink_to_fit();
    m_position = 0;
    m_deleted = false;
    m_editing = false;
}

void CRecordSet::OpenKeys(const QString& statement, const QVariantList& bindValues)
{
    Close();
    QSqlQuery query(m_manager->GetConnection());
    query.setForwardOnly(true);
    CDatabaseManager::Prepare(query, statement);
    for (const QVariant& value : bindValues)
        query.addBindValue(value);
    CDatabaseManager::Exec(query);
    std::vector<qint64> keys;
    while (query.next())
        keys.push_back(query.value(0).toLongLong());
    keys.shrink_to_fit();
    m_keys.swap(keys);
}

void CRecordSet::OpenKey(qint64 key)
{
    Close();
    m_keys.push_back(key);
}

qint64 CRecordSet::GetCurrentKey() const
{
    return IsBOF() || IsEOF() ? 0 : m_keys[size_t(m_position - 1)];
}

QSqlQuery& CRecordSet::RowQuery()
{
    QSqlDatabase db = m_manager->GetConnection();
    if (!m_rowQuery || m_rowQueryConnection != db.connectionName()) {
        auto query = std::make_unique<QSqlQuery>(db);
        query->setForwardOnly(true);
        CDatabaseManager::Prepare(*query, QStringLiteral("SELECT * FROM %1 WHERE %2 = ?").arg(m_table, m_keyColumn));
        m_rowQuery = std::move(query);
        m_rowQueryConnection = db.connectionName();
    }
    return *m_rowQuery;
}

bool CRecordSet::Move(qint64 position, QSqlRecord* row)
{
    m_position = std::clamp<qint64>(position, 0, GetRecordCount() + 1);
    m_deleted = false;
    if (IsBOF() || IsEOF())
        return false;
    QSqlQuery& query = RowQuery();
    query.bindValue(0, GetCurrentKey());
    CDatabaseManager::Exec(query);
    const bool found = query.next();
    if (found)
        *row = query.record();
    else
        m_deleted = true;
    query.finish();
    return found;
}

void CRecordSet::StartEdit()
{
    m_editing = false;
    if (IsBOF() || IsEOF())
        throw CDBException(QStringLiteral("There is no current row to edit."));
    QSqlQuery query(m_manager->GetConnection());
    CDatabaseManager::Prepare(query, QStringLiteral("SELECT 1 FROM %1 WHERE %2 = ?").arg(m_table, m_keyColumn));
    query.addBindValue(GetCurrentKey());
    CDatabaseManager::Exec(query);
    if (!query.next())
        throw CDBException(QStringLiteral("The row with %1 %2 has been deleted.").arg(m_keyColumn).arg(GetCurrentKey()));
    m_editing = true;
    m_editKey = GetCurrentKey();
}

int CRecordSet::CommitEdit(const QList<QPair<QString, QVariant>>& values)
{
    if (!m_editing)
        throw CDBException(QStringLiteral("No row is being edited."));
    m_editing = false;
    QStringList assignments;
    for (const auto& value : values) {
        if (value.first.compare(m_keyColumn, Qt::CaseInsensitive) != 0)
            assignments.append(value.first + QStringLiteral(" = ?"));
    }
    QSqlQuery query(m_manager->GetConnection());
    CDatabaseManager::Prepare(
        query, QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ?").arg(m_table, assignments.join(QStringLiteral(", ")), m_keyColumn));
    for (const auto& value : values) {
        if (value.first.compare(m_keyColumn, Qt::CaseInsensitive) != 0)
            query.addBindValue(value.second);
    }
    query.addBindValue(m_editKey);
    CDatabaseManager::Exec(query);
    return query.numRowsAffected() == 1 ? 1 : 0;
}

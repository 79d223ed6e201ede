#include "database/CRecordSet.h"

#include "database/CDatabaseManager.h"
#include "database/CDBException.h"
#include "database/CSqliteStatement.h"
#include "startup/SafeFormat.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>
#include <QVariant>

#include <algorithm>

CRecordSet::CRecordSet(CDatabaseManager* manager, QString table, QString keyColumn)
    : m_manager(manager), m_table(std::move(table)), m_keyColumn(std::move(keyColumn)),
      m_rowStatement(QStringLiteral("SELECT * FROM %1 WHERE %2 = ?").arg(m_table, m_keyColumn))
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
    std::vector<qint64> keys;
    QSqlDatabase db = m_manager->GetConnection();
    if (sqlite3* handle = SqliteHandle(db)) {
        CSqliteStatement query(handle, statement);
        query.Bind(bindValues);
        while (query.Step())
            keys.push_back(query.Int64(0));
    } else {
        QSqlQuery query(db);
        query.setForwardOnly(true);
        CDatabaseManager::Prepare(query, statement);
        for (const QVariant& value : bindValues)
            query.addBindValue(value);
        CDatabaseManager::Exec(query);
        while (query.next())
            keys.push_back(query.value(0).toLongLong());
    }
    const auto unusable =
        std::remove_if(keys.begin(), keys.end(), [](qint64 key) { return !IsExactKey(key); });
    if (const auto skipped = keys.end() - unusable; skipped > 0) {
        m_manager->LogError(
            SafeFormat(u"%lld rows of %s have a %s beyond %lld and are not listed: the explorer "
                       u"cannot tell such ids apart.",
                       qint64(skipped), m_table, m_keyColumn, kMaxExactKey));
        keys.erase(unusable, keys.end());
    }
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

bool CRecordSet::ReadRow(qint64 key, CRowValues* row)
{
    if (CSqliteStatement* query = m_manager->GetCachedStatement(m_rowStatement)) {
        query->Bind({key});
        const bool found = query->Step();
        if (found) {
            const int columns = query->ColumnCount();
            // The web site may change the table meanwhile; SQLite then prepares the statement anew.
            if (!query->HasColumns(row->rawNames)) {
                row->rawNames = query->RawColumnNames();
                row->names = query->ColumnNames();
            }
            row->values.resize(columns);
            for (int i = 0; i < columns; ++i)
                row->values[i] = query->Value(i);
        }
        query->Reset();
        return found;
    }
    QSqlQuery query(m_manager->GetConnection());
    query.setForwardOnly(true);
    CDatabaseManager::Prepare(query, m_rowStatement);
    query.addBindValue(key);
    CDatabaseManager::Exec(query);
    if (!query.next())
        return false;
    const QSqlRecord record = query.record();
    row->names.clear();
    row->values.clear();
    row->rawNames.clear();
    for (int i = 0; i < record.count(); ++i) {
        row->names.append(record.fieldName(i));
        row->values.append(record.value(i));
    }
    return true;
}

bool CRecordSet::Move(qint64 position, CRowValues* row)
{
    m_position = std::clamp<qint64>(position, 0, GetRecordCount() + 1);
    m_deleted = false;
    if (IsBOF() || IsEOF())
        return false;
    if (ReadRow(GetCurrentKey(), row))
        return true;
    m_deleted = true;
    return false;
}

bool CRecordSet::RowExists(qint64 key) const
{
    QVariantList found;
    m_manager->Run(QStringLiteral("SELECT 1 FROM %1 WHERE %2 = ?").arg(m_table, m_keyColumn), {key}, &found);
    return !found.isEmpty();
}

void CRecordSet::StartEdit()
{
    m_editing = false;
    if (IsBOF() || IsEOF())
        throw CDBException(QStringLiteral("There is no current row to edit."));
    if (!RowExists(GetCurrentKey()))
        throw CDBException(
            SafeFormat(u"The row with %s %lld has been deleted.", m_keyColumn, GetCurrentKey()));
    m_editing = true;
    m_editKey = GetCurrentKey();
}

void CRecordSet::CommitUnchanged()
{
    if (!m_editing)
        throw CDBException(QStringLiteral("No row is being edited."));
    m_editing = false;
    if (!RowExists(m_editKey))
        throw CDBException(SafeFormat(u"The row with %s %lld has been deleted.", m_keyColumn, m_editKey));
}

int CRecordSet::CommitEdit(const QList<QPair<QString, QVariant>>& values)
{
    if (!m_editing)
        throw CDBException(QStringLiteral("No row is being edited."));
    m_editing = false;
    QStringList assignments;
    QVariantList bindValues;
    for (const auto& value : values) {
        if (value.first.compare(m_keyColumn, Qt::CaseInsensitive) != 0) {
            assignments.append(value.first + QStringLiteral(" = ?"));
            bindValues.append(value.second);
        }
    }
    QSqlQuery query(m_manager->GetConnection());
    CDatabaseManager::Prepare(query, QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ?")
                                         .arg(m_table, assignments.join(QStringLiteral(", ")), m_keyColumn));
    for (const QVariant& value : bindValues)
        query.addBindValue(value);
    query.addBindValue(m_editKey);
    CDatabaseManager::Exec(query);
    return query.numRowsAffected() == 1 ? 1 : 0;
}

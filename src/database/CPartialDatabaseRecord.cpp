#include "database/CPartialDatabaseRecord.h"

#include "database/CDatabaseManager.h"
#include "database/CDBException.h"
#include "database/CFieldExchange.h"

CPartialDatabaseRecord::CPartialDatabaseRecord(CDatabaseManager* manager, const QString& table,
                                               const QString& keyColumn)
    : m_recordSet(manager, table, keyColumn), m_pManager(manager)
{
}

CPartialDatabaseRecord::~CPartialDatabaseRecord() = default;

bool CPartialDatabaseRecord::LoadPosition(qint64 position, bool fresh)
{
    bool found;
    try {
        found = m_recordSet.Move(position, &m_row, fresh);
    } catch (const CDBException&) {
        // The fields must not go on showing the row read before under this row's position.
        ClearFields(m_recordSet.GetCurrentKey());
        throw;
    }
    if (found) {
        CFieldExchange fx = CFieldExchange::ForLoad(m_row);
        DoFieldExchange(fx);
        CFieldExchange snapshot = CFieldExchange::ForSnapshot();
        DoFieldExchange(snapshot);
        m_loadedValues = snapshot.GetStoredValues();
        return true;
    }
    m_loadedValues.clear();
    if (m_recordSet.IsDeleted())
        ClearFields(m_recordSet.GetCurrentKey());
    return false;
}

void CPartialDatabaseRecord::OpenKeyStatement(const QString& keyStatement, const QVariantList& bindValues)
{
    m_recordSet.OpenKeys(keyStatement, bindValues);
    LoadPosition(1);
}

QString CPartialDatabaseRecord::KeyStatementOf(const QString& statement) const
{
    return m_pManager->Engine().KeyStatement(statement, m_recordSet.GetTable(), m_recordSet.GetKeyColumn());
}

bool CPartialDatabaseRecord::Open(const QString& statement, bool, bool)
{
    const QString keys = KeyStatementOf(statement);
    if (keys.isEmpty()) {
        m_recordSet.Close();
        return false;
    }
    try {
        OpenKeyStatement(keys, {});
        return true;
    } catch (const CDBException& e) {
        m_recordSet.Close();
        m_pManager->LogError(e.GetErrorText());
        return false;
    }
}

bool CPartialDatabaseRecord::SetAbsolutePosition(qint64 position)
{
    return LoadPosition(position);
}

bool CPartialDatabaseRecord::RereadPosition(qint64 position)
{
    return LoadPosition(position, true);
}

void CPartialDatabaseRecord::MoveNext()
{
    if (!IsEOF())
        LoadPosition(m_recordSet.GetPosition() + 1);
}

bool CPartialDatabaseRecord::Edit()
{
    CDatabaseLockGuard lock(CDatabaseManager::DatabaseLock);
    try {
        m_recordSet.StartEdit();
        return true;
    } catch (const CDBException& e) {
        m_pManager->LogError(e.GetErrorText());
        return false;
    }
}

bool CPartialDatabaseRecord::UpdateRecord()
{
    CDatabaseLockGuard lock(CDatabaseManager::DatabaseLock);
    try {
        if (!m_recordSet.IsEditing())
            throw CDBException(QStringLiteral("No row is being edited."));
        CFieldExchange fx = CFieldExchange::ForChanges(m_loadedValues);
        DoFieldExchange(fx);
        const CFieldExchange::Values& changed = fx.GetStoredValues();
        if (changed.isEmpty()) {
            m_recordSet.CommitUnchanged();
            return true;
        }
        if (m_recordSet.CommitEdit(changed) != 1)
            return false;
        for (const auto& value : changed) {
            for (auto& field : m_loadedValues) {
                if (field.first == value.first)
                    field.second = value.second;
            }
        }
        return true;
    } catch (const CDBException& e) {
        m_recordSet.CancelEdit();
        m_pManager->LogError(e.GetErrorText());
        return false;
    }
}

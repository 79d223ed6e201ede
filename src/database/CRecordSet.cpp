#include "database/CRecordSet.h"

#include "database/CDatabaseManager.h"
#include "database/CDBException.h"
#include "files/SafeFormat.h"

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
    m_reader.reset();
}

void CRecordSet::NewReader()
{
    m_reader = m_manager->Engine().NewRowReader(*m_manager, m_table, m_keyColumn);
}

void CRecordSet::OpenKeys(const QString& statement, const QVariantList& bindValues)
{
    Close();
    NewReader();
    std::vector<qint64> keys;
    m_manager->Engine().ReadKeys(*m_manager, statement, bindValues, &keys);
    DropInexactKeys(keys);
    keys.shrink_to_fit();
    m_keys.swap(keys);
}

void CRecordSet::DropInexactKeys(std::vector<qint64>& keys) const
{
    const auto unusable =
        std::remove_if(keys.begin(), keys.end(), [](qint64 key) { return !IsExactKey(key); });
    if (const auto skipped = keys.end() - unusable; skipped > 0) {
        m_manager->LogError(
            SafeFormat(u"%lld rows of %s have a %s beyond %lld and are not listed: the explorer "
                       u"cannot tell such ids apart.",
                       qint64(skipped), m_table, m_keyColumn, kMaxExactKey));
        keys.erase(unusable, keys.end());
    }
}

void CRecordSet::OpenEmpty()
{
    Close();
    NewReader();
}

void CRecordSet::AppendKeys(std::vector<qint64> keys)
{
    DropInexactKeys(keys);
    if (keys.empty())
        return;
    // The reader keeps what it read: it sees the count grow and reads a block cut short again.
    m_keys.insert(m_keys.end(), keys.begin(), keys.end());
}

void CRecordSet::OpenKey(qint64 key)
{
    Close();
    NewReader();
    m_keys.push_back(key);
}

qint64 CRecordSet::GetCurrentKey() const
{
    return IsBOF() || IsEOF() ? 0 : m_keys[size_t(m_position - 1)];
}

std::optional<qint64> CRecordSet::GetKeyAt(qint64 position) const
{
    if (position < 1 || position > GetRecordCount())
        return std::nullopt;
    return m_keys[size_t(position - 1)];
}

bool CRecordSet::Move(qint64 position, CRowValues* row, bool fresh)
{
    m_position = std::clamp<qint64>(position, 0, GetRecordCount() + 1);
    m_deleted = false;
    if (IsBOF() || IsEOF())
        return false;
    if (m_reader->Read(m_keys, m_position, fresh, row))
        return true;
    m_deleted = true;
    return false;
}

void CRecordSet::ReadAhead(qint64 first, qint64 last)
{
    if (m_reader && !m_keys.empty())
        m_reader->ReadAhead(m_keys, std::max<qint64>(first, 1), std::min(last, GetRecordCount()));
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
    CDatabaseManager::NoteWrite();
    QSqlQuery query(m_manager->GetConnection());
    // A table the site made without a key can hold the id twice: then the edit changes nothing,
    // rather than every row with the id, decided in the same statement that writes.
    CDatabaseManager::Prepare(query,
                              QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ? AND (SELECT count(*) FROM %1 "
                                             "WHERE %3 = ?) = 1")
                                  .arg(m_table, assignments.join(QStringLiteral(", ")), m_keyColumn));
    for (const QVariant& value : bindValues)
        query.addBindValue(value);
    query.addBindValue(m_editKey);
    query.addBindValue(m_editKey);
    CDatabaseManager::Exec(query);
    return query.numRowsAffected() == 1 ? 1 : 0;
}

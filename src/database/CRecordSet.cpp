#include "database/CRecordSet.h"

#include "database/CDatabaseManager.h"
#include "database/CDBException.h"
#include "database/CSqliteStatement.h"
#include "files/SafeFormat.h"

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
    m_blockRows.clear();
    m_blocks.clear();
}

void CRecordSet::OpenKeys(const QString& statement, const QVariantList& bindValues)
{
    Close();
    m_engine = m_manager->GetEngine();
    std::vector<qint64> keys;
    QSqlDatabase db = m_manager->GetConnection();
    if (sqlite3* handle = SqliteHandle(db)) {
        CSqliteStatement query(handle, statement);
        query.Bind(bindValues);
        while (query.Step())
            keys.push_back(query.Int64(0));
    } else {
        m_manager->ForEachRow(statement, bindValues,
                              [&keys](const QSqlQuery& row) { keys.push_back(row.value(0).toLongLong()); });
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
    m_engine = m_manager->GetEngine();
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

namespace {

// Blocks kept at once: two cover any screen, the others the way back when scrolling.
constexpr size_t kBlocksKept = 8;

} // namespace

void CRecordSet::ReadBlock(qint64 first, qint64 last)
{
    QStringList keys;
    for (qint64 position = first; position <= last; ++position)
        keys.append(QString::number(m_keys[size_t(position - 1)]));
    // The keys are numbers this program holds: written into the statement, they need no parameters
    // and the block costs one round trip.
    int keyIndex = -1;
    m_manager->ForEachRow(
        QStringLiteral("SELECT * FROM %1 WHERE %2 IN (%3)")
            .arg(m_table, m_keyColumn, keys.join(QLatin1Char(','))),
        {}, [this, &keyIndex](const QSqlQuery& row) {
            if (keyIndex < 0) { // the columns, once a block
                const QSqlRecord record = row.record();
                m_blockNames.clear();
                for (int i = 0; i < record.count(); ++i) {
                    m_blockNames.append(record.fieldName(i));
                    if (record.fieldName(i).compare(m_keyColumn, Qt::CaseInsensitive) == 0)
                        keyIndex = i;
                }
                if (keyIndex < 0)
                    throw CDBException(SafeFormat(u"The table %s has no column %s.", m_table, m_keyColumn));
            }
            QVariantList values;
            values.reserve(m_blockNames.size());
            for (int i = 0; i < m_blockNames.size(); ++i)
                values.append(row.value(i));
            m_blockRows[values[keyIndex].toLongLong()] = std::move(values);
        });
}

bool CRecordSet::ReadBlockRow(qint64 position, bool fresh, CRowValues* row)
{
    const qint64 key = m_keys[size_t(position - 1)];
    const qint64 block = (position - 1) / kBlockRows;
    // This process changed the database since the blocks were read: its own changes show at once,
    // as they do when each row is read from a file.
    if (m_blocksWrites != CDatabaseManager::Writes()) {
        m_blocks.clear();
        m_blockRows.clear();
        m_blocksWrites = CDatabaseManager::Writes();
    }
    if (fresh) {
        m_blockRows.erase(key);
        ReadBlock(position, position);
    } else if (std::find(m_blocks.begin(), m_blocks.end(), block) == m_blocks.end()) {
        if (m_blocks.size() >= kBlocksKept) {
            const qint64 oldest = m_blocks.back();
            m_blocks.pop_back();
            for (qint64 p = oldest * kBlockRows + 1;
                 p <= std::min(GetRecordCount(), (oldest + 1) * kBlockRows); ++p)
                m_blockRows.erase(m_keys[size_t(p - 1)]);
        }
        ReadBlock(block * kBlockRows + 1, std::min(GetRecordCount(), (block + 1) * kBlockRows));
        m_blocks.push_front(block);
    }
    const auto found = m_blockRows.find(key);
    if (found == m_blockRows.end())
        return false; // deleted since the keys were read
    row->names = m_blockNames;
    row->values = found->second;
    row->rawNames.clear();
    return true;
}

bool CRecordSet::Move(qint64 position, CRowValues* row, bool fresh)
{
    m_position = std::clamp<qint64>(position, 0, GetRecordCount() + 1);
    m_deleted = false;
    if (IsBOF() || IsEOF())
        return false;
    const bool found = m_engine == SqlEngine::Postgres ? ReadBlockRow(m_position, fresh, row)
                                                       : ReadRow(GetCurrentKey(), row);
    if (found)
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
    CDatabaseManager::NoteWrite();
    QSqlQuery query(m_manager->GetConnection());
    // A table the site made without a key can hold the id twice: then the edit changes nothing,
    // rather than every row with the id, decided in the same statement that writes.
    CDatabaseManager::Prepare(query, QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ? AND (SELECT count(*) FROM %1 "
                                                    "WHERE %3 = ?) = 1")
                                         .arg(m_table, assignments.join(QStringLiteral(", ")), m_keyColumn));
    for (const QVariant& value : bindValues)
        query.addBindValue(value);
    query.addBindValue(m_editKey);
    query.addBindValue(m_editKey);
    CDatabaseManager::Exec(query);
    return query.numRowsAffected() == 1 ? 1 : 0;
}

#include "database/PostgresBlockReader.h"

#include "database/CDatabaseManager.h"
#include "database/CDBException.h"
#include "files/SafeFormat.h"

#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>

namespace {

// Blocks kept at once: two cover any screen, the others the way back when scrolling.
constexpr size_t kBlocksKept = 8;

} // namespace

CPostgresBlockReader::CPostgresBlockReader(CDatabaseManager& manager, QString table, QString keyColumn)
    : m_manager(manager), m_table(std::move(table)), m_keyColumn(std::move(keyColumn))
{
}

void CPostgresBlockReader::ReadBlock(const std::vector<qint64>& keys, qint64 first, qint64 last)
{
    QStringList list;
    for (qint64 position = first; position <= last; ++position)
        list.append(QString::number(keys[size_t(position - 1)]));
    // The keys are numbers this program holds: written into the statement, they need no parameters
    // and the block costs one round trip.
    int keyIndex = -1;
    m_manager.ForEachRow(QStringLiteral("SELECT * FROM %1 WHERE %2 IN (%3)")
                             .arg(m_table, m_keyColumn, list.join(QLatin1Char(','))),
                         {}, [this, &keyIndex](const QSqlQuery& row) {
                             if (keyIndex < 0) { // the columns, once a block
                                 const QSqlRecord record = row.record();
                                 m_names.clear();
                                 for (int i = 0; i < record.count(); ++i) {
                                     m_names.append(record.fieldName(i));
                                     if (record.fieldName(i).compare(m_keyColumn, Qt::CaseInsensitive) == 0)
                                         keyIndex = i;
                                 }
                                 if (keyIndex < 0)
                                     throw CDBException(
                                         SafeFormat(u"The table %s has no column %s.", m_table, m_keyColumn));
                             }
                             QVariantList values;
                             values.reserve(m_names.size());
                             for (int i = 0; i < m_names.size(); ++i)
                                 values.append(row.value(i));
                             m_rows[values[keyIndex].toLongLong()] = std::move(values);
                         });
}

bool CPostgresBlockReader::Read(const std::vector<qint64>& keys, qint64 position, bool fresh, CRowValues* row)
{
    const qint64 count = qint64(keys.size());
    const qint64 key = keys[size_t(position - 1)];
    const qint64 block = (position - 1) / kBlockRows;
    // This process changed the database since the blocks were read: its own changes show at once,
    // as they do when each row is read from a file.
    if (m_writes != CDatabaseManager::Writes()) {
        m_blocks.clear();
        m_rows.clear();
        m_writes = CDatabaseManager::Writes();
    }
    if (fresh) {
        m_rows.erase(key);
        ReadBlock(keys, position, position);
    } else if (std::find(m_blocks.begin(), m_blocks.end(), block) == m_blocks.end()) {
        if (m_blocks.size() >= kBlocksKept) {
            const qint64 oldest = m_blocks.back();
            m_blocks.pop_back();
            for (qint64 p = oldest * kBlockRows + 1; p <= std::min(count, (oldest + 1) * kBlockRows); ++p)
                m_rows.erase(keys[size_t(p - 1)]);
        }
        ReadBlock(keys, block * kBlockRows + 1, std::min(count, (block + 1) * kBlockRows));
        m_blocks.push_front(block);
    }
    const auto found = m_rows.find(key);
    if (found == m_rows.end())
        return false; // deleted since the keys were read
    row->names = m_names;
    row->values = found->second;
    row->rawNames.clear();
    return true;
}

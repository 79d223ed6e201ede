#include "database/PostgresBlockReader.h"

#include "database/CDatabaseManager.h"
#include "database/CDBException.h"
#include "files/SafeFormat.h"

#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>

CPostgresBlockReader::CPostgresBlockReader(CDatabaseManager& manager, QString table, QString keyColumn)
    : m_manager(manager), m_table(std::move(table)), m_keyColumn(std::move(keyColumn))
{
}

void CPostgresBlockReader::ReadRows(const std::vector<qint64>& keys, const std::vector<qint64>& positions)
{
    if (positions.empty())
        return;
    QStringList list;
    list.reserve(qsizetype(positions.size()));
    for (qint64 position : positions)
        list.append(QString::number(keys[size_t(position - 1)]));
    // The keys are numbers this program holds: written into the statement, they need no parameters
    // and the rows cost one round trip.
    int keyIndex = -1;
    m_manager.ForEachRow(QStringLiteral("SELECT * FROM %1 WHERE %2 IN (%3)")
                             .arg(m_table, m_keyColumn, list.join(QLatin1Char(','))),
                         {}, [this, &keyIndex](const QSqlQuery& row) {
                             if (keyIndex < 0) { // the columns, once a statement
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

void CPostgresBlockReader::ReadBlocks(const std::vector<qint64>& keys, qint64 first, qint64 last)
{
    const qint64 count = qint64(keys.size());
    std::vector<qint64> missing;
    for (qint64 block = first; block <= last; ++block) {
        const auto kept = std::find(m_blocks.begin(), m_blocks.end(), block);
        if (kept != m_blocks.end())
            m_blocks.splice(m_blocks.begin(), m_blocks, kept); // wanted again: kept longest
        else
            missing.push_back(block);
    }
    if (missing.empty())
        return;
    while (!m_blocks.empty() && m_blocks.size() + missing.size() > kBlocksKept) {
        const qint64 oldest = m_blocks.back();
        m_blocks.pop_back();
        for (qint64 p = oldest * kBlockRows + 1; p <= std::min(count, (oldest + 1) * kBlockRows); ++p)
            m_rows.erase(keys[size_t(p - 1)]);
    }
    std::vector<qint64> positions;
    for (qint64 block : missing) {
        for (qint64 p = block * kBlockRows + 1; p <= std::min(count, (block + 1) * kBlockRows); ++p) {
            m_rows.erase(keys[size_t(p - 1)]); // a row read fresh before: what is not found is deleted
            positions.push_back(p);
        }
    }
    ReadRows(keys, positions);
    for (qint64 block : missing)
        m_blocks.push_front(block);
}

void CPostgresBlockReader::Revalidate(const std::vector<qint64>& keys)
{
    // This process changed the database since the blocks were read: its own changes show at once,
    // as they do when each row is read from a file.
    if (m_writes != CDatabaseManager::Writes()) {
        m_blocks.clear();
        m_rows.clear();
        m_writes = CDatabaseManager::Writes();
    }
    // Keys appended since: the last block was read short, and its new rows would read as deleted.
    const qint64 count = qint64(keys.size());
    if (count != m_keyCount) {
        if (m_keyCount > 0 && m_keyCount % kBlockRows != 0)
            m_blocks.remove((m_keyCount - 1) / kBlockRows);
        m_keyCount = count;
    }
}

bool CPostgresBlockReader::Read(const std::vector<qint64>& keys, qint64 position, bool fresh, CRowValues* row)
{
    const qint64 key = keys[size_t(position - 1)];
    const qint64 block = (position - 1) / kBlockRows;
    const bool firstRead = m_blocks.empty() && m_rows.empty();
    Revalidate(keys);
    if (fresh) {
        m_rows.erase(key);
        ReadRows(keys, {position});
    } else if (std::find(m_blocks.begin(), m_blocks.end(), block) == m_blocks.end()) {
        const qint64 lastBlock = (qint64(keys.size()) - 1) / kBlockRows;
        ReadBlocks(keys, block, std::min(lastBlock, block + (firstRead ? kFirstBlocks - 1 : 0)));
    }
    const auto found = m_rows.find(key);
    if (found == m_rows.end())
        return false; // deleted since the keys were read
    row->names = m_names;
    row->values = found->second;
    row->rawNames.clear();
    return true;
}

void CPostgresBlockReader::ReadAhead(const std::vector<qint64>& keys, qint64 first, qint64 last)
{
    first = std::max<qint64>(first, 1);
    last = std::min(last, qint64(keys.size()));
    if (first > last)
        return;
    Revalidate(keys);
    const qint64 firstBlock = (first - 1) / kBlockRows;
    // Never more than half of what is kept, so that the blocks of one range never push each other out.
    const qint64 lastBlock = std::min((last - 1) / kBlockRows, firstBlock + qint64(kBlocksKept / 2) - 1);
    ReadBlocks(keys, firstBlock, lastBlock);
}

#pragma once

#include "database/DatabaseEngine.h"

#include <QStringList>

#include <list>
#include <unordered_map>

// Reads a record set's rows from a server in aligned blocks of kBlockRows, so that a screen of rows
// costs at most two round trips. A block is kept until the set is opened again (or this process
// writes), and a row is read fresh only on request (before a command acts on it).
class CPostgresBlockReader final : public CRowReader
{
public:
    static constexpr qint64 kBlockRows = 128;

    CPostgresBlockReader(CDatabaseManager& manager, QString table, QString keyColumn);

    bool Read(const std::vector<qint64>& keys, qint64 position, bool fresh, CRowValues* row) override;

private:
    void ReadBlock(const std::vector<qint64>& keys, qint64 first, qint64 last);

    CDatabaseManager& m_manager;
    QString m_table;
    QString m_keyColumn;
    // The rows by key, the numbers of the blocks kept (most recent first), and the column names.
    std::unordered_map<qint64, QVariantList> m_rows;
    std::list<qint64> m_blocks;
    QStringList m_names;
    qint64 m_writes = 0; // the process's write count when they were read
};

#pragma once

#include "database/DatabaseEngine.h"

#include <QStringList>

#include <list>
#include <unordered_map>

// Reads a record set's rows from a server in aligned blocks of kBlockRows. Every block a read needs
// and does not keep is read in one statement, so a screen the view announces (ReadAhead) costs one
// round trip whatever its size, and a row read without notice costs one for its block. A block is
// kept until the set is opened again (or this process writes), and a row is read fresh only on
// request (before a command acts on it).
class CPostgresBlockReader final : public CRowReader
{
public:
    static constexpr qint64 kBlockRows = 128;
    // The blocks the first read of a set takes: the first screen of any view, even on a large
    // display, comes with the open.
    static constexpr qint64 kFirstBlocks = 4;
    // Blocks kept at once: a few screens of the densest view on a large display.
    static constexpr size_t kBlocksKept = 32;

    CPostgresBlockReader(CDatabaseManager& manager, QString table, QString keyColumn);

    bool Read(const std::vector<qint64>& keys, qint64 position, bool fresh, CRowValues* row) override;
    void ReadAhead(const std::vector<qint64>& keys, qint64 first, qint64 last) override;

private:
    // Forgets what a write of this process or a set grown since may have made stale.
    void Revalidate(const std::vector<qint64>& keys);
    // Reads the blocks first to last (block numbers) that are not kept, in one statement.
    void ReadBlocks(const std::vector<qint64>& keys, qint64 first, qint64 last);
    // Reads the rows at the positions (1 to count), in one statement.
    void ReadRows(const std::vector<qint64>& keys, const std::vector<qint64>& positions);

    CDatabaseManager& m_manager;
    QString m_table;
    QString m_keyColumn;
    // The rows by key, the numbers of the blocks kept (most recent first), and the column names.
    std::unordered_map<qint64, QVariantList> m_rows;
    std::list<qint64> m_blocks;
    QStringList m_names;
    qint64 m_writes = 0;   // the process's write count when they were read
    qint64 m_keyCount = 0; // the set's size then: a last block read short is read again once it grew
};

#pragma once

#include "database/CFieldExchange.h"
#include "database/SqlDialect.h"

#include <QString>
#include <QVariant>

#include <list>
#include <optional>
#include <unordered_map>
#include <vector>

class CDatabaseManager;
class QSqlQuery;

// The interface hands keys around as doubles, which hold integers exactly only up to 2^53 - 1: a
// row with a larger key would be taken for another row, so such rows are never acted on.
constexpr qint64 kMaxExactKey = (qint64(1) << 53) - 1;

inline bool IsExactKey(qint64 key)
{
    return key >= -kMaxExactKey && key <= kMaxExactKey;
}

// The key a double stands for: none for a fraction, a NaN or a value beyond the exact range.
inline std::optional<qint64> KeyFromDouble(double id)
{
    if (!(id >= -double(kMaxExactKey) && id <= double(kMaxExactKey)) || id != double(qint64(id)))
        return std::nullopt;
    return qint64(id);
}

// The rows a cursor walks, held as their keys only (8 bytes a row), in the order the statement
// gave them. A row is read when the cursor is positioned on it. Positions stay as they were opened:
// a row deleted meanwhile keeps its place and reads as deleted.
//
// Over a network (PostgreSQL) rows are read in aligned blocks of kBlockRows, so that a screen of
// rows costs at most two round trips; a block is kept until the set is opened again, and a row is
// read fresh only on request (before a command acts on it).
//
// A record set is used by the thread that created it (it runs on that thread's connection).
// Database failures throw CDBException.
class CRecordSet
{
public:
    static constexpr qint64 kBlockRows = 128;

    CRecordSet(CDatabaseManager* manager, QString table, QString keyColumn);
    ~CRecordSet();
    CRecordSet(const CRecordSet&) = delete;
    CRecordSet& operator=(const CRecordSet&) = delete;

    // Runs a statement whose first column is the key and keeps the keys it yields. Rows whose key
    // is beyond the exact range are left out, with a logged error.
    void OpenKeys(const QString& statement, const QVariantList& bindValues = {});
    // A set of exactly one row.
    void OpenKey(qint64 key);
    void Close();

    const QString& GetTable() const { return m_table; }
    const QString& GetKeyColumn() const { return m_keyColumn; }

    qint64 GetRecordCount() const { return qint64(m_keys.size()); }
    // 0 before the first row, 1 to count on a row, count + 1 past the last.
    qint64 GetPosition() const { return m_position; }
    // An empty set is at both ends at once.
    bool IsBOF() const { return m_position < 1 || m_keys.empty(); }
    bool IsEOF() const { return m_position > GetRecordCount() || m_keys.empty(); }
    bool IsDeleted() const { return m_deleted; }
    qint64 GetCurrentKey() const;
    // The key of the row at a position (1 to count), without reading the row; none past either end.
    std::optional<qint64> GetKeyAt(qint64 position) const;

    // Moves to a position (clamped to just before the first or just after the last row) and reads
    // the row there into row. False, with row untouched, when there is no row at that position or
    // it has been deleted. Fresh reads the row from the database even when its block is kept.
    bool Move(qint64 position, CRowValues* row, bool fresh = false);

    // Editing the current row: refused (throws) when there is no current row or it no longer exists.
    void StartEdit();
    bool RowExists(qint64 key) const;
    bool IsEditing() const { return m_editing; }
    void CancelEdit() { m_editing = false; }
    // Writes the values to the row being edited; 1 when exactly that row was written.
    int CommitEdit(const QList<QPair<QString, QVariant>>& values);
    // Ends an edit that changed nothing; throws CDBException when the row is gone meanwhile.
    void CommitUnchanged();

private:
    bool ReadRow(qint64 key, CRowValues* row);
    // The row at the position from its block, reading the block when it is not kept.
    bool ReadBlockRow(qint64 position, bool fresh, CRowValues* row);
    void ReadBlock(qint64 first, qint64 last);

    CDatabaseManager* m_manager;
    QString m_table;
    QString m_keyColumn;
    QString m_rowStatement;                 // reads one row by its key
    SqlEngine m_engine = SqlEngine::Sqlite; // the manager's when the set was opened
    std::vector<qint64> m_keys;
    qint64 m_position = 0;
    bool m_deleted = false;
    bool m_editing = false;
    qint64 m_editKey = 0;

    // The blocks read from a server: the rows by key, the numbers of the blocks kept (most recent
    // first), and the column names of the rows.
    std::unordered_map<qint64, QVariantList> m_blockRows;
    std::list<qint64> m_blocks;
    QStringList m_blockNames;
    qint64 m_blocksWrites = 0; // the process's write count when they were read
};

#pragma once

#include "database/CFieldExchange.h"
#include "database/RowKeys.h"

#include <QString>
#include <QVariant>

#include <memory>
#include <optional>
#include <vector>

class CDatabaseManager;
class CRowReader;

// The rows a cursor walks, held as their keys only (8 bytes a row), in the order the statement
// gave them. A row is read when the cursor is positioned on it. Positions stay as they were opened:
// a row deleted meanwhile keeps its place and reads as deleted.
//
// Rows are read as the database's engine reads best (CRowReader): from a server in blocks, kept
// until the set is opened again, and a row read fresh only on request (before a command acts on it).
//
// A record set is used by the thread that created it (it runs on that thread's connection).
// Database failures throw CDBException.
class CRecordSet
{
public:
    CRecordSet(CDatabaseManager* manager, QString table, QString keyColumn);
    ~CRecordSet();
    CRecordSet(const CRecordSet&) = delete;
    CRecordSet& operator=(const CRecordSet&) = delete;

    // Runs a statement whose first column is the key and keeps the keys it yields. Rows whose key
    // is beyond the exact range are left out, with a logged error.
    void OpenKeys(const QString& statement, const QVariantList& bindValues = {});
    // A set of exactly one row.
    void OpenKey(qint64 key);
    // A set that starts empty and grows as keys read elsewhere (on a worker's connection) are
    // appended in the statement's order; the positions of the rows already in it never change.
    void OpenEmpty();
    void AppendKeys(std::vector<qint64> keys);
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
    // The rows at positions first to last (clamped to the set) are about to be read: on a server
    // those not kept are read now, in one round trip, rather than block by block as they are met.
    // Reads nothing else; the position stays.
    void ReadAhead(qint64 first, qint64 last);

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
    // A reader of the engine the set was opened on.
    void NewReader();
    // Leaves out the keys beyond the exact range, with a logged error.
    void DropInexactKeys(std::vector<qint64>& keys) const;

    CDatabaseManager* m_manager;
    QString m_table;
    QString m_keyColumn;
    std::unique_ptr<CRowReader> m_reader;
    std::vector<qint64> m_keys;
    qint64 m_position = 0;
    bool m_deleted = false;
    bool m_editing = false;
    qint64 m_editKey = 0;
};

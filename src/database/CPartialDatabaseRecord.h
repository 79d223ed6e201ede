#pragma once

#include "database/CFieldExchange.h"
#include "database/CRecordSet.h"

#include <QStringList>

class CDatabaseManager;

// A cursor over rows of one table, bound to its manager. The row it stands on is read into the
// derived record's fields. Positions count from 1.
//
// Opening and positioning throw CDBException on database failures (their callers catch them);
// Edit and UpdateRecord never let one out.
class CPartialDatabaseRecord
{
public:
    // table and keyColumn name the rows the record stands for.
    CPartialDatabaseRecord(CDatabaseManager* manager, const QString& table, const QString& keyColumn);
    virtual ~CPartialDatabaseRecord();
    CPartialDatabaseRecord(const CPartialDatabaseRecord&) = delete;
    // Copies only what the fields held when they were read: the target keeps its own manager and
    // cursor.
    CPartialDatabaseRecord& operator=(const CPartialDatabaseRecord& other)
    {
        m_loadedValues = other.m_loadedValues;
        return *this;
    }

    CDatabaseManager* GetManager() const { return m_pManager; }

    // Runs a statement (see CDatabaseEngine::KeyStatement) and stands on its first row. False for an empty
    // statement; a statement the database rejects is logged and gives false.
    bool Open(const QString& statement, bool readOnly = true, bool appendOnly = true);
    // The key statement Open runs for a statement, for a worker to run on its own connection; empty
    // for an empty statement.
    QString KeyStatementOf(const QString& statement) const;
    // Opens the cursor empty, to grow by keys a worker reads (CRecordSet::AppendKeys).
    void OpenEmpty() { m_recordSet.OpenEmpty(); }
    void AppendKeys(std::vector<qint64> keys) { m_recordSet.AppendKeys(std::move(keys)); }
    // Moves to the row at a position (1 to GetRecordCount()); false past either end, or when the
    // row has been deleted since the cursor was opened (its fields are then cleared). Past either
    // end the fields keep the row read before: whoever acts on a file must look at the result.
    bool SetAbsolutePosition(qint64 position);
    // The same, reading the row from the database even when it was read before: the row a command
    // is about to act on, or one known to have changed.
    bool RereadPosition(qint64 position);
    // The rows at positions first to last are about to be read, as a screen of the list is: see
    // CRecordSet::ReadAhead. Throws CDBException.
    void ReadAhead(qint64 first, qint64 last) { m_recordSet.ReadAhead(first, last); }
    void MoveNext();
    bool IsEOF() const { return m_recordSet.IsEOF(); }
    bool IsBOF() const { return m_recordSet.IsBOF(); }
    bool IsDeleted() const { return m_recordSet.IsDeleted(); }
    qint64 GetRecordCount() const { return m_recordSet.GetRecordCount(); }
    qint64 GetAbsolutePosition() const { return m_recordSet.GetPosition(); }
    // The key of the row at a position, read from nothing but the cursor: it stays valid after the
    // cursor is gone. None past either end.
    std::optional<qint64> GetKeyAt(qint64 position) const { return m_recordSet.GetKeyAt(position); }

    // Starts editing the current row, under DatabaseLock; failures are logged and give false.
    bool Edit();
    // Commits the row being edited with this record's fields, under DatabaseLock; false when the
    // database rejects it or the row is gone (logged). Only the fields that differ from what was
    // read are written: a value the web site stored meanwhile, or one this program cannot hold
    // exactly (bytes that are not UTF-8, a number stored as text, a text over its limit), stays as
    // it is unless the user changed that field.
    bool UpdateRecord();

protected:
    virtual QString GetDefaultSQL() const = 0; // the table
    virtual QStringList GetFields() const = 0; // the key column first
    virtual void DoFieldExchange(CFieldExchange& fx) = 0;
    // Sets the fields for a row that cannot be read (deleted): empty, with the key kept.
    virtual void ClearFields(qint64 key) = 0;

    // Reads the row at the position into the fields; false when there is none.
    bool LoadPosition(qint64 position, bool fresh = false);
    void OpenKeyStatement(const QString& keyStatement, const QVariantList& bindValues);

    CRecordSet m_recordSet;

private:
    CRowValues m_row;                      // kept between rows so its column names are made once
    CFieldExchange::Values m_loadedValues; // the fields as read, as they would be stored
    CDatabaseManager* m_pManager;
};

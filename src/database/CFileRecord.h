#pragma once

#include "database/CFieldExchange.h"
#include "database/CPartialDatabaseRecord.h"

#include <QString>

#include <memory>

// A row of table "files", and a cursor over such rows (an area's files, or a search's).
// Operations that answer with a boolean log database errors and give false; they never throw.
class CFileRecord : public CPartialDatabaseRecord
{
public:
    explicit CFileRecord(CDatabaseManager* manager);
    ~CFileRecord() override;
    CFileRecord(const CFileRecord&) = delete;
    // Copies every field, the stored fields this program never reads included; the target keeps
    // its own manager and cursor.
    CFileRecord& operator=(const CFileRecord& other);

    // Adds a row with these fields; the record then stands for the new row (with its new file_id).
    virtual bool Add();
    // Writes every field to the stored row with the same file_id, under DatabaseLock.
    virtual bool Update();
    // Deletes the row with this file_id, with its area links and download locations, in one
    // transaction. On failure nothing is deleted, and *reason (when given) says why, in the
    // database's words: a lock the web site holds, for one.
    virtual bool Delete(QString* reason = nullptr);
    // Stands on the row with key's file_id; false when there is none.
    virtual bool GetByPrimaryKey(const CFileRecord& key, bool readOnly = true, bool appendOnly = true);

    // Opens the cursor on the area's files, in the order they were added.
    bool GetAllFilesInArea(double areaId);
    // The key statement of an area's files, with the area id as its one parameter.
    static QString AreaKeyStatement();

    bool AddToFileArea(double areaId);
    bool DeleteFromFileArea(double areaId);
    bool AddDownloadURL(const QString& url);
    bool DeleteDownloadURL(const QString& url);

    // Field limits, in characters.
    static constexpr int kTitleLength = 30;
    static constexpr int kShortDescLength = 60;
    static constexpr int kLongDescLength = 65535;
    static constexpr int kNameLength = 254;
    static constexpr int kVersionLength = 15;

    double file_id = 0;
    QString title;
    double file_size = 0;
    QString short_desc;
    QString long_desc;
    QString upld_name;
    QString upld_email;
    double downloads = 0;
    quint32 last_download = 0; // seconds since 1970
    quint32 file_date = 0;     // seconds since 1970
    QString version;
    qint32 requires_form = 0;

protected:
    QString GetDefaultSQL() const override;
    QStringList GetFields() const override;
    void DoFieldExchange(CFieldExchange& fx) override;
    void ClearFields(qint64 key) override;

private:
    // Runs one statement about this file, binding value and then the key; false (logged) on failure.
    bool RunForThisFile(const QString& statement, const QVariant& value);

    CFieldExchange::Values m_otherFields; // stored columns this program does not know
};

// Reads the file behind row `row` (from 0) of a list whose cursor is `cursor` into a new working
// copy bound to theDatabaseManager. The copy stays valid when the cursor moves on. Null when there
// is no such row, when it has been deleted meanwhile, or when the database could not read it
// (logged): commands skip such rows.
std::unique_ptr<CFileRecord> ReadFileOfListRow(CFileRecord& cursor, qint64 row);

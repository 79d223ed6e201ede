#include "database/CFileRecord.h"

#include "database/CDBException.h"
#include "database/CSavepoint.h"
#include "database/CTroveportDatabaseManager.h"
#include "database/SqlDialect.h"
#include "files/SafeFormat.h"

#include <QSqlQuery>
#include <QVariant>

CFileRecord::CFileRecord(CDatabaseManager* manager)
    : CPartialDatabaseRecord(manager, QStringLiteral("files"), QStringLiteral("file_id"))
{
}

CFileRecord::~CFileRecord() = default;

CFileRecord& CFileRecord::operator=(const CFileRecord& other)
{
    if (this == &other)
        return *this;
    CPartialDatabaseRecord::operator=(other);
    file_id = other.file_id;
    title = other.title;
    file_size = other.file_size;
    short_desc = other.short_desc;
    long_desc = other.long_desc;
    upld_name = other.upld_name;
    upld_email = other.upld_email;
    downloads = other.downloads;
    last_download = other.last_download;
    file_date = other.file_date;
    version = other.version;
    requires_form = other.requires_form;
    m_otherFields = other.m_otherFields;
    return *this;
}

QString CFileRecord::GetDefaultSQL() const
{
    return QStringLiteral("files");
}

QStringList CFileRecord::GetFields() const
{
    return {QStringLiteral("file_id"),    QStringLiteral("title"),     QStringLiteral("file_size"),
            QStringLiteral("short_desc"), QStringLiteral("long_desc"), QStringLiteral("upld_name"),
            QStringLiteral("upld_email"), QStringLiteral("downloads"), QStringLiteral("last_download"),
            QStringLiteral("file_date"),  QStringLiteral("version"),   QStringLiteral("requires_form")};
}

void CFileRecord::DoFieldExchange(CFieldExchange& fx)
{
    fx.Field(QStringLiteral("file_id"), file_id);
    fx.Field(QStringLiteral("title"), title, kTitleLength);
    fx.Field(QStringLiteral("file_size"), file_size);
    fx.Field(QStringLiteral("short_desc"), short_desc, kShortDescLength);
    fx.Field(QStringLiteral("long_desc"), long_desc, kLongDescLength);
    fx.Field(QStringLiteral("upld_name"), upld_name, kNameLength);
    fx.Field(QStringLiteral("upld_email"), upld_email, kNameLength);
    fx.Field(QStringLiteral("downloads"), downloads);
    fx.Field(QStringLiteral("last_download"), last_download);
    fx.Field(QStringLiteral("file_date"), file_date);
    fx.Field(QStringLiteral("version"), version, kVersionLength);
    fx.Field(QStringLiteral("requires_form"), requires_form);
    if (fx.IsLoading())
        m_otherFields = fx.GetOtherColumns();
}

void CFileRecord::ClearFields(qint64 key)
{
    CFileRecord empty(GetManager());
    *this = empty;
    file_id = double(key);
}

bool CFileRecord::Add()
{
    qint64 key = 0;
    try {
        CFieldExchange fx = CFieldExchange::ForStore();
        DoFieldExchange(fx);
        QStringList columns, marks;
        QVariantList values;
        // The database gives the new row its key; columns it does not know to this program are
        // carried over from the record this one was copied from.
        for (const auto& value : fx.GetStoredValues() + m_otherFields) {
            if (value.first.compare(QLatin1String("file_id"), Qt::CaseInsensitive) == 0)
                continue;
            columns.append(QuoteName(value.first));
            marks.append(QStringLiteral("?"));
            values.append(value.second);
        }
        CDatabaseManager* manager = GetManager();
        // The row is taken back when the database gives it an id this program could not tell apart
        // from another.
        CSavepoint savepoint(manager, QStringLiteral("add_file"));
        QVariantList added;
        manager->Run(QStringLiteral("INSERT INTO files (%1) VALUES (%2) RETURNING file_id")
                         .arg(columns.join(QStringLiteral(", ")), marks.join(QStringLiteral(", "))),
                     values, &added);
        key = added.value(0).toLongLong();
        if (added.size() != 1 || !IsExactKey(key))
            throw CDBException(SafeFormat(u"The database gave the new file the id %lld, beyond %lld: the "
                                          u"file was not added.",
                                          key, kMaxExactKey));
        if (!savepoint.Release())
            return false; // logged
    } catch (const CDBException& e) {
        GetManager()->LogError(e.GetErrorText());
        return false;
    }

    // The row is in the database now, so the file has been added whatever follows: a caller that
    // tried again would add it twice. Reading it back gives the values the database stored.
    CFileRecord added(GetManager());
    added = *this;
    try {
        m_recordSet.OpenKey(key);
        if (LoadPosition(1))
            return true;
    } catch (const CDBException& e) {
        GetManager()->LogError(e.GetErrorText());
    }
    *this = added;
    file_id = double(key);
    return true;
}

bool CFileRecord::Update()
{
    CDatabaseLockGuard lock(CDatabaseManager::DatabaseLock);
    CFileRecord copy(GetManager());
    if (!copy.GetByPrimaryKey(*this, true, true) || !copy.Edit())
        return false;
    copy = *this;
    return copy.UpdateRecord();
}

bool CFileRecord::Delete(QString* reason)
{
    const auto key = GetManager()->GetFileKey(file_id);
    if (!key) {
        if (reason)
            *reason = GetManager()->TakeLastError();
        return false;
    }
    QSqlDatabase db;
    CDatabaseManager::NoteWrite();
    try {
        db = GetManager()->GetConnection();
        if (!db.transaction())
            throw CDBException(SafeFormat(u"Cannot start a transaction to delete file %lld.", *key));
        QSqlQuery query(db);
        // Rows the site stored twice under one id are not this file alone: nothing is deleted.
        CDatabaseManager::Prepare(query, QStringLiteral("SELECT count(*) FROM files WHERE file_id = ?"));
        query.addBindValue(*key);
        CDatabaseManager::Exec(query);
        const qint64 rows = query.next() ? query.value(0).toLongLong() : 0;
        query.finish();
        if (rows > 1)
            throw CDBException(SafeFormat(u"%lld rows of files have the id %lld: none was deleted.", rows, *key));
        for (const char* table : {"download", "file_area", "files"}) {
            CDatabaseManager::Prepare(
                query, QStringLiteral("DELETE FROM %1 WHERE file_id = ?").arg(QLatin1String(table)));
            query.addBindValue(*key);
            CDatabaseManager::Exec(query);
        }
        if (!db.commit())
            throw CDBException(SafeFormat(u"Cannot commit the deletion of file %lld.", *key));
        return true;
    } catch (const CDBException& e) {
        if (db.isOpen())
            db.rollback();
        GetManager()->LogError(e.GetErrorText());
        if (reason)
            *reason = e.GetErrorText();
        return false;
    }
}

bool CFileRecord::GetByPrimaryKey(const CFileRecord& record, bool, bool)
{
    const auto key = GetManager()->GetFileKey(record.file_id);
    if (!key)
        return false;
    try {
        m_recordSet.OpenKey(*key);
        return LoadPosition(1);
    } catch (const CDBException& e) {
        GetManager()->LogError(e.GetErrorText());
        return false;
    }
}

QString CFileRecord::AreaKeyStatement()
{
    // Links whose file no longer exists (the web site may delete files without their links) are
    // not files of the area.
    return QStringLiteral("SELECT file_area.file_id FROM file_area JOIN files "
                          "ON files.file_id = file_area.file_id "
                          "WHERE file_area.area_id = ? ORDER BY file_area.file_id");
}

bool CFileRecord::GetAllFilesInArea(double areaId)
{
    try {
        OpenKeyStatement(AreaKeyStatement(), {qint64(areaId)});
        return true;
    } catch (const CDBException& e) {
        m_recordSet.Close();
        GetManager()->LogError(e.GetErrorText());
        return false;
    }
}

bool CFileRecord::RunForThisFile(const QString& statement, const QVariant& value)
{
    const auto key = GetManager()->GetFileKey(file_id);
    if (!key)
        return false;
    try {
        GetManager()->Run(statement, {value, *key});
        return true;
    } catch (const CDBException& e) {
        GetManager()->LogError(e.GetErrorText());
        return false;
    }
}

bool CFileRecord::AddToFileArea(double areaId)
{
    // Linking a file to an area it is already in changes nothing and is not an error.
    return RunForThisFile(QStringLiteral("INSERT INTO file_area (area_id, file_id) VALUES (?, ?) "
                                         "ON CONFLICT DO NOTHING"),
                          qint64(areaId));
}

bool CFileRecord::DeleteFromFileArea(double areaId)
{
    return RunForThisFile(QStringLiteral("DELETE FROM file_area WHERE area_id = ? AND file_id = ?"),
                          qint64(areaId));
}

bool CFileRecord::AddDownloadURL(const QString& url)
{
    return RunForThisFile(QStringLiteral("INSERT INTO download (url, file_id) VALUES (?, ?)"), url);
}

bool CFileRecord::DeleteDownloadURL(const QString& url)
{
    return RunForThisFile(QStringLiteral("DELETE FROM download WHERE url = ? AND file_id = ?"), url);
}

std::unique_ptr<CFileRecord> ReadFileOfListRow(CFileRecord& cursor, qint64 row)
{
    try {
        // Past the end (the list counted more rows than the cursor holds) or deleted meanwhile:
        // there is no file to act on, and a copy of some other row would be worse than none.
        if (!cursor.RereadPosition(row + 1))
            return nullptr;
    } catch (const CDBException& e) {
        cursor.GetManager()->LogError(e.GetErrorText());
        return nullptr;
    }
    auto copy = std::make_unique<CFileRecord>(&theDatabaseManager);
    *copy = cursor;
    return copy;
}

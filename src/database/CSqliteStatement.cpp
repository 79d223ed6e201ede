#include "database/CSqliteStatement.h"

#include "database/CDatabaseManager.h"
#include "database/CDBException.h"

#include <QSqlDriver>

#include <sqlite3.h>

sqlite3* SqliteHandle(const QSqlDatabase& db)
{
#ifndef TROVEPORT_SQLITE_DIRECT
    Q_UNUSED(db);
    return nullptr;
#endif
    if (!db.driver())
        return nullptr;
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.constData());
}

bool SqliteAutocommit(sqlite3* db)
{
    return sqlite3_get_autocommit(db) != 0;
}

CSqliteStatement::CSqliteStatement(sqlite3* db, const QString& statement) : m_db(db)
{
    const QByteArray sql = statement.toUtf8();
    if (sqlite3_prepare_v2(m_db, sql.constData(), int(sql.size()), &m_stmt, nullptr) != SQLITE_OK)
        Fail();
}

CSqliteStatement::~CSqliteStatement()
{
    sqlite3_finalize(m_stmt);
}

void CSqliteStatement::Fail() const
{
    const QString text = QString::fromUtf8(sqlite3_errmsg(m_db));
    throw CDBException((sqlite3_errcode(m_db) & 0xff) == SQLITE_BUSY ? CDatabaseManager::LockWaitText(text) : text);
}

void CSqliteStatement::Reset()
{
    sqlite3_reset(m_stmt);
}

void CSqliteStatement::Bind(const QVariantList& values)
{
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
    for (int i = 0; i < values.size(); ++i) {
        const QVariant& value = values[i];
        int status;
        switch (value.typeId()) {
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Bool:
            status = sqlite3_bind_int64(m_stmt, i + 1, value.toLongLong());
            break;
        case QMetaType::Double:
            status = sqlite3_bind_double(m_stmt, i + 1, value.toDouble());
            break;
        case QMetaType::QByteArray:
            if (value.toByteArray().isNull())
                status = sqlite3_bind_null(m_stmt, i + 1);
            else
                status = sqlite3_bind_blob64(m_stmt, i + 1, value.toByteArray().constData(),
                                             sqlite3_uint64(value.toByteArray().size()), SQLITE_TRANSIENT);
            break;
        default: {
            // A null string is stored as NULL, as Qt's own driver stores it.
            const QString text = value.toString();
            if (value.isNull() || text.isNull()) {
                status = sqlite3_bind_null(m_stmt, i + 1);
            } else {
                const QByteArray utf8 = text.toUtf8();
                status =
                    sqlite3_bind_text(m_stmt, i + 1, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
            }
        }
        }
        if (status != SQLITE_OK)
            Fail();
    }
}

void CSqliteStatement::BindUtf8(int parameter, const QByteArray& text)
{
    if (sqlite3_bind_text64(m_stmt, parameter, text.constData(), sqlite3_uint64(text.size()), SQLITE_TRANSIENT,
                            SQLITE_UTF8) != SQLITE_OK)
        Fail();
}

bool CSqliteStatement::Step()
{
    const int status = sqlite3_step(m_stmt);
    if (status == SQLITE_ROW)
        return true;
    if (status == SQLITE_DONE)
        return false;
    sqlite3_reset(m_stmt);
    Fail();
}

int CSqliteStatement::ColumnCount() const
{
    return sqlite3_column_count(m_stmt);
}

qint64 CSqliteStatement::Int64(int column) const
{
    return sqlite3_column_int64(m_stmt, column);
}

double CSqliteStatement::Double(int column) const
{
    return sqlite3_column_double(m_stmt, column);
}

bool CSqliteStatement::IsNull(int column) const
{
    return sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
}

bool CSqliteStatement::IsReal(int column) const
{
    return sqlite3_column_type(m_stmt, column) == SQLITE_FLOAT;
}

QByteArray CSqliteStatement::Utf8(int column) const
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
    return QByteArray(text, sqlite3_column_bytes(m_stmt, column));
}

QVariant CSqliteStatement::Value(int column) const
{
    switch (sqlite3_column_type(m_stmt, column)) {
    case SQLITE_INTEGER:
        return qint64(sqlite3_column_int64(m_stmt, column));
    case SQLITE_FLOAT:
        return sqlite3_column_double(m_stmt, column);
    case SQLITE_TEXT:
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column)),
                                 sqlite3_column_bytes(m_stmt, column));
    case SQLITE_BLOB:
        return QByteArray(static_cast<const char*>(sqlite3_column_blob(m_stmt, column)),
                          sqlite3_column_bytes(m_stmt, column));
    default:
        return QVariant();
    }
}

QStringList CSqliteStatement::ColumnNames() const
{
    QStringList names;
    for (int i = 0; i < ColumnCount(); ++i)
        names.append(QString::fromUtf8(sqlite3_column_name(m_stmt, i)));
    return names;
}

bool CSqliteStatement::HasColumns(const QList<QByteArray>& rawNames) const
{
    if (rawNames.size() != ColumnCount())
        return false;
    for (int i = 0; i < rawNames.size(); ++i) {
        if (qstrcmp(rawNames[i], sqlite3_column_name(m_stmt, i)) != 0)
            return false;
    }
    return true;
}

QList<QByteArray> CSqliteStatement::RawColumnNames() const
{
    QList<QByteArray> names;
    for (int i = 0; i < ColumnCount(); ++i)
        names.append(QByteArray(sqlite3_column_name(m_stmt, i)));
    return names;
}

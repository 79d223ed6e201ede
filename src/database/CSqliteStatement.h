#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>

struct sqlite3;
struct sqlite3_stmt;

// The SQLite handle under a Qt connection, or null when the connection is not SQLite's. The two
// paths that run once per row (collecting a cursor's keys, reading the row a cursor stands on) go
// straight to SQLite: through QSqlQuery they cost several times more per row.
sqlite3* SqliteHandle(const QSqlDatabase& db);
// True when the connection is outside any transaction.
bool SqliteAutocommit(sqlite3* db);

// A prepared SQLite statement. Failures throw CDBException with SQLite's message.
class CSqliteStatement
{
public:
    CSqliteStatement(sqlite3* db, const QString& statement);
    ~CSqliteStatement();
    CSqliteStatement(const CSqliteStatement&) = delete;
    CSqliteStatement& operator=(const CSqliteStatement&) = delete;

    // Binds values to the parameters in order, after resetting the statement. A QByteArray is bound
    // as a blob.
    void Bind(const QVariantList& values);
    // Binds bytes to one parameter (from 1) as UTF-8 text, exactly as they are: compared with a text
    // column as its own bytes are, where a blob would sort after every text.
    void BindUtf8(int parameter, const QByteArray& text);
    // Steps to the next row: true when there is one.
    bool Step();
    void Reset();

    int ColumnCount() const;
    qint64 Int64(int column) const;
    double Double(int column) const;
    bool IsNull(int column) const;
    bool IsReal(int column) const;
    // A text column's bytes as SQLite holds them, even when they are no valid UTF-8.
    QByteArray Utf8(int column) const;
    QVariant Value(int column) const;
    QStringList ColumnNames() const;
    // True when the statement's columns are exactly these, in this order.
    bool HasColumns(const QList<QByteArray>& rawNames) const;
    QList<QByteArray> RawColumnNames() const;

private:
    [[noreturn]] void Fail() const;

    sqlite3* m_db;
    sqlite3_stmt* m_stmt = nullptr;
};

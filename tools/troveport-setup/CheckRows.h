#pragma once

#include <QByteArray>
#include <QString>
#include <QVariantList>

#include <functional>

class CSqliteStatement;
class QSqlQuery;

// One row of a result as the check reads it. On SQLite the columns come straight from the
// statement: the check reads every record, link and location of a library, and through QVariant
// that costs several times more per row.
class CCheckRow
{
public:
    qint64 Int64(int column) const;
    double Double(int column) const;
    bool IsNull(int column) const;
    QString Text(int column) const;
    // The text as UTF-8, exactly as SQLite stores it (a location that is no valid UTF-8 included).
    QByteArray Utf8(int column) const;

private:
    friend void ForEachCheckRow(const QString&, const QVariantList&, const std::function<void(const CCheckRow&)>&);
    const CSqliteStatement* m_statement = nullptr;
    const QSqlQuery* m_query = nullptr;
};

// Runs a statement with the values bound to its parameters in order and hands each row to row. A
// QByteArray value is bound as UTF-8 text. Throws CDBException.
void ForEachCheckRow(const QString& statement, const QVariantList& values,
                     const std::function<void(const CCheckRow&)>& row);

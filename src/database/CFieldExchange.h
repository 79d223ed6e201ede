#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>

// One row as read from the database: its column names and values, in the same order.
struct CRowValues
{
    QStringList names;
    QVariantList values;
    QList<QByteArray> rawNames; // the names in the database's own bytes, to notice a changed table
};

// Moves a record's fields between its members and a database row, in one direction: loading from
// a row that was read, or storing into the values of a statement about to run.
class CFieldExchange
{
public:
    using Values = QList<QPair<QString, QVariant>>;

    static CFieldExchange ForLoad(const CRowValues& row) { return CFieldExchange(&row); }
    static CFieldExchange ForStore() { return CFieldExchange(nullptr); }
    // Stores as ForStore does, without refusing texts longer than their fields: what a row read
    // from the database holds, to see later which fields were changed.
    static CFieldExchange ForSnapshot()
    {
        CFieldExchange fx(nullptr);
        fx.m_checkLimits = false;
        return fx;
    }
    // Stores only the fields whose values differ from a snapshot; only those must fit their fields.
    static CFieldExchange ForChanges(const Values& snapshot)
    {
        CFieldExchange fx(nullptr);
        fx.m_snapshot = &snapshot;
        return fx;
    }

    bool IsLoading() const { return m_row != nullptr; }

    void Field(const QString& column, double& value);
    void Field(const QString& column, quint32& value);
    void Field(const QString& column, qint32& value);
    // Storing a text longer than maxCharacters throws CDBException: the column cannot hold it.
    void Field(const QString& column, QString& value, int maxCharacters);

    // The values collected while storing, in field order.
    const Values& GetStoredValues() const { return m_values; }
    // The columns of the row that no field took, with their values.
    Values GetOtherColumns() const;

private:
    explicit CFieldExchange(const CRowValues* row) : m_row(row), m_taken(row ? row->names.size() : 0, false)
    {
    }
    QVariant Load(const QString& column);

    // Collects a value to store, unless the snapshot holds it already; false when it is not stored.
    bool Store(const QString& column, const QVariant& value);

    const CRowValues* m_row;
    bool m_checkLimits = true;
    const Values* m_snapshot = nullptr;
    Values m_values;
    QList<bool> m_taken;
    qsizetype m_next = 0; // fields usually come in column order: look there first
};

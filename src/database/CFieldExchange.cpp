#include "database/CFieldExchange.h"

#include "database/CDBException.h"
#include "files/CodePoints.h"
#include "files/SafeFormat.h"

QVariant CFieldExchange::Load(const QString& column)
{
    const QStringList& names = m_row->names;
    qsizetype i = m_next;
    // Names normally match exactly and in order; only then is case ignored, or the list searched.
    if (i >= names.size() || (names[i] != column && names[i].compare(column, Qt::CaseInsensitive) != 0)) {
        i = 0;
        while (i < names.size() && names[i].compare(column, Qt::CaseInsensitive) != 0)
            ++i;
        if (i == names.size())
            return QVariant(); // a column the database does not have reads as empty
    }
    m_taken[i] = true;
    m_next = i + 1;
    return m_row->values.value(i);
}

bool CFieldExchange::Store(const QString& column, const QVariant& value)
{
    if (m_snapshot) {
        for (const auto& field : *m_snapshot) {
            if (field.first == column && field.second == value)
                return false;
        }
    }
    m_values.append({column, value});
    return true;
}

void CFieldExchange::Field(const QString& column, double& value)
{
    if (IsLoading())
        value = Load(column).toDouble();
    else
        Store(column, value);
}

void CFieldExchange::Field(const QString& column, quint32& value)
{
    if (IsLoading())
        value = quint32(Load(column).toLongLong());
    else
        Store(column, qint64(value));
}

void CFieldExchange::Field(const QString& column, qint32& value)
{
    if (IsLoading())
        value = qint32(Load(column).toLongLong());
    else
        Store(column, value);
}

void CFieldExchange::Field(const QString& column, QString& value, int maxCharacters)
{
    if (IsLoading()) {
        value = Load(column).toString();
        return;
    }
    // A null QString would be stored as NULL; the columns hold empty texts instead.
    if (Store(column, value.isNull() ? QString(QLatin1String("")) : value) && m_checkLimits &&
        CodePointCount(value) > maxCharacters)
        throw CDBException(
            SafeFormat(u"The value of field %s is longer than %d characters.", column, maxCharacters));
}

CFieldExchange::Values CFieldExchange::GetOtherColumns() const
{
    Values others;
    if (!m_row)
        return others;
    for (qsizetype i = 0; i < m_row->names.size(); ++i) {
        if (!m_taken[i])
            others.append({m_row->names[i], m_row->values.value(i)});
    }
    return others;
}

#include "database/SqlDialect.h"

#include <QRegularExpression>

bool IsWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

// A doubled quote inside a quoted text toggles twice.
qsizetype FindKeyword(const QString& sql, QLatin1String keyword, qsizetype from)
{
    bool quoted = false;
    for (qsizetype i = 0; i < sql.size(); ++i) {
        if (sql[i] == QLatin1Char('\'')) {
            quoted = !quoted;
        } else if (!quoted && i >= from &&
                   QStringView(sql).mid(i, keyword.size()).compare(keyword, Qt::CaseInsensitive) == 0 &&
                   (i == 0 || !IsWordChar(sql[i - 1])) &&
                   (i + keyword.size() >= sql.size() || !IsWordChar(sql[i + keyword.size()]))) {
            return i;
        }
    }
    return -1;
}

namespace {

// "distinctrow" is DISTINCT over whole rows; replaced only where it is a keyword, never inside a
// quoted text the user typed.
QString ReplaceDistinctRow(QString sql)
{
    static const QLatin1String keyword("distinctrow");
    for (qsizetype at = FindKeyword(sql, keyword); at >= 0; at = FindKeyword(sql, keyword, at))
        sql.replace(at, keyword.size(), QStringLiteral("distinct"));
    return sql;
}

} // namespace

QString FoldAsciiCase(const QString& expression)
{
    // Under the "C" collation lower() changes A to Z alone, whatever the database's encoding and
    // locale, byte by byte. translate() with the 26 letters does the same but looks each character
    // up in its list: some 30 times slower, which every row of a search without an index, and every
    // row an index finds for a common word, pays.
    return QStringLiteral("lower((%1) COLLATE \"C\")").arg(expression);
}

QString QuoteName(const QString& name)
{
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
           QLatin1Char('"');
}

std::optional<CKeySelection> SelectKeys(const QString& statement, const QString& table,
                                        const QString& keyColumn)
{
    CKeySelection selection{ReplaceDistinctRow(statement.trimmed())};
    if (selection.sql.isEmpty())
        return std::nullopt;
    const QRegularExpression allColumns(
        QStringLiteral("^(select\\s+(?:distinct\\s+)?)(?:%1\\.)?\\*(\\s+from\\s)")
            .arg(QRegularExpression::escape(table)),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = allColumns.match(selection.sql);
    if (match.hasMatch()) {
        selection.keyOnly = true;
        selection.distinct = match.captured(1).contains(QLatin1String("distinct"), Qt::CaseInsensitive);
        selection.sql.replace(allColumns, QStringLiteral("\\1%1.%2\\2").arg(table, keyColumn));
    }
    return selection;
}

#include "database/SqlDialect.h"

#include <QRegularExpression>

namespace {

bool IsWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

// "distinctrow" is DISTINCT over whole rows; replaced only where it is a keyword, never inside a
// quoted text the user typed.
QString ReplaceDistinctRow(const QString& statement)
{
    static const QString keyword = QStringLiteral("distinctrow");
    QString out;
    out.reserve(statement.size());
    bool quoted = false;
    for (qsizetype i = 0; i < statement.size(); ++i) {
        const QChar c = statement[i];
        if (c == QLatin1Char('\'')) {
            quoted = !quoted; // a doubled quote inside a text toggles twice
        } else if (!quoted && statement.mid(i, keyword.size()).compare(keyword, Qt::CaseInsensitive) == 0 &&
                   (i == 0 || !IsWordChar(statement[i - 1])) &&
                   (i + keyword.size() >= statement.size() || !IsWordChar(statement[i + keyword.size()]))) {
            out += QStringLiteral("distinct");
            i += keyword.size() - 1;
            continue;
        }
        out += c;
    }
    return out;
}

} // namespace

QString KeyStatementFor(const QString& statement, const QString& table, const QString& keyColumn)
{
    QString sql = ReplaceDistinctRow(statement.trimmed());
    if (sql.isEmpty())
        return QString();
    // The usual form selects every column of the table: the key alone gives the same rows, and
    // DISTINCT over the key equals DISTINCT over whole rows because the key is unique.
    const QRegularExpression allColumns(
        QStringLiteral("^(select\\s+(?:distinct\\s+)?)(?:%1\\.)?\\*(\\s+from\\s)")
            .arg(QRegularExpression::escape(table)),
        QRegularExpression::CaseInsensitiveOption);
    if (allColumns.match(sql).hasMatch())
        return sql.replace(allColumns, QStringLiteral("\\1%1.%2\\2").arg(table, keyColumn));
    return QStringLiteral("SELECT %1 FROM (%2)").arg(keyColumn, sql);
}

#include "database/PostgresDialect.h"

#include <QRegularExpression>
#include <QStringList>

namespace {

// "column like 'text'" as PostgreSQL must say it to mean what SQLite does: the case of ASCII
// letters ignored on both sides and no other, and a backslash a plain character, not an escape.
QString RewriteLike(QString sql)
{
    qsizetype at = 0;
    while ((at = FindKeyword(sql, QLatin1String("like"), at)) >= 0) {
        // The operand is the name before the keyword: "column" or "table.column".
        qsizetype end = at;
        while (end > 0 && sql[end - 1].isSpace())
            --end;
        qsizetype begin = end;
        while (begin > 0 && (IsWordChar(sql[begin - 1]) || sql[begin - 1] == QLatin1Char('.')))
            --begin;
        // The pattern is the quoted text after it, with quotes inside doubled.
        qsizetype open = at + 4;
        while (open < sql.size() && sql[open].isSpace())
            ++open;
        qsizetype close = open + 1;
        while (open < sql.size() && sql[open] == QLatin1Char('\'') && close < sql.size()) {
            if (sql[close] == QLatin1Char('\'') &&
                !(close + 1 < sql.size() && sql[close + 1] == QLatin1Char('\'')))
                break;
            close += sql[close] == QLatin1Char('\'') ? 2 : 1;
        }
        if (begin == end || open >= sql.size() || sql[open] != QLatin1Char('\'') || close >= sql.size()) {
            at += 4;
            continue;
        }
        QString pattern = sql.mid(open + 1, close - open - 1);
        for (QChar& c : pattern) {
            if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
                c = QChar(c.unicode() + ('a' - 'A'));
        }
        pattern.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
        const QString replacement = FoldAsciiCase(sql.mid(begin, end - begin)) + QStringLiteral(" LIKE '") +
                                    pattern + QLatin1Char('\'');
        sql.replace(begin, close + 1 - begin, replacement);
        at = begin + replacement.size();
    }
    return sql;
}

// Splits off the statement's own ORDER BY, with titles sorted as SQLite's NOCASE column sorts them.
QString TakePostgresOrder(QString* sql)
{
    qsizetype orderBy = FindKeyword(*sql, QLatin1String("order"));
    while (orderBy >= 0 &&
           !QStringView(*sql).mid(orderBy + 5).trimmed().startsWith(QLatin1String("by"), Qt::CaseInsensitive))
        orderBy = FindKeyword(*sql, QLatin1String("order"), orderBy + 5);
    if (orderBy < 0)
        return QString();
    QString order = sql->mid(orderBy).trimmed();
    sql->truncate(orderBy);
    static const QRegularExpression title(QStringLiteral("\\b((?:\\w+\\.)?title)\\b"),
                                          QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = title.match(order);
    if (match.hasMatch())
        order.replace(match.capturedStart(1), match.capturedLength(1),
                      FoldAsciiCase(match.captured(1)) + QStringLiteral(" COLLATE \"C\""));
    return order;
}

// The text with its quoted texts left out: what the statement itself says.
QString OutsideQuotes(const QString& sql)
{
    QString out;
    bool quoted = false;
    for (const QChar c : sql) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        else if (!quoted)
            out += c;
    }
    return out;
}

// A search of files and their locations ("from files inner join download on ... where a or b")
// as PostgreSQL can answer it from the indexes of both tables: the files whose own fields match,
// united with the files one of whose locations matches, among the files that have a location (the
// join lists no others). Conditions joined by OR across the join would make it read both tables
// whole. Empty when the statement has another shape.
QString PostgresSearchOfLocations(const QString& sql)
{
    static const QRegularExpression shape(
        QStringLiteral(
            "^select\\s+(?:distinct\\s+)?files\\.file_id\\s+from\\s+files\\s+inner\\s+join\\s+download\\s+"
            "on\\s+files\\.file_id\\s*=\\s*download\\.file_id\\s+where\\s+"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = shape.match(sql);
    if (!match.hasMatch())
        return QString();
    QStringList ofFiles, ofLocations;
    qsizetype begin = match.capturedEnd();
    for (;;) {
        const qsizetype orAt = FindKeyword(sql, QLatin1String("or"), begin);
        const QString term = sql.mid(begin, orAt < 0 ? -1 : orAt - begin).trimmed();
        const QString said = OutsideQuotes(term);
        if (said.contains(QLatin1String("download."), Qt::CaseInsensitive))
            ofLocations.append(term);
        else if (said.contains(QLatin1String("files."), Qt::CaseInsensitive))
            ofFiles.append(term);
        else
            return QString();
        if (orAt < 0)
            break;
        begin = orAt + 2;
    }
    if (ofLocations.isEmpty())
        return QString();
    QString matching = QStringLiteral("SELECT download.file_id FROM download WHERE ") +
                       ofLocations.join(QStringLiteral(" OR "));
    if (!ofFiles.isEmpty())
        matching = QStringLiteral("SELECT files.file_id FROM files WHERE ") +
                   ofFiles.join(QStringLiteral(" OR ")) + QStringLiteral(" UNION ") + matching;
    return QStringLiteral("SELECT files.file_id FROM files WHERE files.file_id IN (%1) AND EXISTS "
                          "(SELECT 1 FROM download WHERE download.file_id = files.file_id)")
        .arg(matching);
}

} // namespace

// DISTINCT on PostgreSQL sorts only by what it selects; grouping by the key gives the same rows and
// may be sorted by any column of the table.
QString PostgresKeyStatement(const CKeySelection& selection, const QString& table, const QString& keyColumn)
{
    QString sql = RewriteLike(selection.sql);
    QString order = TakePostgresOrder(&sql);
    sql = sql.trimmed();
    if (!selection.keyOnly) {
        const QString selected = order.isEmpty() ? sql : sql + QLatin1Char(' ') + order;
        return QStringLiteral("SELECT %1 FROM (%2) AS selected").arg(keyColumn, selected);
    }
    const QString key = table + QLatin1Char('.') + keyColumn;
    if (const QString split = PostgresSearchOfLocations(sql); !split.isEmpty())
        return order.isEmpty() ? split : split + QLatin1Char(' ') + order + QStringLiteral(", ") + key;
    if (selection.distinct) {
        static const QRegularExpression distinctKeyword(QStringLiteral("^(select\\s+)distinct\\s+"),
                                                        QRegularExpression::CaseInsensitiveOption);
        sql.replace(distinctKeyword, QStringLiteral("\\1"));
        sql += QStringLiteral(" GROUP BY ") + key;
    }
    return order.isEmpty() ? sql : sql + QLatin1Char(' ') + order + QStringLiteral(", ") + key;
}

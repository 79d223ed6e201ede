#include "database/SqlDialect.h"

#include <QRegularExpression>

namespace {

bool IsWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

// The position of a keyword from a position on, outside quoted texts (a doubled quote inside a text
// toggles twice), as a whole word; -1 when there is none.
qsizetype FindKeyword(const QString& sql, QLatin1String keyword, qsizetype from = 0)
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

// "distinctrow" is DISTINCT over whole rows; replaced only where it is a keyword, never inside a
// quoted text the user typed.
QString ReplaceDistinctRow(QString sql)
{
    static const QLatin1String keyword("distinctrow");
    for (qsizetype at = FindKeyword(sql, keyword); at >= 0; at = FindKeyword(sql, keyword, at))
        sql.replace(at, keyword.size(), QStringLiteral("distinct"));
    return sql;
}

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

// The key statement on PostgreSQL. DISTINCT there sorts only by what it selects; grouping by the key
// gives the same rows and may be sorted by any column of the table. Ties sort by key.
QString PostgresKeyStatement(QString sql, const QString& table, const QString& keyColumn, bool keyOnly,
                             bool distinct)
{
    sql = RewriteLike(sql);
    QString order = TakePostgresOrder(&sql);
    sql = sql.trimmed();
    if (!keyOnly) {
        const QString selected = order.isEmpty() ? sql : sql + QLatin1Char(' ') + order;
        return QStringLiteral("SELECT %1 FROM (%2) AS selected").arg(keyColumn, selected);
    }
    const QString key = table + QLatin1Char('.') + keyColumn;
    if (const QString split = PostgresSearchOfLocations(sql); !split.isEmpty())
        return order.isEmpty() ? split : split + QLatin1Char(' ') + order + QStringLiteral(", ") + key;
    if (distinct) {
        static const QRegularExpression distinctKeyword(QStringLiteral("^(select\\s+)distinct\\s+"),
                                                        QRegularExpression::CaseInsensitiveOption);
        sql.replace(distinctKeyword, QStringLiteral("\\1"));
        sql += QStringLiteral(" GROUP BY ") + key;
    }
    return order.isEmpty() ? sql : sql + QLatin1Char(' ') + order + QStringLiteral(", ") + key;
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

QString KeyStatementFor(const QString& statement, const QString& table, const QString& keyColumn,
                        SqlEngine engine)
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
    const QRegularExpressionMatch match = allColumns.match(sql);
    if (match.hasMatch()) {
        const bool distinct = match.captured(1).contains(QLatin1String("distinct"), Qt::CaseInsensitive);
        sql.replace(allColumns, QStringLiteral("\\1%1.%2\\2").arg(table, keyColumn));
        return engine == SqlEngine::Postgres ? PostgresKeyStatement(sql, table, keyColumn, true, distinct)
                                             : sql;
    }
    if (engine == SqlEngine::Postgres)
        return PostgresKeyStatement(sql, table, keyColumn, false, false);
    return QStringLiteral("SELECT %1 FROM (%2)").arg(keyColumn, sql);
}

#pragma once

#include <QString>

#include <optional>

// The statements the explorer writes use Access's dialect ("distinctrow", LIKE with % and _); each
// engine turns them into its own (CDatabaseEngine::KeyStatement) from what they have in common here.

// A statement brought to the key column of its table, before an engine finishes it.
struct CKeySelection
{
    QString sql;
    // The statement selected every column of the table and now selects the key alone; otherwise it
    // selects what it did, and the key is taken from its result.
    bool keyOnly = false;
    bool distinct = false;
};

// The statement with "distinctrow" made DISTINCT and, when it selects every column of the table,
// the key column alone: the same rows, and DISTINCT over the key equals DISTINCT over whole rows
// because the key is unique. None for an empty statement.
std::optional<CKeySelection> SelectKeys(const QString& statement, const QString& table,
                                        const QString& keyColumn);

// The position of a keyword from a position on, outside quoted texts, as a whole word; -1 when there
// is none.
qsizetype FindKeyword(const QString& sql, QLatin1String keyword, qsizetype from = 0);
bool IsWordChar(QChar c);

// A table or column name as SQL needs it whatever the web site called it ("group", "my rating").
QString QuoteName(const QString& name);

// The expression with the case of ASCII letters folded, other characters as they are: how
// PostgreSQL statements compare as SQLite's LIKE and NOCASE do.
QString FoldAsciiCase(const QString& expression);

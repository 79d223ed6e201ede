#pragma once

#include <QString>

enum class SqlEngine
{
    Sqlite,
    Postgres,
};

// Turns a statement in the dialect the explorer writes (Access's "distinctrow", LIKE with % and _)
// into one that the engine runs with the same meaning and that yields only the key column of the rows,
// in the statement's order: a cursor keeps keys and reads a row only when it is positioned on it.
// An empty statement gives an empty result.
QString KeyStatementFor(const QString& statement, const QString& table, const QString& keyColumn,
                        SqlEngine engine = SqlEngine::Sqlite);

// The expression with the case of ASCII letters folded, other characters as they are: how
// PostgreSQL statements compare as SQLite's LIKE and NOCASE do.
QString FoldAsciiCase(const QString& expression);

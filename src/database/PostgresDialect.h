#pragma once

#include "database/SqlDialect.h"

#include <QString>

// The key statement on PostgreSQL for a statement brought to its key (SelectKeys): LIKE compares as
// SQLite's does, titles sort as SQLite's NOCASE column sorts them, and ties sort by key.
QString PostgresKeyStatement(const CKeySelection& selection, const QString& table, const QString& keyColumn);

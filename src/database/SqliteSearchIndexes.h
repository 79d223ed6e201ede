#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class CDatabaseManager;

// The search indexes of an SQLite library: FTS5 tables with the trigram tokenizer, one over the
// searched texts of files (its rows are the files' rows, read from files itself) and one holding the
// download locations of each file. Triggers on files and download note each file whose texts or
// locations change, whoever writes it (the web site too), in search_pending; searches take those
// files as candidates as well, and bring the indexes up to date when the database is free. The
// index only names candidates: a search still applies its own LIKE conditions to them, so it finds
// exactly what reading every row finds.

// Makes the index tables and their triggers, empty (a new database: no rows to index yet).
QStringList SqliteSearchIndexStatements();
// Drops them, the triggers first.
QStringList SqliteDropSearchIndexStatements();
// Indexes the rows already there, in batches of files, reporting the percent done. Inside a
// transaction.
void FillSqliteSearchIndexes(CDatabaseManager& manager, const std::function<void(int percent)>& progress,
                             qint64 batch = 20000);
// Brings the indexes up to date with (at most `most`, or all when 0) of the files the triggers noted
// as changed, in one transaction; true when it did. Without `wait`, only when the database is free
// at once, and a failure is only logged; with it, as any write waits, and a failure is thrown.
bool SqliteCatchUpSearchIndexes(CDatabaseManager& manager, qint64 most, bool wait);
// True when the calling thread's connection finds the index tables and every trigger that keeps
// them current; without a trigger the index may miss rows, so it is not used.
bool SqliteSearchIndexesPresent(CDatabaseManager& manager);
// A search (the key statement CSqliteEngine::KeyStatement makes of a search statement) as the
// indexes answer it: the files they name, and the statement that keeps those of them that the
// search's own conditions match, in the search's order: the same rows as the key statement. None
// when the statement is not a search, or has a condition without three characters in a row that
// are not wildcards.
struct CIndexedSearch
{
    QString candidates;
    QString statement;
};
std::optional<CIndexedSearch> SqliteIndexedSearch(const QString& keyStatement);
// What to run for a key statement on the calling thread's connection: the indexed search when the
// indexes are there and name few enough files to be quicker than reading every row; otherwise
// the key statement itself.
QString SqliteSearchStatement(CDatabaseManager& manager, const QString& keyStatement);

#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class CDatabaseManager;

// The search indexes of an SQLite library: FTS5 tables with the trigram tokenizer, one over the
// searched texts of files (its rows are the files' rows, read from files itself) and one holding the
// download locations of each file, kept current by triggers on files and download so that rows the
// web site writes are indexed without its help. The index only names candidates: a search still
// applies its own LIKE conditions to them, so it finds exactly what reading every row finds.

// Makes the index tables and their triggers, empty (a new database: no rows to index yet).
QStringList SqliteSearchIndexStatements();
// Drops them, the triggers first.
QStringList SqliteDropSearchIndexStatements();
// Indexes the rows already there, in batches of files, reporting the percent done. Inside a
// transaction.
void FillSqliteSearchIndexes(CDatabaseManager& manager, const std::function<void(int percent)>& progress,
                             qint64 batch = 20000);
// True when the calling thread's connection finds the index tables and every trigger that keeps
// them current; without a trigger the index may miss rows, so it is not used.
bool SqliteSearchIndexesPresent(CDatabaseManager& manager);
// The key statement of a search (CSqliteEngine::KeyStatement of a search statement) as the indexes
// answer it: the same rows in the same order. Empty when the statement is not a search or has a
// condition without three characters in a row that are not wildcards: those are read row by row.
QString SqliteIndexedSearch(const QString& keyStatement);

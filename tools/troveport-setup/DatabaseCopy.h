#pragma once

#include <QString>
#include <QTextStream>

// Copies the library's SQLite database into the PostgreSQL database the URI names, which must hold
// no files: every row and column of files, download and file_area, columns the web site added
// included, with the same file ids and the same order of download locations. One transaction:
// when it fails (the reason in *error), PostgreSQL holds nothing of the copy.
bool CopyDatabaseToPostgres(const QString& sqliteFile, const QString& uri, QTextStream& out, QString* error);

// Makes (on) or drops the trigram indexes that serve searches on the database theDatabaseManager is
// set to (on SQLite the rows are indexed anew, with the percent done shown).
bool SetSearchIndexes(bool on, QTextStream& out, QString* error);

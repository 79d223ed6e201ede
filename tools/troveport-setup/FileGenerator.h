#pragma once

#include <QString>
#include <QTextStream>

// Fills an area with generated files (for benchmarks and trials): varied titles and descriptions,
// one download location each, linked to the area, in theDatabaseManager's database. The same area
// and count always give the same files, on either engine. Runs in one transaction, so an
// interrupted run leaves nothing half done.
// A word in no list of the generator's, for searches that find few files: in the title of every
// 6000th file, the short description of another and the long description of a third.
inline constexpr const char* kRareWord = "Quokka";

// With copiesDirectory (the area's directory), each file also gets a copy of its own there, of the
// size its record gives, written in subdirectories of a thousand files ("g0012/file12345.zip"),
// and a local location in place of the web address. Copies written before a failure stay on disk:
// the check finds them as files no location names.
bool GenerateFiles(quint32 areaId, qint64 count, QTextStream& out, QString* error,
                   const QString& copiesDirectory = QString());

// Brings the search indexes of an SQLite library up to date with the files added (a search would
// take them in a few at a time); says how long it took. True, doing nothing, on PostgreSQL.
bool CatchUpSearchIndexes(QTextStream& out, QString* error);

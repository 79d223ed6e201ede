#pragma once

#include <QString>
#include <QTextStream>

// The demonstration library's usual place: $XDG_DATA_HOME/troveport/demo.
QString DefaultDemoDirectory();

// Makes a demonstration library under baseDirectory (its database, web root and area directories)
// and points the machine settings at it. Refuses to touch a directory that already holds one. With
// a PostgreSQL connection URI the files go into that (empty) database instead of an SQLite file,
// and the machine setting DatabaseConnection names it.
bool CreateDemoLibrary(const QString& baseDirectory, QTextStream& out, QString* error,
                       const QString& databaseConnection = QString());

#pragma once

#include <QString>
#include <QStringList>

// What the Add Files wizard does without a window: finding the files of a directory, naming them,
// and importing one file into an area that hosts files locally.

// The area the files go to: its identifier, name and directory (ending in "/").
struct AddFilesHost
{
    quint32 id = 0;
    QString name;
    QString directory;
};

// Appends the files that the directory text names: every file of a directory, or the files that
// match a wildcard pattern in its last part (fnmatch, case-sensitively), in name order. With
// subdirectories, every file of every subdirectory too (whatever the pattern), except those whose
// names begin with ".". False only when the text cannot be made a full path.
bool CollectFiles(const QString& directory, QStringList& files, bool includeSubdirectories);

// True when some file lies outside the host directory and must be copied into it.
bool NeedsCopy(const QStringList& files, const QString& hostDirectory);

// The title a file gets from its name: the name up to its last "."; a name without lowercase
// letters gets only its first character in capitals.
QString MakeFileTitle(const QString& fileName);

// Imports one file: copies it into the host directory when it lies outside it, then stores its
// record, its area link and its local location. Each failure appends one line to log. True when
// the record was added.
bool ImportFile(const QString& path, const AddFilesHost& host, bool extractDescriptions, QString& log);

// The results log's last line.
QString AddedSummaryLine(int added);

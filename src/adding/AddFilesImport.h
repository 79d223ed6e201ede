#pragma once

#include "adding/LocalLocation.h"
#include "files/SafeFiles.h"

#include <QString>
#include <QStringList>

#include <functional>

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

// Where an import reads and writes: the host area's directory, opened once, and the areas' directories
// to tell which files lie in a directory the site can write.
struct CImportPlaces
{
    CSafeDirectory hostDirectory;
    CAreaDirectories areas;
};

// Imports one file: copies it into the host directory when it lies outside it, then stores its
// record, its area link and its local location. A file in an area is opened through the file
// layer, and refused when a link stands on its way. Each failure appends one line to log. True
// when the record was added.
bool ImportFile(const QString& path, const AddFilesHost& host, const CImportPlaces& places,
                bool extractDescriptions, QString& log);

// Imports the files in turn. The database writes are committed in batches of a fraction of a
// second, because a commit per file cost more than the rest of the import; the web site waits no
// longer than one batch to write. beforeFile is called with each file's index before it is
// imported; when it returns false the run stops there, with the files imported so far committed.
// A batch the database refuses to commit turns each of its files into an error line. Returns how
// many files were added.
int ImportFiles(const QStringList& files, const AddFilesHost& host, bool extractDescriptions, QString& log,
                const std::function<bool(qsizetype)>& beforeFile);

// The results log's last line.
QString AddedSummaryLine(int added);

#pragma once

#include "adding/download/LocalLocation.h"
#include "files/SafeFiles.h"

#include <QString>
#include <QStringList>

#include <functional>

// What the Add Files wizard does without a window: naming the files and importing them into an
// area that hosts files locally. FileCollection.h finds them.

// The area the files go to: its identifier, name and directory (ending in "/").
struct AddFilesHost
{
    quint32 id = 0;
    QString name;
    QString directory;
};

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

// A copy an import wrote into the host directory: its name there, and whether it took the place of
// a file that was there before.
struct ImportedCopy
{
    QByteArray name;
    bool replacedAFile = false;
};

// Imports one file: copies it into the host directory when it lies outside it, then stores its
// record, its area link and its local location. A file in an area is opened through the file
// layer, and refused when a link stands on its way. Each failure appends one line to log; a copy
// whose record could not be added is taken back (TakeBackCopy). True when the record was added;
// *copy then tells the copy made for it, if any.
bool ImportFile(const QString& path, const AddFilesHost& host, const CImportPlaces& places,
                bool extractDescriptions, QString& log, ImportedCopy* copy = nullptr);

// For a copy that no record names after all: removes it from the host directory. One that replaced
// a file of its name stays (what was there is gone already), and so does one that cannot be
// removed: a line in log says so, with the reason.
void TakeBackCopy(const CSafeDirectory& hostDirectory, const ImportedCopy& copy, QString& log);

// Imports the files in turn. The database writes are committed in batches of a fraction of a
// second, because a commit per file cost more than the rest of the import; the web site waits no
// longer than one batch to write. beforeFile is called with each file's index before it is
// imported; when it returns false the run stops there, with the files imported so far committed.
// A batch the database refuses to commit turns each of its files into an error line, and its
// copies are taken back. Returns how many files were added.
int ImportFiles(const QStringList& files, const AddFilesHost& host, bool extractDescriptions, QString& log,
                const std::function<bool(qsizetype)>& beforeFile);

// The results line for a file or directory that could not be opened, with the reason.
QString OpeningErrorLine(const QString& path, const FileFault& fault);

// The results log's last line.
QString AddedSummaryLine(int added);

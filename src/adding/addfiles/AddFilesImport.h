#pragma once

#include "adding/download/LocalLocation.h"
#include "files/SafeCopy.h"
#include "files/SafeFiles.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

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

// A copy an import wrote into the host directory: its name there, and whether it took the place of
// a file that was there before.
struct ImportedCopy
{
    QByteArray name;
    bool replacedAFile = false;
};

// One file of an import as the reading stage leaves it: named, opened and described, or the results
// line that says why it cannot be imported.
struct PreparedFile
{
    QString path;      // as the list gives it
    QString errorLine; // when not empty, the file is not imported and nothing below is set
    QString name;      // its name, without the directory
    QString destination;
    QString location;
    bool copy = false; // lies outside the host directory
    CSafeFile source;
    // The copy written ahead into the host directory under a temporary name, when it was.
    std::optional<CPendingCopy> pendingCopy;
    bool described = false; // descriptions were asked for: brief and detailed hold them
    QString brief;
    QString detailed;
};

// The reading stage of one file: its full path, where it goes, the file opened (through the file
// layer when it lies in an area, so that a link there is refused), when asked its descriptions read
// from that open file, and, given the host directory, its copy written there under a temporary name
// when no file has its name yet. Touches neither the database nor any name in the host directory,
// so it can run ahead of the storing stage.
PreparedFile PrepareFile(const QString& path, const AddFilesHost& host, const CAreaDirectories& areas,
                         bool extractDescriptions, const CSafeDirectory* hostDirectory = nullptr);

// The storing stage: copies the prepared file into the host directory when it lies outside it (puts
// the copy written ahead under its name, or copies it now), then
// stores its record, its area link and its local location. Each failure appends one line to log; a
// copy whose record could not be added is taken back (TakeBackCopy). True when the record was
// added; *copy then tells the copy made for it, if any.
bool StoreFile(PreparedFile& file, const AddFilesHost& host, const CSafeDirectory& hostDirectory, QString& log,
               ImportedCopy* copy = nullptr);

// For a copy that no record names after all: removes it from the host directory. One that replaced
// a file of its name stays (what was there is gone already), and so does one that cannot be
// removed: a line in log says so, with the reason.
void TakeBackCopy(const CSafeDirectory& hostDirectory, const ImportedCopy& copy, QString& log);

// Imports the files in turn. Each file is read (opened, its descriptions extracted) on a thread of
// its own while the one before it is copied and stored, so the disk and the database work overlap;
// the database work stays on the calling thread and the results lines come in list order. The
// database writes are committed in batches of a fraction of a second, because a commit per file
// cost more than the rest of the import; the web site waits no longer than one batch to write.
// beforeFile is called with each file's index before it is stored; when it returns false the run
// stops there, with the files imported so far committed and none after it touched. A batch the
// database refuses to commit turns each of its files into an error line, and its copies are taken
// back. Returns how many files were added.
int ImportFiles(const QStringList& files, const AddFilesHost& host, bool extractDescriptions, QString& log,
                const std::function<bool(qsizetype)>& beforeFile);

// The import the Add Files wizard's worker runs, whole: ImportFiles, then, when files were added, the
// search indexes brought up to date with them (beforeIndexing is called first, to say so), then the
// summary line at the end of log. Both the wizard and troveport-setup import through it, so their
// records and results agree. Returns how many files were added.
int ImportAndIndexFiles(const QStringList& files, const AddFilesHost& host, bool extractDescriptions,
                        QString& log, const std::function<bool(qsizetype)>& beforeFile,
                        const std::function<void()>& beforeIndexing = {});

// The results line for a file or directory that could not be opened, with the reason.
QString OpeningErrorLine(const QString& path, const FileFault& fault);

// The results log's last line.
QString AddedSummaryLine(int added);

#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

class CFileRecord;
struct FileFault;

// Selected rows of the file list as intervals of row numbers (from 0, both ends included), in list
// order, as the list view gives them.
using ListRowRanges = QList<QPair<int, int>>;
qint64 CountRows(const ListRowRanges& rows);
// The keys of the files in those rows of a list whose cursor is `cursor`, in list order, taken from
// the cursor without reading a row: a walk beside the window acts on them while the window goes on
// using the cursor.
QList<qint64> FileKeysOfRows(const CFileRecord& cursor, const ListRowRanges& rows);

// What removing and deleting files ask the user and tell them. The window asks with message boxes;
// a program without one (a benchmark) answers for itself.
class CRemovalPrompts
{
public:
    enum class Answer
    {
        Yes,
        No,
        Cancel
    };

    virtual ~CRemovalPrompts() = default;

    // Whether to delete the copies a file keeps in local file areas; Cancel keeps the file whole.
    virtual Answer AskDeleteLocalCopies() = 0;
    // Whether to delete a file whose only area is the one it is being removed from.
    virtual bool AskDeleteFileOfLastArea(const QString& title) = 0;
    // A local copy that could not be deleted from disk, and why (a link on its way, for one).
    virtual void ReportNotDeleted(const QString& path, const FileFault& fault) = 0;
    // A local copy kept because a location of another file, titled keeper, still names it.
    virtual void ReportCopyKept(const QString& path, const QString& keeper) = 0;
    // A local location whose path leaves its area's directory (it is absolute or holds "." or
    // ".."), left alone.
    virtual void ReportOutsideArea(const QString& location) = 0;
    // A file, or a copy, that is not deleted at all, and why: the site stored the file's id more
    // than once, the database refused the deletion, or it could not tell who else uses a copy.
    virtual void ReportCannotDelete(const QString& reason) = 0;
    // Before each file of the walk is dealt with: its number in the walk (from 1) out of the
    // selected rows. False stops the walk before this file.
    virtual bool Starting(qint64 number, qint64 total, const QString& title) = 0;
};

// Deletes the copies that the local locations among urls name, each in its area's directory, and
// reports those that could not be deleted. urls are the locations of the file fileId, whose record
// is gone. A copy that a location of another file still names (the same area directory, the same
// path inside it) is kept, and the file that keeps it is named. Remote locations, and local ones
// whose area is unknown or whose id is unusable, are passed over.
void DeleteLocalCopies(double fileId, const QStringList& urls, CRemovalPrompts& prompts);

// Deletes a file from the library: its record with its area links and download locations, then,
// if the user wants, its copies in local file areas. A record the database does not delete is
// reported with the database's reason, and its copies stay.
void DeleteLibraryFile(CFileRecord& file, CRemovalPrompts& prompts);

// The walks of the Delete File and Remove from Area commands over the files with these keys, in
// order. Each file is read afresh when the walk comes to it, and one deleted meanwhile is passed
// over. The walk stops only between files, so that each file is either dealt with whole (its
// record, then its copies) or not touched.
void DeleteListedFiles(const QList<qint64>& keys, CRemovalPrompts& prompts);
// Takes each file out of the area; a file that is in no other area is deleted instead, if the user
// agrees.
void RemoveListedFilesFromArea(const QList<qint64>& keys, double areaId, CRemovalPrompts& prompts);

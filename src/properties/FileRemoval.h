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
    // A local location whose path leaves its area's directory (it is absolute or holds "." or
    // ".."), left alone.
    virtual void ReportOutsideArea(const QString& location) = 0;
    // A file that is not deleted at all, and why (the site stored its id more than once).
    virtual void ReportCannotDelete(const QString& reason) = 0;
    // Before the file of each selected row is dealt with: its number in the walk (from 1) out of
    // the selected rows. False stops the walk before this file.
    virtual bool Starting(qint64 number, qint64 total, const QString& title) = 0;
};

// Deletes the copies that the local locations among urls name, each in its area's directory, and
// reports those that could not be deleted. Remote locations, and local ones whose area is unknown
// or whose id is unusable, are passed over.
void DeleteLocalCopies(const QStringList& urls, CRemovalPrompts& prompts);

// Deletes a file from the library: first, if the user wants, its copies in local file areas, then
// its record with its area links and download locations. Failures of the database are logged by
// it and not reported; the refreshed list shows what the database holds.
void DeleteLibraryFile(CFileRecord& file, CRemovalPrompts& prompts);

// The walks of the Delete File and Remove from Area commands over the selected rows of the list
// whose cursor is `cursor`. Each row is read afresh by its position, so the walk acts on exactly
// the files selected while earlier ones are deleted; a row deleted meanwhile is skipped.
void DeleteListedFiles(CFileRecord& cursor, const ListRowRanges& rows, CRemovalPrompts& prompts);
// Takes each file out of the area; a file that is in no other area is deleted instead, if the user
// agrees.
void RemoveListedFilesFromArea(CFileRecord& cursor, const ListRowRanges& rows, double areaId,
                               CRemovalPrompts& prompts);

#include "properties/FileRemoval.h"

#include "adding/LocalLocation.h"
#include "database/CFileRecord.h"
#include "database/CTroveportDatabaseManager.h"
#include "files/AreaDirectory.h"
#include "files/SafeFiles.h"
#include "startup/CFileAreaTable.h"
#include "startup/Globals.h"

#include <QFile>

qint64 CountRows(const ListRowRanges& rows)
{
    qint64 count = 0;
    for (const auto& range : rows)
        count += qMax(0, range.second - range.first + 1);
    return count;
}

void DeleteLocalCopies(const QStringList& urls, CRemovalPrompts& prompts)
{
    for (const QString& url : urls) {
        // An id that is not a number of at least 1, a missing slash or an area that is gone: the
        // copy cannot be found, and the record goes anyway.
        const auto location = ParseLocalLocationLeniently(url);
        if (!location)
            continue;
        const FileAreaRecord* area = theFileAreaTable.FindArea(location->areaId);
        if (!area)
            continue;
        if (!IsPlainRelativePath(location->relativePath)) {
            prompts.ReportOutsideArea(url);
            continue;
        }
        // Walked from the area's directory one name at a time: a link on the way is refused, and a
        // directory exchanged meanwhile cannot lead the delete outside. A final link is removed
        // itself, never the file it points to.
        const CSafeDirectory areaDirectory = OpenAreaDirectory(area->Path());
        QByteArray leaf;
        const CSafeDirectory parent = areaDirectory.DescendToParent(location->relativePath, &leaf);
        FileFault fault = parent.Fault();
        if (parent.IsOpen() && parent.Remove(leaf, &fault))
            continue;
        prompts.ReportNotDeleted(areaDirectory.PathOf(QFile::encodeName(location->relativePath)), fault);
    }
}

namespace {

// Calls action with the working copy of each selected row, in list order, until it or the
// prompts stop the walk.
template<typename Action>
void WalkRows(CFileRecord& cursor, const ListRowRanges& rows, CRemovalPrompts& prompts, Action action)
{
    const qint64 total = CountRows(rows);
    qint64 number = 0;
    for (const auto& range : rows) {
        for (int row = range.first; row <= range.second; ++row) {
            ++number;
            const auto file = ReadFileOfListRow(cursor, row);
            if (!file)
                continue;
            if (!prompts.Starting(number, total, file->title))
                return;
            action(*file);
        }
    }
}

} // namespace

void DeleteLibraryFile(CFileRecord& file, CRemovalPrompts& prompts)
{
    // Rows the site stored twice under one id cannot be told apart: neither they nor their copies
    // are touched.
    if (const QString duplicates = DuplicateFileIdMessage(theDatabaseManager, file.file_id); !duplicates.isEmpty()) {
        prompts.ReportCannotDelete(duplicates);
        return;
    }
    QStringList urls;
    if (theDatabaseManager.GetDownloadURLs(file.file_id, urls)) {
        bool anyLocal = false;
        for (const QString& url : std::as_const(urls))
            anyLocal = anyLocal || IsLocalLocation(url);
        if (anyLocal) {
            switch (prompts.AskDeleteLocalCopies()) {
            case CRemovalPrompts::Answer::Cancel:
                return;
            case CRemovalPrompts::Answer::Yes:
                DeleteLocalCopies(urls, prompts);
                break;
            case CRemovalPrompts::Answer::No:
                break;
            }
        }
    }
    file.Delete();
}

void DeleteListedFiles(CFileRecord& cursor, const ListRowRanges& rows, CRemovalPrompts& prompts)
{
    WalkRows(cursor, rows, prompts, [&prompts](CFileRecord& file) { DeleteLibraryFile(file, prompts); });
}

void RemoveListedFilesFromArea(CFileRecord& cursor, const ListRowRanges& rows, double areaId,
                               CRemovalPrompts& prompts)
{
    WalkRows(cursor, rows, prompts, [&prompts, areaId](CFileRecord& file) {
        QList<double> areas;
        if (theDatabaseManager.GetAreaIDsForFile(file.file_id, areas) && areas.size() == 1) {
            if (prompts.AskDeleteFileOfLastArea(file.title))
                DeleteLibraryFile(file, prompts);
        } else {
            file.DeleteFromFileArea(areaId);
        }
    });
}

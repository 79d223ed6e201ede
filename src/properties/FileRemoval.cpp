#include "properties/FileRemoval.h"

#include "adding/download/LocalLocation.h"
#include "database/CDBException.h"
#include "database/CFileRecord.h"
#include "database/CTroveportDatabaseManager.h"
#include "files/AreaDirectory.h"
#include "files/DirectoryStatus.h"
#include "files/SafeFiles.h"
#include "files/SafeFormat.h"
#include "settings/CFileAreaTable.h"
#include "settings/Globals.h"

#include <QFile>

#include <algorithm>

qint64 CountRows(const ListRowRanges& rows)
{
    qint64 count = 0;
    for (const auto& range : rows)
        count += qMax(0, range.second - range.first + 1);
    return count;
}

QList<qint64> FileKeysOfRows(const CFileRecord& cursor, const ListRowRanges& rows)
{
    QList<qint64> keys;
    for (const auto& range : rows) {
        for (int row = range.first; row <= range.second; ++row) {
            if (const auto key = cursor.GetKeyAt(qint64(row) + 1))
                keys.append(*key);
        }
    }
    return keys;
}

namespace {

// The title of a file other than fileId with a location that names the copy at relativePath in
// the area's directory: in that same directory (two areas may share one) under the same path,
// however the location writes its prefix, id or separators. Empty when no file does. The
// database is asked only for the locations that end in the copy's name. Throws CDBException.
QString OtherFileNaming(double fileId, const CSafeDirectory& areaDirectory, const QString& relativePath)
{
    const QString name = relativePath.mid(relativePath.lastIndexOf(u'/') + 1);
    QString keeper;
    theDatabaseManager.ForEachLocationEndingIn(fileId, name, [&](const QString& title, const QString& url) {
        const auto other = ParseLocalLocationLeniently(url);
        if (!other || other->relativePath != relativePath)
            return true;
        const FileAreaRecord* area = theFileAreaTable.FindArea(other->areaId);
        if (area && IsSameDirectory(OpenAreaDirectory(area->Path()), areaDirectory))
            keeper = title;
        return keeper.isEmpty();
    });
    return keeper;
}

} // namespace

void DeleteLocalCopies(double fileId, const QStringList& urls, CRemovalPrompts& prompts)
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
        const QString path = areaDirectory.PathOf(QFile::encodeName(location->relativePath));
        // Another file still offering this copy for download would be left with a dead location.
        try {
            if (const QString keeper = OtherFileNaming(fileId, areaDirectory, location->relativePath);
                !keeper.isEmpty()) {
                prompts.ReportCopyKept(path, keeper);
                continue;
            }
        } catch (const CDBException& e) {
            theDatabaseManager.LogError(e.GetErrorText());
            prompts.ReportCannotDelete(
                SafeFormat(u"The file %s was not deleted from disk: whether another file still uses it could "
                           u"not be read from the database.\n%s",
                           ElideStoredText(path), e.GetErrorText()));
            continue;
        }
        QByteArray leaf;
        const CSafeDirectory parent = areaDirectory.DescendToParent(location->relativePath, &leaf);
        FileFault fault = parent.Fault();
        if (parent.IsOpen() && parent.Remove(leaf, &fault))
            continue;
        prompts.ReportNotDeleted(path, fault);
    }
}

namespace {

// Calls action with a fresh working copy of each file, in order, until it or the prompts stop the
// walk.
template<typename Action>
void WalkFiles(const QList<qint64>& keys, CRemovalPrompts& prompts, Action action)
{
    const qint64 total = keys.size();
    qint64 number = 0;
    for (const qint64 key : keys) {
        ++number;
        CFileRecord wanted(&theDatabaseManager);
        wanted.file_id = double(key);
        CFileRecord file(&theDatabaseManager);
        // Deleted meanwhile, by the web site perhaps: there is nothing to act on.
        if (!file.GetByPrimaryKey(wanted))
            continue;
        if (!prompts.Starting(number, total, file.title))
            return;
        action(file);
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
    bool withCopies = false;
    if (theDatabaseManager.GetDownloadURLs(file.file_id, urls) &&
        std::any_of(urls.cbegin(), urls.cend(), [](const QString& url) { return IsLocalLocation(url); })) {
        switch (prompts.AskDeleteLocalCopies()) {
        case CRemovalPrompts::Answer::Cancel:
            return;
        case CRemovalPrompts::Answer::Yes:
            withCopies = true;
            break;
        case CRemovalPrompts::Answer::No:
            break;
        }
    }
    // The record goes first: copies deleted for a record that then stayed would leave it offering
    // files that are gone.
    QString reason;
    if (!file.Delete(&reason)) {
        prompts.ReportCannotDelete(SafeFormat(u"%s could not be deleted from the database, and nothing of it "
                                              u"was deleted.\n%s",
                                              ElideStoredText(file.title), reason));
        return;
    }
    if (withCopies)
        DeleteLocalCopies(file.file_id, urls, prompts);
}

void DeleteListedFiles(const QList<qint64>& keys, CRemovalPrompts& prompts)
{
    WalkFiles(keys, prompts, [&prompts](CFileRecord& file) { DeleteLibraryFile(file, prompts); });
}

void RemoveListedFilesFromArea(const QList<qint64>& keys, double areaId, CRemovalPrompts& prompts)
{
    WalkFiles(keys, prompts, [&prompts, areaId](CFileRecord& file) {
        QList<double> areas;
        if (theDatabaseManager.GetAreaIDsForFile(file.file_id, areas) && areas.size() == 1) {
            if (prompts.AskDeleteFileOfLastArea(file.title))
                DeleteLibraryFile(file, prompts);
        } else {
            file.DeleteFromFileArea(areaId);
        }
    });
}

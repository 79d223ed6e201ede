#pragma once

#include <QList>
#include <QString>

#include <utility>

// What troveport-setup check finds in a library, and what it counted on the way. The kinds are
// listed in the order the report gives them.
enum class FindingKind
{
    MissingFile,         // a local location whose file is not there
    NotRegular,          // ... names a directory, FIFO, socket or device
    OutsideArea,         // ... leaves its area: not a plain path, or through a symbolic link
    SizeMismatch,        // ... whose file's size is not the record's file_size
    UnreadableFile,      // ... whose file could not be examined (permissions, I/O error)
    UnknownAreaLocation, // ... names an area the table does not have
    OrphanFile,          // an entry in an area's directory that no location names
    AreaUnreadable,      // an area directory that cannot be opened or read
    NoArea,              // a record linked to no area
    UnknownAreaLink,     // a link to an area the table does not have
    BadLocation,         // neither a local location nor an ftp/http/https address with a host
    Changed,             // content differs from the last check's checksum
    DuplicateContent,    // the same content under different file records
};
inline constexpr int kFindingKinds = int(FindingKind::DuplicateContent) + 1;

// The kind as the JSON report and --fix name it ("missing-file").
QString KindName(FindingKind kind);
// The heading of the kind's part of the text report ("Missing files").
QString KindHeading(FindingKind kind);

struct Finding
{
    FindingKind kind = FindingKind::MissingFile;
    qint64 fileId = 0;     // 0 where no record is concerned (orphans, unreadable areas)
    QString title;
    QString url;           // the location as stored
    qint64 areaId = 0;     // 0 when none
    QString path;          // the path inside the area (locations, orphans)
    QString diskPath;      // the full path on disk, for the administrator to look at
    QString entryType;     // not-regular, orphan-file: "file", "directory", "symlink", "fifo", ...
    qint64 recordSize = -1; // size-mismatch
    qint64 diskSize = -1;   // size-mismatch, orphan-file (regular files)
    QString reason;         // unreadable-file, area-unreadable, bad-location
    QString oldSha256, newSha256; // changed
    qint64 oldCheckedAt = 0;      // changed
    QList<std::pair<qint64, QString>> copies; // duplicate-content: file id and location of each copy
};

// Orders findings as the reports list them: by kind, then file id, then location and path.
bool FindingBefore(const Finding& a, const Finding& b);

struct CheckCounts
{
    qint64 files = 0;       // records checked
    qint64 locations = 0;   // their locations
    qint64 filesOnDisk = 0; // local copies found as regular files inside their areas
    qint64 checksummed = 0; // files whose SHA-256 was taken
    qint64 bytesHashed = 0;
};

struct CheckResult
{
    CheckCounts counts;
    QList<Finding> findings; // in report order once the check ends
};

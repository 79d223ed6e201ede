#pragma once

#include "files/SafeFiles.h"

#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

struct FileAreaRecord;

// A download location that names a file kept in a file area's own directory:
// "local://<area id>/<path inside the area's directory>". The prefix is recognised in any case;
// the path uses "/" between directories, and "\" is accepted there when a location is read.
inline constexpr QStringView kLocalPrefix = u"local://";

// True when the text begins with "local://" in any case.
bool IsLocalLocation(QStringView location);

struct LocalLocation
{
    double areaId = 0;
    QString relativePath; // as written after the "/", with "\" turned into "/"
};

// Reads a local location: the prefix, decimal digits (read into a double, digit by digit), then
// "/" and the path. None for a remote location, or when the digits are missing or not followed by
// "/".
std::optional<LocalLocation> ParseLocalLocation(QStringView location);

// Reads a local location as the deletion of a file's local copies reads it, more leniently: the id
// is the leading decimal number after the prefix (white space and a sign before it allowed, reading
// stops at the first other character), and the path is what follows the first "/" after the
// prefix. None for a remote location, an id below 1 or a location without a "/".
std::optional<LocalLocation> ParseLocalLocationLeniently(QStringView location);

// The location of a file in an area: the id in plain digits, whatever its size, then the path.
QString FormLocalLocation(quint32 areaId, const QString& relativePath);

// Where a local location's file lies on disk, once it is known to stay inside its area. Only for
// showing and checking a location: a path can be exchanged after it was checked, so nothing opens,
// copies or deletes in an area by it. That goes through the file layer (OpenInArea and
// CAreaDirectories below, files/SafeFiles.h).
struct LocalFile
{
    enum class Status
    {
        Inside,  // path is the file inside the area's directory
        NoArea,  // no area of the table has the location's id
        Leaving, // the path would leave the area's directory: never open, check or delete it
    };
    Status status = Status::NoArea;
    QString path;
};

// True when the path is one or more plain names joined by "/": not absolute, no empty part, no "."
// or "..". Only such a path can stay inside the directory it is taken in.
bool IsPlainRelativePath(QStringView relativePath);

// The file a local location names: the area's directory joined with the relative path. A path that
// is not plain (IsPlainRelativePath), or passes through a symbolic link (or is one) that leads
// outside the area's directory, is Leaving.
LocalFile ResolveInArea(const FileAreaRecord& area, const QString& relativePath);
// The same for an area's directory.
LocalFile ResolveInDirectory(const QString& directory, const QString& relativePath);

// A file in an area's directory, opened for reading through the file layer: the relative path is
// walked one name at a time and a link anywhere on it, the file itself included, is refused.
CSafeFile OpenInArea(const QString& areaDirectory, QStringView relativePath);

// The directories of the file areas, to tell whether a path the user gave lies in one of them and
// so in a directory the web site can write. Taken from the area table once, when made.
class CAreaDirectories
{
public:
    CAreaDirectories();

    struct Found
    {
        QString directory;    // the area's directory, as the table gives it
        QString relativePath; // the path below it
    };
    // The area that holds the path, by its text: the path begins with the area's directory (as the
    // table has it, or with its links resolved) and a "/". Where areas nest, the innermost.
    std::optional<Found> Find(const QString& path) const;

    // A file to copy from, by the path the user gave: through the file layer from its area's
    // directory when it lies in an area, so that a link there is refused, never followed; by the
    // path when it lies outside every area, as the administrator's own.
    CSafeFile OpenSource(const QString& path) const;

private:
    struct Directory
    {
        QString tablePath;
        QString prefix; // with a final "/"
    };
    QList<Directory> m_directories;
};

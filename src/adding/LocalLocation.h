#pragma once

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

// Where a local location's file lies on disk, once it is known to stay inside its area.
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

// The file a local location names: the area's directory joined with the relative path. A path that
// is absolute, holds "." or ".." or an empty part, or passes through a symbolic link (or is one)
// that leads outside the area's directory, is Leaving: the program must never touch it.
LocalFile ResolveLocalLocation(const LocalLocation& location);
// The same for an area record already found.
LocalFile ResolveInArea(const FileAreaRecord& area, const QString& relativePath);
// The same for an area's directory.
LocalFile ResolveInDirectory(const QString& directory, const QString& relativePath);

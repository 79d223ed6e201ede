#include "adding/LocalLocation.h"

#include "adding/PathUtils.h"
#include "startup/CFileAreaTable.h"
#include "startup/Globals.h"

#include <QDir>
#include <QFileInfo>

bool IsLocalLocation(QStringView location)
{
    return location.startsWith(kLocalPrefix, Qt::CaseInsensitive);
}

std::optional<LocalLocation> ParseLocalLocation(QStringView location)
{
    if (!IsLocalLocation(location))
        return std::nullopt;
    qsizetype i = kLocalPrefix.size();
    double id = 0;
    const qsizetype digitsStart = i;
    while (i < location.size() && location[i] >= u'0' && location[i] <= u'9')
        id = id * 10 + (location[i++].unicode() - '0');
    if (i == digitsStart || i >= location.size() || location[i] != u'/')
        return std::nullopt;
    LocalLocation parsed;
    parsed.areaId = id;
    parsed.relativePath = location.mid(i + 1).toString().replace(u'\\', u'/');
    return parsed;
}

std::optional<LocalLocation> ParseLocalLocationLeniently(QStringView location)
{
    if (!IsLocalLocation(location))
        return std::nullopt;
    const QStringView rest = location.mid(kLocalPrefix.size());
    const qsizetype slash = rest.indexOf(u'/');
    if (slash < 0)
        return std::nullopt;
    qsizetype i = 0;
    // The white space the C library skips before a number.
    while (i < rest.size() && (rest[i] == u' ' || (rest[i] >= u'\t' && rest[i] <= u'\r')))
        ++i;
    bool negative = false;
    if (i < rest.size() && (rest[i] == u'+' || rest[i] == u'-'))
        negative = rest[i++] == u'-';
    double id = 0;
    while (i < rest.size() && rest[i] >= u'0' && rest[i] <= u'9')
        id = id * 10 + (rest[i++].unicode() - '0');
    if (negative || !(id >= 1))
        return std::nullopt;
    LocalLocation parsed;
    parsed.areaId = id;
    parsed.relativePath = rest.mid(slash + 1).toString().replace(u'\\', u'/');
    return parsed;
}

QString FormLocalLocation(quint32 areaId, const QString& relativePath)
{
    return kLocalPrefix.toString() + QString::number(areaId) + u'/' + relativePath;
}

namespace {

// True when path is directory or lies below it; both are canonical (absolute, links resolved).
bool IsWithin(const QString& path, const QString& directory)
{
    if (path == directory)
        return true;
    const QString prefix = directory.endsWith(u'/') ? directory : directory + u'/';
    return path.startsWith(prefix);
}

} // namespace

LocalFile ResolveInArea(const FileAreaRecord& area, const QString& relativePath)
{
    return ResolveInDirectory(area.Path(), relativePath);
}

LocalFile ResolveInDirectory(const QString& directory, const QString& relativePath)
{
    LocalFile file;
    file.status = LocalFile::Status::Leaving;
    if (relativePath.isEmpty() || relativePath.startsWith(u'/') || relativePath.contains(QChar(0)))
        return file;
    const QList<QStringView> parts = QStringView(relativePath).split(u'/');
    for (const QStringView part : parts) {
        if (part.isEmpty() || part == u"." || part == u"..")
            return file;
    }
    if (directory.isEmpty())
        return file;
    const QString path = MakePath(directory, relativePath);
    // MakePath keeps at most 519 bytes: a cut path would name another file.
    if (!path.endsWith(relativePath))
        return file;

    // Links are followed as the system would follow them: every directory on the way must stay
    // inside, and so must the file itself when it exists (a link to a file elsewhere included).
    const QString root = QFileInfo(directory).canonicalFilePath();
    if (root.isEmpty()) {
        // No area directory on disk: nothing there to open, and nothing a link could lead out of.
        file.status = LocalFile::Status::Inside;
        file.path = path;
        return file;
    }
    const QFileInfo info(path);
    QString reached;
    if (info.exists()) {
        reached = info.canonicalFilePath();
    } else if (info.isSymLink()) {
        return file; // a dangling link: where it leads cannot be checked
    } else {
        // The file is missing; the deepest directory on its way that exists decides.
        QString existing = info.absolutePath();
        while (!QFileInfo::exists(existing) && existing.size() > 1)
            existing = QFileInfo(existing).absolutePath();
        reached = QFileInfo(existing).canonicalFilePath();
    }
    if (reached.isEmpty() || !IsWithin(reached, root))
        return file;
    file.status = LocalFile::Status::Inside;
    file.path = path;
    return file;
}

LocalFile ResolveLocalLocation(const LocalLocation& location)
{
    const FileAreaRecord* area = theFileAreaTable.FindArea(location.areaId);
    if (!area)
        return LocalFile{};
    return ResolveInArea(*area, location.relativePath);
}

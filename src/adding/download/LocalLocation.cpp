#include "adding/download/LocalLocation.h"

#include "files/AreaDirectory.h"
#include "files/PathUtils.h"
#include "files/SafeCopy.h"
#include "settings/CFileAreaTable.h"
#include "settings/Globals.h"

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

bool IsPlainRelativePath(QStringView relativePath)
{
    if (relativePath.isEmpty() || relativePath.contains(QChar(0)))
        return false;
    for (const QStringView part : relativePath.split(u'/')) {
        if (part.isEmpty() || part == u"." || part == u"..")
            return false;
    }
    return true;
}

namespace {

// True when path is directory or lies below it; both are canonical (absolute, links resolved). The
// separator keeps a sibling that begins with the same name ("area2" beside "area") outside.
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
    if (!IsPlainRelativePath(relativePath) || directory.isEmpty())
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

CSafeFile OpenInArea(const QString& areaDirectory, QStringView relativePath)
{
    QByteArray leaf;
    const CSafeDirectory parent = OpenAreaDirectory(areaDirectory).DescendToParent(relativePath, &leaf);
    return parent.OpenForReading(leaf);
}

CAreaDirectories::CAreaDirectories()
{
    for (quint32 record = 1; record < theFileAreaTable.GetRecordCount(); ++record) {
        const QString path = theFileAreaTable.GetRecord(record)->Path();
        if (path.isEmpty())
            continue;
        // The administrator's path as it stands and with its links resolved: a file chooser may
        // give either.
        for (QString prefix : {path, QFileInfo(path).canonicalFilePath()}) {
            if (prefix.isEmpty())
                continue;
            if (!prefix.endsWith(u'/'))
                prefix += u'/';
            m_directories.append({path, prefix});
        }
    }
}

std::optional<CAreaDirectories::Found> CAreaDirectories::Find(const QString& path) const
{
    const Directory* innermost = nullptr;
    for (const Directory& directory : m_directories) {
        if (path.startsWith(directory.prefix) &&
            (!innermost || directory.prefix.size() > innermost->prefix.size()))
            innermost = &directory;
    }
    if (!innermost)
        return std::nullopt;
    return Found{innermost->tablePath, path.mid(innermost->prefix.size())};
}

CSafeFile CAreaDirectories::OpenSource(const QString& path) const
{
    if (const auto found = Find(path))
        return OpenInArea(found->directory, found->relativePath);
    return OpenAdministratorsFile(path);
}

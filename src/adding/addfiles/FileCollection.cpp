#include "adding/addfiles/FileCollection.h"

#include "adding/addfiles/AddFilesImport.h"
#include "adding/download/LocalLocation.h"
#include "files/AreaDirectory.h"
#include "files/DirectoryStatus.h"
#include "files/PathUtils.h"
#include "files/SafeFiles.h"
#include "files/SafeFormat.h"
#include "files/TemporaryName.h"
#include "files/UploadNames.h"
#include "settings/CFileAreaTable.h"
#include "settings/Globals.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <fnmatch.h>
#include <utility>

namespace {

using Identity = std::pair<quint64, quint64>; // device and inode

Identity IdentityOf(const struct stat& st)
{
    return {quint64(st.st_dev), quint64(st.st_ino)};
}

class CCollector
{
public:
    CCollector(bool includeSubdirectories, CollectedFiles& found, const CollectionStep& beforeDirectory)
        : m_includeSubdirectories(includeSubdirectories), m_found(found), m_beforeDirectory(beforeDirectory)
    {
        // Told apart by what they are, not by how their paths are spelt.
        for (quint32 record = 1; record < theFileAreaTable.GetRecordCount(); ++record) {
            const FileAreaRecord* area = theFileAreaTable.GetRecord(record);
            const auto status = SearchableDirectoryStatus(OpenAreaDirectory(area->Path()));
            if (!status)
                continue;
            m_areas.insert(IdentityOf(*status));
            if (area->HasFlag(kAreaAllowUploads))
                m_uploadAreas.insert(IdentityOf(*status));
        }
    }

    // Whether the path lies in an area (the area's own directory is known by its identity).
    static bool LiesInArea(const QString& path)
    {
        const CAreaDirectories areas;
        return areas.Find(path) || areas.Find(QFileInfo(path).canonicalFilePath());
    }

    bool Enter(const QString& path) { return !m_beforeDirectory || m_beforeDirectory(path); }

    // Takes the files of an open directory, and with subdirectories walks them. False when stopped.
    bool Walk(const CSafeDirectory& directory, const QByteArray& pattern, bool inArea)
    {
        FileFault fault;
        const auto status = SearchableDirectoryStatus(directory, &fault);
        if (!status) {
            Refuse(directory.Path(), fault);
            return true;
        }
        const Identity identity = IdentityOf(*status);
        if (m_seen.contains(identity))
            return true;
        m_seen.insert(identity);
        inArea = inArea || m_areas.contains(identity);

        QList<QByteArray> names = directory.EntryNames(&fault);
        if (fault)
            Refuse(directory.Path(), fault); // what was read before the failure is still taken
        std::sort(names.begin(), names.end());
        const QSet<QByteArray> pending =
            m_uploadAreas.contains(identity) ? PendingUploadNames(names) : QSet<QByteArray>();
        QList<QByteArray> subdirectories;
        for (const QByteArray& name : std::as_const(names)) {
            if (name.startsWith('.') || IsTemporaryName(name) || pending.contains(name))
                continue;
            const QString path = directory.PathOf(name);
            // The import reaches files by their paths as text: a name that is not text reaches nothing.
            if (QFile::encodeName(QFile::decodeName(name)) != name) {
                Refuse(path, {FileFault::Kind::BadName, 0, path});
                continue;
            }
            const bool wanted = pattern.isEmpty() || ::fnmatch(pattern.constData(), name.constData(), 0) == 0;
            FileFault entryFault;
            const auto entry = directory.StatEntry(name, &entryFault);
            if (!entry) {
                if (entryFault.error != ENOENT) // one gone meanwhile is simply not there
                    Refuse(path, entryFault);
                continue;
            }
            if (S_ISDIR(entry->st_mode)) {
                if (m_includeSubdirectories)
                    subdirectories.append(name);
                continue;
            }
            if (S_ISLNK(entry->st_mode)) {
                // What a link leads to is taken, if at all, where it lies: through a link a file
                // would be taken twice, a directory walked again, and in an area the site could
                // lead the import anywhere.
                if (!wanted && !m_includeSubdirectories)
                    continue;
                if (inArea)
                    Refuse(path, {FileFault::Kind::Link, 0, path});
                else
                    m_found.refusals += SafeFormat(u"%s is a symbolic link and was not followed: choose what it "
                                                   u"leads to to add it.\r\n",
                                                   path);
                continue;
            }
            if (wanted)
                m_found.files.append(path);
        }

        for (const QByteArray& name : std::as_const(subdirectories)) {
            const QString path = directory.PathOf(name);
            if (path.toUtf8().size() >= kMaxPathBuffer) {
                Refuse(path, {FileFault::Kind::System, ENAMETOOLONG, path});
                continue;
            }
            if (!Enter(path))
                return false;
            const CSafeDirectory subdirectory = directory.Descend(QFile::decodeName(name));
            if (!subdirectory.IsOpen())
                Refuse(path, subdirectory.Fault());
            else if (!Walk(subdirectory, QByteArray(), inArea))
                return false;
        }
        return true;
    }

private:
    void Refuse(const QString& path, const FileFault& fault) { m_found.refusals += OpeningErrorLine(path, fault); }

    const bool m_includeSubdirectories;
    CollectedFiles& m_found;
    const CollectionStep& m_beforeDirectory;
    QSet<Identity> m_areas;
    QSet<Identity> m_uploadAreas;
    QSet<Identity> m_seen;
};

} // namespace

bool CollectFiles(const QString& directory, bool includeSubdirectories, CollectedFiles& found,
                  const CollectionStep& beforeDirectory)
{
    QString path = GetFullPathName(directory);
    if (path.isEmpty() || path.toUtf8().size() >= kMaxPathBuffer)
        return false;
    // The administrator's own path: its links are followed as meant.
    CSafeDirectory start = CSafeDirectory::Open(path);
    QByteArray pattern;
    if (!start.IsOpen()) {
        // No directory: the last part is a pattern for the files of the one above it.
        const qsizetype slash = path.lastIndexOf(u'/');
        pattern = QFile::encodeName(path.mid(slash + 1));
        path = path.left(slash + 1);
        start = CSafeDirectory::Open(path);
        if (!start.IsOpen())
            return true; // nothing there to find
    }
    CCollector collector(includeSubdirectories, found, beforeDirectory);
    if (collector.Enter(path))
        collector.Walk(start, pattern, CCollector::LiesInArea(path));
    return true;
}

QString NoValidDirectoryMessage()
{
    return QCoreApplication::translate("CAddFilesInfoPage", "Please enter a valid directory name.");
}

QString NoFilesFoundMessage()
{
    return QCoreApplication::translate("CAddFilesInfoPage", "There were no files found to add in that directory.");
}

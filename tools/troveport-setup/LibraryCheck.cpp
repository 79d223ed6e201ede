#include "LibraryCheck.h"

#include "AreaLocator.h"
#include "ChecksumTable.h"
#include "SetupCommandLine.h"
#include "adding/download/LocalLocation.h"
#include "database/CTroveportDatabaseManager.h"
#include "files/AreaDirectory.h"
#include "files/SafeFormat.h"
#include "files/TemporaryName.h"
#include "files/UploadNames.h"
#include "settings/CFileAreaTable.h"
#include "settings/Globals.h"

#include <QFile>
#include <QHash>
#include <QSet>
#include <QSqlQuery>
#include <QUrl>
#include <QVariant>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace {

constexpr uchar kLinked = 1;
constexpr uchar kLinkedToSelected = 2;

struct Record
{
    qint64 id = 0;
    qint64 size = 0;
    QString title;
};

// An ftp, http or https address with a host, as QUrl reads it strictly.
bool IsRemoteAddress(const QString& url)
{
    const QUrl address(url, QUrl::StrictMode);
    if (!address.isValid() || address.host().isEmpty())
        return false;
    const QString scheme = address.scheme().toLower();
    return scheme == u"ftp" || scheme == u"http" || scheme == u"https";
}

QString JoinPath(const QString& directory, const QString& relative)
{
    return directory.endsWith(u'/') ? directory + relative : directory + u'/' + relative;
}

class CLibraryCheck
{
public:
    CLibraryCheck(const CheckOptions& options, CProgressLine& progress) : m_options(options), m_progress(progress)
    {
        for (quint32 id : options.areas)
            m_selected.insert(id);
    }

    CheckResult Run();

private:
    bool Selected(quint32 areaId) const { return m_selected.isEmpty() || m_selected.contains(areaId); }
    Finding& Add(FindingKind kind, const Record* record, const QString& url = QString());
    void ReadLinks();
    void ReadFiles();
    void ReadLocations();
    void CheckLocation(const Record& record, const QString& url);
    void WalkArea(const FileAreaRecord& area);

    const CheckOptions& m_options;
    CProgressLine& m_progress;
    CheckResult m_result;
    QSet<quint32> m_selected;
    QHash<qint64, uchar> m_links;
    std::vector<Record> m_records;
    QHash<qint64, qsizetype> m_recordIndex;
    // For each area whose directory is walked, the paths its locations name, as bytes on disk.
    QHash<quint32, QSet<QByteArray>> m_named;
    CAreaLocator m_locator;
    std::vector<HashJob> m_hashJobs;
    CChecksumTable m_checksums;
};

Finding& CLibraryCheck::Add(FindingKind kind, const Record* record, const QString& url)
{
    Finding finding;
    finding.kind = kind;
    if (record) {
        finding.fileId = record->id;
        finding.title = record->title;
    }
    finding.url = url;
    m_result.findings.append(std::move(finding));
    return m_result.findings.last();
}

void CLibraryCheck::ReadLinks()
{
    qint64 rows = 0;
    theDatabaseManager.ForEachRow(QStringLiteral("SELECT file_id, area_id FROM file_area"), {},
                                  [&](const QSqlQuery& query) {
                                      const qint64 fileId = query.value(0).toLongLong();
                                      const double areaId = query.value(1).toDouble();
                                      const FileAreaRecord* area = theFileAreaTable.FindArea(areaId);
                                      uchar& links = m_links[fileId];
                                      links |= kLinked;
                                      if (area && m_selected.contains(area->AreaId()))
                                          links |= kLinkedToSelected;
                                      if (!area && m_selected.isEmpty()) {
                                          Finding& finding = Add(FindingKind::UnknownAreaLink, nullptr);
                                          finding.fileId = fileId;
                                          finding.areaId = query.value(1).toLongLong();
                                      }
                                      if (++rows % 4096 == 0)
                                          m_progress.Show(SafeFormat(u"Reading records... %d", rows));
                                  });
}

void CLibraryCheck::ReadFiles()
{
    qint64 rows = 0;
    theDatabaseManager.ForEachRow(QStringLiteral("SELECT file_id, file_size, title FROM files"), {},
                                  [&](const QSqlQuery& query) {
                                      if (++rows % 4096 == 0)
                                          m_progress.Show(SafeFormat(u"Reading records... %d", rows));
                                      const qint64 id = query.value(0).toLongLong();
                                      const uchar links = m_links.value(id);
                                      if (!m_selected.isEmpty() && !(links & kLinkedToSelected))
                                          return;
                                      m_recordIndex.insert(id, qsizetype(m_records.size()));
                                      m_records.push_back({id, query.value(1).toLongLong(), query.value(2).toString()});
                                      if (!(links & kLinked))
                                          Add(FindingKind::NoArea, &m_records.back());
                                  });
    m_result.counts.files = qint64(m_records.size());
    // The titles of the links to unknown areas, now that the records are read.
    for (Finding& finding : m_result.findings) {
        const auto it = m_recordIndex.constFind(finding.fileId);
        if (it != m_recordIndex.cend())
            finding.title = m_records[size_t(*it)].title;
    }
}

void CLibraryCheck::ReadLocations()
{
    qint64 total = 0;
    theDatabaseManager.ForEachRow(QStringLiteral("SELECT count(*) FROM download"), {},
                                  [&](const QSqlQuery& query) { total = query.value(0).toLongLong(); });
    qint64 rows = 0;
    // In the order of the locations, so that the files of one directory come one after another and
    // its descriptor serves them all.
    theDatabaseManager.ForEachRow(
        QStringLiteral("SELECT file_id, url FROM download ORDER BY url"), {}, [&](const QSqlQuery& query) {
            if (++rows % 1024 == 0 && total > 0)
                m_progress.Show(SafeFormat(u"Checking files... %d%%", rows * 100 / total));
            const qint64 fileId = query.value(0).toLongLong();
            const QString url = query.value(1).toString();
            if (m_options.checksums)
                m_checksums.NoteLocation(fileId, url);
            // Whatever record it belongs to, a location names its file for the orphan search.
            if (const auto local = ParseLocalLocation(url)) {
                if (const FileAreaRecord* area = theFileAreaTable.FindArea(local->areaId)) {
                    const auto named = m_named.find(area->AreaId());
                    if (named != m_named.end())
                        named->insert(QFile::encodeName(local->relativePath));
                }
            }
            const auto it = m_recordIndex.constFind(fileId);
            if (it != m_recordIndex.cend())
                CheckLocation(m_records[size_t(*it)], url);
        });
}

void CLibraryCheck::CheckLocation(const Record& record, const QString& url)
{
    ++m_result.counts.locations;
    if (!IsLocalLocation(url)) {
        if (!IsRemoteAddress(url))
            Add(FindingKind::BadLocation, &record, url).reason = QStringLiteral("not an ftp, http or https address with a host");
        return;
    }
    const auto local = ParseLocalLocation(url);
    if (!local) {
        Add(FindingKind::BadLocation, &record, url).reason =
            QStringLiteral("not a local location of the form local://<area id>/<path>");
        return;
    }
    const FileAreaRecord* area = theFileAreaTable.FindArea(local->areaId);
    if (!area) {
        Finding& finding = Add(FindingKind::UnknownAreaLocation, &record, url);
        if (local->areaId >= 0 && local->areaId <= 9007199254740991.0)
            finding.areaId = qint64(local->areaId);
        finding.path = local->relativePath;
        return;
    }
    const auto add = [&](FindingKind kind) -> Finding& {
        Finding& finding = Add(kind, &record, url);
        finding.areaId = area->AreaId();
        finding.path = local->relativePath;
        finding.diskPath = JoinPath(area->Path(), local->relativePath);
        return finding;
    };
    if (!IsPlainRelativePath(local->relativePath)) {
        add(FindingKind::OutsideArea).reason = QStringLiteral("the path is not plain (\"..\", \".\", an empty part or a leading \"/\")");
        return;
    }
    QByteArray leaf;
    FileFault fault;
    const CSafeDirectory* parent = m_locator.ParentOf(area->AreaId(), area->Path(), local->relativePath, &leaf, &fault);
    std::optional<struct stat> entry;
    if (parent)
        entry = parent->StatEntry(leaf, &fault);
    if (!entry) {
        if (fault.kind == FileFault::Kind::Link)
            add(FindingKind::OutsideArea).reason = SafeFormat(u"%s is a symbolic link on the way", fault.name);
        else if (fault.kind == FileFault::Kind::System && (fault.error == ENOENT || fault.error == ENOTDIR))
            add(FindingKind::MissingFile);
        else
            add(FindingKind::UnreadableFile).reason = fault.Message();
        return;
    }
    if (S_ISLNK(entry->st_mode)) {
        add(FindingKind::OutsideArea).reason = QStringLiteral("the file is a symbolic link");
    } else if (!S_ISREG(entry->st_mode)) {
        add(FindingKind::NotRegular).entryType = EntryTypeName(entry->st_mode);
    } else {
        ++m_result.counts.filesOnDisk;
        if (entry->st_size != record.size) {
            Finding& finding = add(FindingKind::SizeMismatch);
            finding.recordSize = record.size;
            finding.diskSize = entry->st_size;
        }
        if (m_options.checksums)
            m_hashJobs.push_back({record.id, record.title, url, area->AreaId(), area->Path(), local->relativePath,
                                  qint64(entry->st_size)});
    }
}

void CLibraryCheck::WalkArea(const FileAreaRecord& area)
{
    const quint32 areaId = area.AreaId();
    const QSet<QByteArray> named = m_named.take(areaId);
    const auto unreadable = [&](const QString& relative, const FileFault& fault) {
        Finding& finding = Add(FindingKind::AreaUnreadable, nullptr);
        finding.areaId = areaId;
        finding.path = relative;
        finding.diskPath = relative.isEmpty() ? area.Path() : JoinPath(area.Path(), relative);
        finding.reason = fault.Message();
    };
    const CSafeDirectory root = OpenAreaDirectory(area.Path());
    if (!root.IsOpen()) {
        unreadable(QString(), root.Fault());
        return;
    }
    const bool uploads = area.HasFlag(kAreaAllowUploads);
    QList<QByteArray> directories{QByteArray()}; // relative to the area; empty for the area's own
    qint64 seen = 0;
    while (!directories.isEmpty()) {
        const QByteArray relative = directories.takeLast();
        CSafeDirectory below;
        if (!relative.isEmpty()) {
            below = root.Descend(QFile::decodeName(relative));
            if (!below.IsOpen()) {
                unreadable(QFile::decodeName(relative), below.Fault());
                continue;
            }
        }
        const CSafeDirectory& directory = relative.isEmpty() ? root : below;
        FileFault fault;
        const QList<QByteArray> names = directory.EntryNames(&fault);
        if (fault)
            unreadable(QFile::decodeName(relative), fault); // what was read is still checked
        // Uploads wait for the scan directly in the directory of an area that accepts them.
        const QSet<QByteArray> waiting = uploads && relative.isEmpty() ? PendingUploadNames(names) : QSet<QByteArray>();
        for (const QByteArray& name : names) {
            if (name.startsWith('.') || IsTemporaryName(name) || waiting.contains(name))
                continue;
            const QByteArray path = relative.isEmpty() ? name : relative + '/' + name;
            const auto entry = directory.StatEntry(name, &fault);
            if (!entry) {
                if (fault.error != ENOENT) // one gone meanwhile is simply not there
                    unreadable(QFile::decodeName(path), fault);
                continue;
            }
            if (++seen % 1024 == 0)
                m_progress.Show(SafeFormat(u"Looking for orphans in area %d... %d", areaId, seen));
            // A name that is no text cannot be a location's: such a directory is one orphan entry.
            const bool text = QFile::encodeName(QFile::decodeName(name)) == name;
            if (S_ISDIR(entry->st_mode) && text) {
                directories.append(path);
                continue;
            }
            if (named.contains(path))
                continue;
            Finding& finding = Add(FindingKind::OrphanFile, nullptr);
            finding.areaId = areaId;
            finding.path = QFile::decodeName(path);
            finding.diskPath = directory.PathOf(name);
            finding.entryType = EntryTypeName(entry->st_mode);
            if (S_ISREG(entry->st_mode))
                finding.diskSize = entry->st_size;
        }
    }
}

CheckResult CLibraryCheck::Run()
{
    m_progress.Show(QStringLiteral("Reading records..."), true);
    ReadLinks();
    ReadFiles();
    // The areas whose directories are walked, each id once.
    QList<const FileAreaRecord*> walked;
    for (quint32 index : theFileAreaTable.RecordsWithFlag(kAreaHostsLocalFiles)) {
        const FileAreaRecord* area = theFileAreaTable.GetRecord(index);
        if (area && theFileAreaTable.FindArea(area->AreaId()) == area && Selected(area->AreaId())) {
            walked.append(area);
            m_named.insert(area->AreaId(), {});
        }
    }
    if (m_options.checksums) {
        CChecksumTable::Create();
        m_checksums.Load();
    }
    m_progress.Show(QStringLiteral("Checking files..."), true);
    ReadLocations();
    for (const FileAreaRecord* area : std::as_const(walked))
        WalkArea(*area);
    if (m_options.checksums)
        m_checksums.Update(m_hashJobs, m_selected.isEmpty(), m_result, m_progress);
    m_progress.Clear();
    std::stable_sort(m_result.findings.begin(), m_result.findings.end(), FindingBefore);
    return std::move(m_result);
}

} // namespace

CheckResult CheckLibrary(const CheckOptions& options, CProgressLine& progress)
{
    return CLibraryCheck(options, progress).Run();
}

#include "LibraryCheck.h"

#include "AreaLocator.h"
#include "CheckRows.h"
#include "ChecksumTable.h"
#include "LocationChunks.h"
#include "SetupCommandLine.h"
#include "adding/download/LocalLocation.h"
#include "database/CDBException.h"
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
#include <QUrl>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace {

constexpr uchar kLinked = 1;
constexpr uchar kLinkedToSelected = 2;
constexpr uchar kChecked = 4;

// The titles of the findings' records are read at the end, this many ids to a statement.
constexpr qsizetype kIdsPerStatement = 500;

// What the check keeps of each record: a million of them take 24 MB.
struct Record
{
    qint64 id = 0;
    qint64 size = 0;
    uchar flags = 0;
};

// The paths inside one area that locations name, as 64-bit hashes of their bytes on disk, for the
// orphan search. An orphan whose path has the hash of a named one is not reported: the odds are
// about 1 in 10^13 for each orphan of an area with a million locations.
class CNamedPaths
{
public:
    void Add(QByteArrayView path) { m_hashes.push_back(Hash(path)); }
    void Seal() { std::sort(m_hashes.begin(), m_hashes.end()); }
    bool Contains(QByteArrayView path) const { return std::binary_search(m_hashes.begin(), m_hashes.end(), Hash(path)); }

private:
    static quint64 Hash(QByteArrayView path) { return quint64(qHashBits(path.data(), size_t(path.size()), 0x2545f491)); }
    std::vector<quint64> m_hashes;
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
    Finding& Add(FindingKind kind, qint64 fileId, const QString& url = QString());
    Record* FindRecord(qint64 id);
    const FileAreaRecord* FindArea(double id);
    void ReadFiles();
    void ReadLinks();
    void ReadLocations();
    void CheckLocation(const Record& record, const LocationRow& row, const std::optional<LocalLocation>& local,
                       const FileAreaRecord* area, const QByteArray& relative);
    void WalkArea(const FileAreaRecord& area);
    void ReadTitles();

    const CheckOptions& m_options;
    CProgressLine& m_progress;
    CheckResult m_result;
    QSet<quint32> m_selected;
    std::vector<Record> m_records; // by id
    // The areas whose directories are walked, with the paths their locations name.
    QHash<quint32, CNamedPaths> m_named;
    CAreaLocator m_locator;
    std::optional<CChecksumTable> m_checksums;
    double m_lastAreaId = -1;
    const FileAreaRecord* m_lastArea = nullptr;
};

Finding& CLibraryCheck::Add(FindingKind kind, qint64 fileId, const QString& url)
{
    Finding finding;
    finding.kind = kind;
    finding.fileId = fileId;
    finding.url = url;
    m_result.findings.append(std::move(finding));
    return m_result.findings.last();
}

Record* CLibraryCheck::FindRecord(qint64 id)
{
    const auto it = std::lower_bound(m_records.begin(), m_records.end(), id,
                                     [](const Record& record, qint64 key) { return record.id < key; });
    return it != m_records.end() && it->id == id ? &*it : nullptr;
}

// Links and locations name the same few areas over and over.
const FileAreaRecord* CLibraryCheck::FindArea(double id)
{
    if (id != m_lastAreaId) {
        m_lastAreaId = id;
        m_lastArea = theFileAreaTable.FindArea(id);
    }
    return m_lastArea;
}

void CLibraryCheck::ReadFiles()
{
    ForEachCheckRow(QStringLiteral("SELECT file_id, file_size FROM files ORDER BY file_id"), {},
                    [&](const CCheckRow& row) {
                        if (m_records.size() % 4096 == 4095)
                            m_progress.Show(SafeFormat(u"Reading records... %d", qint64(m_records.size() + 1)));
                        m_records.push_back({row.Int64(0), row.Int64(1), 0});
                    });
    // Whatever order the engine gave, the lookups below need them by id.
    const auto byId = [](const Record& a, const Record& b) { return a.id < b.id; };
    if (!std::is_sorted(m_records.begin(), m_records.end(), byId))
        std::sort(m_records.begin(), m_records.end(), byId);
}

void CLibraryCheck::ReadLinks()
{
    qint64 rows = 0;
    ForEachCheckRow(QStringLiteral("SELECT file_id, area_id FROM file_area"), {}, [&](const CCheckRow& row) {
        const qint64 fileId = row.Int64(0);
        const FileAreaRecord* area = FindArea(row.Double(1));
        if (Record* record = FindRecord(fileId)) {
            record->flags |= kLinked;
            if (area && m_selected.contains(area->AreaId()))
                record->flags |= kLinkedToSelected;
        }
        if (!area && m_selected.isEmpty())
            Add(FindingKind::UnknownAreaLink, fileId).areaId = row.Int64(1);
        if (++rows % 4096 == 0)
            m_progress.Show(SafeFormat(u"Reading records... %d", rows));
    });
    for (Record& record : m_records) {
        if (!m_selected.isEmpty() && !(record.flags & kLinkedToSelected))
            continue;
        record.flags |= kChecked;
        ++m_result.counts.files;
        if (!(record.flags & kLinked))
            Add(FindingKind::NoArea, record.id);
    }
}

void CLibraryCheck::ReadLocations()
{
    qint64 total = 0;
    ForEachCheckRow(QStringLiteral("SELECT count(*) FROM download"), {},
                    [&](const CCheckRow& row) { total = row.Int64(0); });
    qint64 rows = 0;
    // In the order of the locations, so that the files of one directory come one after another and
    // its descriptor serves them all.
    CLocationChunks chunks(m_options.checksums);
    std::vector<LocationRow> chunk;
    while (chunks.Next(&chunk)) {
        for (const LocationRow& row : chunk) {
            if (++rows % 1024 == 0 && total > 0)
                m_progress.Show(SafeFormat(u"Checking files... %d%%", rows * 100 / total));
            std::optional<LocalLocation> local = ParseLocalLocation(row.url);
            const FileAreaRecord* area = local ? FindArea(local->areaId) : nullptr;
            const QByteArray relative = area ? QFile::encodeName(local->relativePath) : QByteArray();
            // Whatever record it belongs to, a location names its file for the orphan search.
            if (area) {
                const auto named = m_named.find(area->AreaId());
                if (named != m_named.end())
                    named->Add(relative);
            }
            const Record* record = FindRecord(row.fileId);
            if (record && (record->flags & kChecked))
                CheckLocation(*record, row, local, area, relative);
        }
        if (m_checksums)
            m_checksums->Store();
    }
}

void CLibraryCheck::CheckLocation(const Record& record, const LocationRow& row,
                                  const std::optional<LocalLocation>& local, const FileAreaRecord* area,
                                  const QByteArray& relative)
{
    ++m_result.counts.locations;
    const QString& url = row.url;
    if (!IsLocalLocation(url)) {
        if (!IsRemoteAddress(url))
            Add(FindingKind::BadLocation, record.id, url).reason = QStringLiteral("not an ftp, http or https address with a host");
        return;
    }
    if (!local) {
        Add(FindingKind::BadLocation, record.id, url).reason =
            QStringLiteral("not a local location of the form local://<area id>/<path>");
        return;
    }
    if (!area) {
        Finding& finding = Add(FindingKind::UnknownAreaLocation, record.id, url);
        if (local->areaId >= 0 && local->areaId <= 9007199254740991.0)
            finding.areaId = qint64(local->areaId);
        finding.path = local->relativePath;
        return;
    }
    const auto add = [&](FindingKind kind) -> Finding& {
        Finding& finding = Add(kind, record.id, url);
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
    const CSafeDirectory* parent = m_locator.ParentOf(area->AreaId(), area->Path(), relative, &leaf, &fault);
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
        // Hashed now, while its directory is open.
        if (m_checksums)
            m_checksums->Hash(row, area->AreaId(), local->relativePath, *parent, leaf, m_result, m_progress);
    }
}

void CLibraryCheck::WalkArea(const FileAreaRecord& area)
{
    const quint32 areaId = area.AreaId();
    CNamedPaths named = m_named.take(areaId);
    named.Seal();
    const auto unreadable = [&](const QString& relative, const FileFault& fault) {
        Finding& finding = Add(FindingKind::AreaUnreadable, 0);
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
        const QList<CSafeDirectory::Entry> entries = directory.Entries(&fault);
        if (fault)
            unreadable(QFile::decodeName(relative), fault); // what was read is still checked
        // Uploads wait for the scan directly in the directory of an area that accepts them.
        QSet<QByteArray> waiting;
        if (uploads && relative.isEmpty()) {
            QList<QByteArray> names;
            for (const CSafeDirectory::Entry& entry : entries)
                names.append(entry.name);
            waiting = PendingUploadNames(names);
        }
        QByteArray path = relative.isEmpty() ? QByteArray() : relative + '/';
        const qsizetype prefix = path.size();
        for (const CSafeDirectory::Entry& entry : entries) {
            const QByteArray& name = entry.name;
            if (name.startsWith('.') || IsTemporaryName(name) || waiting.contains(name))
                continue;
            path.truncate(prefix);
            path += name;
            // Stated only when the directory does not tell the type, or for an orphan's report.
            std::optional<struct stat> status;
            const auto stat = [&] {
                status = directory.StatEntry(name, &fault);
                if (!status && fault.error != ENOENT) // one gone meanwhile is simply not there
                    unreadable(QFile::decodeName(path), fault);
                return status.has_value();
            };
            mode_t type = entry.type;
            if (type == 0) {
                if (!stat())
                    continue;
                type = status->st_mode & S_IFMT;
            }
            if (++seen % 1024 == 0)
                m_progress.Show(SafeFormat(u"Looking for orphans in area %d... %d", areaId, seen));
            // A name that is no text cannot be a location's: such a directory is one orphan entry.
            if (S_ISDIR(type) && QFile::encodeName(QFile::decodeName(name)) == name) {
                directories.append(path);
                continue;
            }
            if (named.Contains(path))
                continue;
            if (!status && !stat())
                continue;
            Finding& finding = Add(FindingKind::OrphanFile, 0);
            finding.areaId = areaId;
            finding.path = QFile::decodeName(path);
            finding.diskPath = directory.PathOf(name);
            finding.entryType = EntryTypeName(status->st_mode);
            if (S_ISREG(status->st_mode))
                finding.diskSize = status->st_size;
        }
    }
}

// The titles only of the records that have findings: memory grows with them, not with the library.
void CLibraryCheck::ReadTitles()
{
    std::vector<qint64> ids;
    for (const Finding& finding : std::as_const(m_result.findings)) {
        if (finding.fileId != 0)
            ids.push_back(finding.fileId);
    }
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    QHash<qint64, QString> titles;
    for (size_t first = 0; first < ids.size(); first += size_t(kIdsPerStatement)) {
        QStringList batch;
        for (size_t i = first; i < ids.size() && i < first + size_t(kIdsPerStatement); ++i)
            batch.append(QString::number(ids[i]));
        ForEachCheckRow(SafeFormat(u"SELECT file_id, title FROM files WHERE file_id IN (%s)", batch.join(u',')), {},
                        [&](const CCheckRow& row) { titles.insert(row.Int64(0), row.Text(1)); });
    }
    for (Finding& finding : m_result.findings) {
        if (finding.fileId != 0)
            finding.title = titles.value(finding.fileId);
    }
}

// While the check reads, SQLite maps none of the database: it reads every row once, and the pages
// of a mapping would count as the check's own memory (the whole file at a million records) where
// the system's cache serves as well. The connection's setting comes back afterwards.
class CNoMapping
{
public:
    CNoMapping()
    {
        if (!theDatabaseManager.GetDatabaseConnection().isEmpty())
            return;
        ForEachCheckRow(QStringLiteral("PRAGMA mmap_size"), {}, [&](const CCheckRow& row) { m_size = row.Int64(0); });
        if (m_size > 0)
            ForEachCheckRow(QStringLiteral("PRAGMA mmap_size=0"), {}, [](const CCheckRow&) {});
    }
    ~CNoMapping()
    {
        if (m_size > 0) {
            try {
                ForEachCheckRow(SafeFormat(u"PRAGMA mmap_size=%d", m_size), {}, [](const CCheckRow&) {});
            } catch (const CDBException&) {
                // Only the speed of later reads depends on it.
            }
        }
    }

private:
    qint64 m_size = 0;
};

CheckResult CLibraryCheck::Run()
{
    const CNoMapping noMapping;
    m_progress.Show(QStringLiteral("Reading records..."), true);
    ReadFiles();
    ReadLinks();
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
        m_checksums.emplace();
    }
    m_progress.Show(QStringLiteral("Checking files..."), true);
    ReadLocations();
    for (const FileAreaRecord* area : std::as_const(walked))
        WalkArea(*area);
    if (m_checksums)
        m_checksums->Finish(m_selected.isEmpty(), m_result);
    ReadTitles();
    m_progress.Clear();
    std::stable_sort(m_result.findings.begin(), m_result.findings.end(), FindingBefore);
    return std::move(m_result);
}

} // namespace

CheckResult CheckLibrary(const CheckOptions& options, CProgressLine& progress)
{
    return CLibraryCheck(options, progress).Run();
}

#include "ChecksumTable.h"

#include "CheckRows.h"
#include "LocationChunks.h"
#include "SetupCommandLine.h"
#include "database/CDBException.h"
#include "database/CSavepoint.h"
#include "database/CTroveportDatabaseManager.h"
#include "files/SafeFiles.h"
#include "files/SafeFormat.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QHashFunctions>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <tuple>
#include <unistd.h>

namespace {

constexpr qint64 kBatchMilliseconds = 200;

// Large reads keep a disk streaming; the buffer is all the memory a file costs.
constexpr qsizetype kBlockSize = 4 * 1024 * 1024;

// The stale rows go in ranges of file ids, one statement each, so no transaction grows long.
constexpr qint64 kStaleRange = 20000;
// The duplicates' rows are read back by file id, this many ids to a statement.
constexpr qsizetype kIdsPerStatement = 500;

QString GigabytesText(qint64 bytes)
{
    return SafeFormat(u"%.1f GB", double(bytes) / 1e9);
}

struct Hashed
{
    QByteArray sha256;
    qint64 fileId;
    QString url;
};

} // namespace

CBatchedWrites::CBatchedWrites() = default;
CBatchedWrites::~CBatchedWrites() = default;

void CBatchedWrites::Run(const QString& statement, const QVariantList& values)
{
    if (!m_batch) {
        m_batch = std::make_unique<CSavepoint>(&theDatabaseManager, QStringLiteral("check_checksums"));
        m_timer.start();
    }
    theDatabaseManager.Run(statement, values);
    if (m_timer.elapsed() >= kBatchMilliseconds)
        Commit();
}

void CBatchedWrites::Commit()
{
    if (m_batch && !m_batch->Release()) {
        m_batch.reset();
        const QString why = theDatabaseManager.TakeLastError();
        throw CDBException(why.isEmpty() ? QStringLiteral("The checksums could not be stored.") : why);
    }
    m_batch.reset();
}

quint64 LocationHash(const QString& url)
{
    static_assert(sizeof(size_t) == 8, "a 64-bit hash");
    return quint64(qHash(url, size_t(0x5f3759df)));
}

QByteArray Sha256OfDescriptor(int fd, QString* error, const std::function<void(qint64)>& done)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    QByteArray buffer(kBlockSize, Qt::Uninitialized);
    qint64 total = 0;
    for (;;) {
        const ssize_t n = ::pread(fd, buffer.data(), size_t(buffer.size()), total);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            *error = QString::fromLocal8Bit(std::strerror(errno));
            return QByteArray();
        }
        if (n == 0)
            break;
        hash.addData(QByteArrayView(buffer.constData(), n));
        total += n;
        if (done)
            done(total);
    }
    return hash.result().toHex();
}

CChecksumTable::CChecksumTable() : m_now(QDateTime::currentSecsSinceEpoch())
{
}

CChecksumTable::~CChecksumTable() = default;

void CChecksumTable::Create()
{
    const bool server = !theDatabaseManager.GetDatabaseConnection().isEmpty();
    const QString integer = server ? QStringLiteral("BIGINT") : QStringLiteral("INTEGER");
    theDatabaseManager.Run(SafeFormat(u"CREATE TABLE IF NOT EXISTS file_checksum (file_id %s NOT NULL, url TEXT%s NOT "
                                      u"NULL, sha256 TEXT NOT NULL, size %s NOT NULL, checked_at %s NOT NULL, "
                                      u"PRIMARY KEY (file_id, url))",
                                      integer, server ? QStringLiteral(" COLLATE \"C\"") : QString(), integer, integer));
}

void CChecksumTable::Hash(const LocationRow& location, quint32 areaId, const QString& relativePath,
                          const CSafeDirectory& parent, const QByteArray& leaf, CheckResult& result,
                          CProgressLine& progress)
{
    progress.Show(SafeFormat(u"Checksums... %s", GigabytesText(m_bytesHashed)));
    const auto add = [&](FindingKind kind) -> Finding& {
        Finding finding;
        finding.kind = kind;
        finding.fileId = location.fileId;
        finding.url = location.url;
        finding.areaId = areaId;
        finding.path = relativePath;
        finding.diskPath = parent.PathOf(leaf);
        result.findings.append(std::move(finding));
        return result.findings.last();
    };
    QString error;
    QByteArray sha;
    qint64 size = 0;
    CSafeFile file = parent.OpenForReading(leaf);
    if (!file.IsOpen()) {
        error = file.Fault().Message();
    } else {
        size = file.Status().st_size;
        sha = Sha256OfDescriptor(file.Fd(), &error, [&](qint64 done) {
            progress.Show(SafeFormat(u"Checksums... %s", GigabytesText(m_bytesHashed + done)));
        });
    }
    if (sha.isEmpty()) {
        add(FindingKind::UnreadableFile).reason = SafeFormat(u"its checksum could not be taken: %s", error);
        return;
    }
    ++result.counts.checksummed;
    result.counts.bytesHashed += size;
    m_bytesHashed += size;
    if (!location.storedSha256.isEmpty() && location.storedSha256 != sha) {
        Finding& finding = add(FindingKind::Changed);
        finding.oldSha256 = QString::fromLatin1(location.storedSha256);
        finding.newSha256 = QString::fromLatin1(sha);
        finding.oldCheckedAt = location.storedAt;
    }
    // Empty files all share one checksum and are no one's copy of another.
    if (size > 0) {
        Copy copy{{}, location.fileId, LocationHash(location.url)};
        const QByteArray raw = QByteArray::fromHex(sha);
        std::memcpy(copy.shaPrefix.data(), raw.constData(), copy.shaPrefix.size());
        m_copies.push_back(copy);
    }
    m_pending.push_back({location.fileId, location.url, sha, size});
}

void CChecksumTable::Store()
{
    const QString upsert = QStringLiteral(
        "INSERT INTO file_checksum (file_id, url, sha256, size, checked_at) VALUES (?, ?, ?, ?, ?) "
        "ON CONFLICT (file_id, url) DO UPDATE SET sha256 = excluded.sha256, size = excluded.size, "
        "checked_at = excluded.checked_at");
    for (const Pending& row : m_pending)
        m_writes.Run(upsert, {row.fileId, row.url, QString::fromLatin1(row.sha256), row.size, m_now});
    // Not left open while the next files are read and hashed.
    m_writes.Commit();
    m_pending.clear();
}

std::vector<CChecksumTable::Copy> CChecksumTable::DuplicateCandidates()
{
    const auto key = [](const Copy& c) { return std::tie(c.shaPrefix, c.fileId, c.urlHash); };
    std::sort(m_copies.begin(), m_copies.end(), [&](const Copy& a, const Copy& b) { return key(a) < key(b); });
    std::vector<Copy> candidates;
    for (size_t first = 0; first < m_copies.size();) {
        size_t end = first + 1;
        while (end < m_copies.size() && m_copies[end].shaPrefix == m_copies[first].shaPrefix)
            ++end;
        // Sorted by file id within the group: another record shows at its end.
        if (m_copies[end - 1].fileId != m_copies[first].fileId)
            candidates.insert(candidates.end(), m_copies.begin() + qsizetype(first), m_copies.begin() + qsizetype(end));
        first = end;
    }
    std::vector<Copy>().swap(m_copies);
    return candidates;
}

void CChecksumTable::Finish(bool removeStale, CheckResult& result)
{
    Store();
    if (removeStale) {
        qint64 low = 0, high = -1;
        ForEachCheckRow(QStringLiteral("SELECT min(file_id), max(file_id) FROM file_checksum"), {},
                        [&](const CCheckRow& row) {
                            if (!row.IsNull(0)) {
                                low = row.Int64(0);
                                high = row.Int64(1);
                            }
                        });
        const QString remove = QStringLiteral(
            "DELETE FROM file_checksum WHERE file_id >= ? AND file_id <= ? AND NOT EXISTS (SELECT 1 FROM download d "
            "WHERE d.file_id = file_checksum.file_id AND d.url = file_checksum.url)");
        for (qint64 from = low; from <= high;) {
            const qint64 to = high - from < kStaleRange ? high : from + kStaleRange - 1;
            m_writes.Run(remove, {from, to});
            if (to == high)
                break;
            from = to + 1;
        }
        m_writes.Commit();
    }

    // The candidates share the first half of a checksum with another record's copy. Their rows, just
    // written, give the whole checksum and the location; a row is known by its file id and the hash
    // of its location, where a collision within one record's locations (odds ~1e-19) would list a
    // location of that record that is not a copy.
    std::vector<Copy> candidates = DuplicateCandidates();
    if (candidates.empty())
        return;
    const auto key = [](const Copy& c) { return std::pair(c.fileId, c.urlHash); };
    std::sort(candidates.begin(), candidates.end(), [&](const Copy& a, const Copy& b) { return key(a) < key(b); });
    std::vector<Hashed> hashed;
    for (size_t first = 0; first < candidates.size();) {
        QStringList ids;
        size_t end = first;
        while (end < candidates.size() && ids.size() < kIdsPerStatement) {
            ids.append(QString::number(candidates[end].fileId));
            const qint64 id = candidates[end].fileId;
            while (end < candidates.size() && candidates[end].fileId == id)
                ++end;
        }
        ForEachCheckRow(
            SafeFormat(u"SELECT file_id, url, sha256 FROM file_checksum WHERE file_id IN (%s)", ids.join(u',')), {},
            [&](const CCheckRow& row) {
                Hashed one{row.Utf8(2).toLower(), row.Int64(0), row.Text(1)};
                const std::pair wanted(one.fileId, LocationHash(one.url));
                const auto it = std::lower_bound(candidates.begin() + qsizetype(first), candidates.begin() + qsizetype(end),
                                                 wanted, [&](const Copy& c, const auto& k) { return key(c) < k; });
                if (it != candidates.begin() + qsizetype(end) && key(*it) == wanted)
                    hashed.push_back(std::move(one));
            });
        first = end;
    }
    std::sort(hashed.begin(), hashed.end(), [](const Hashed& a, const Hashed& b) {
        return std::tie(a.sha256, a.fileId, a.url) < std::tie(b.sha256, b.fileId, b.url);
    });
    for (size_t first = 0; first < hashed.size();) {
        size_t end = first + 1;
        bool otherRecord = false;
        while (end < hashed.size() && hashed[end].sha256 == hashed[first].sha256) {
            otherRecord = otherRecord || hashed[end].fileId != hashed[first].fileId;
            ++end;
        }
        if (otherRecord) {
            Finding finding;
            finding.kind = FindingKind::DuplicateContent;
            finding.fileId = hashed[first].fileId;
            finding.url = hashed[first].url;
            finding.newSha256 = QString::fromLatin1(hashed[first].sha256);
            for (size_t i = first; i < end; ++i)
                finding.copies.append({hashed[i].fileId, hashed[i].url});
            result.findings.append(std::move(finding));
        }
        first = end;
    }
}

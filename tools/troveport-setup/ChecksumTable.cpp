#include "ChecksumTable.h"

#include "AreaLocator.h"
#include "SetupCommandLine.h"
#include "database/CDBException.h"
#include "database/CSavepoint.h"
#include "database/CTroveportDatabaseManager.h"
#include "files/SafeFormat.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QElapsedTimer>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <tuple>
#include <unistd.h>

namespace {

// Writes go in transactions this long at most, so the web site, which shares the database, waits
// for none of them noticeably.
constexpr qint64 kBatchMilliseconds = 200;

// Large reads keep a disk streaming; the buffer is all the memory a file costs.
constexpr qsizetype kBlockSize = 4 * 1024 * 1024;

QString GigabytesText(qint64 bytes)
{
    return SafeFormat(u"%.1f GB", double(bytes) / 1e9);
}

// Writes in short transactions: each is committed once it has been open kBatchMilliseconds.
class CBatchedWrites
{
public:
    void Run(const QString& statement, const QVariantList& values)
    {
        if (!m_batch) {
            m_batch.emplace(&theDatabaseManager, QStringLiteral("check_checksums"));
            m_timer.start();
        }
        theDatabaseManager.Run(statement, values);
        if (m_timer.elapsed() >= kBatchMilliseconds)
            Commit();
    }
    void Commit()
    {
        if (m_batch && !m_batch->Release()) {
            m_batch.reset();
            const QString why = theDatabaseManager.TakeLastError();
            throw CDBException(why.isEmpty() ? QStringLiteral("The checksums could not be stored.") : why);
        }
        m_batch.reset();
    }

private:
    std::optional<CSavepoint> m_batch;
    QElapsedTimer m_timer;
};

struct Hashed
{
    QByteArray sha256;
    qint64 fileId;
    QString url;
    QString title;
};

} // namespace

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

void CChecksumTable::Create()
{
    const bool server = !theDatabaseManager.GetDatabaseConnection().isEmpty();
    const QString integer = server ? QStringLiteral("BIGINT") : QStringLiteral("INTEGER");
    theDatabaseManager.Run(SafeFormat(u"CREATE TABLE IF NOT EXISTS file_checksum (file_id %s NOT NULL, url TEXT%s NOT "
                                      u"NULL, sha256 TEXT NOT NULL, size %s NOT NULL, checked_at %s NOT NULL, "
                                      u"PRIMARY KEY (file_id, url))",
                                      integer, server ? QStringLiteral(" COLLATE \"C\"") : QString(), integer, integer));
}

void CChecksumTable::Load()
{
    theDatabaseManager.ForEachRow(QStringLiteral("SELECT file_id, url, sha256, checked_at FROM file_checksum"), {},
                                  [this](const QSqlQuery& query) {
                                      m_rows.insert({query.value(0).toLongLong(), query.value(1).toString()},
                                                    {query.value(2).toString().toLatin1().toLower(),
                                                     query.value(3).toLongLong(), false});
                                  });
}

void CChecksumTable::NoteLocation(qint64 fileId, const QString& url)
{
    const auto it = m_rows.find({fileId, url});
    if (it != m_rows.end())
        it->located = true;
}

void CChecksumTable::Update(const std::vector<HashJob>& jobs, bool removeStale, CheckResult& result,
                            CProgressLine& progress)
{
    qint64 totalBytes = 0;
    for (const HashJob& job : jobs)
        totalBytes += job.size;
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    const QString upsert = QStringLiteral(
        "INSERT INTO file_checksum (file_id, url, sha256, size, checked_at) VALUES (?, ?, ?, ?, ?) "
        "ON CONFLICT (file_id, url) DO UPDATE SET sha256 = excluded.sha256, size = excluded.size, "
        "checked_at = excluded.checked_at");
    CBatchedWrites writes;
    CAreaLocator locator;
    std::vector<Hashed> hashed;
    hashed.reserve(jobs.size());
    qint64 bytesBefore = 0;
    for (const HashJob& job : jobs) {
        progress.Show(SafeFormat(u"Checksums... %s of %s", GigabytesText(bytesBefore), GigabytesText(totalBytes)));
        bytesBefore += job.size;
        QByteArray leaf;
        FileFault fault;
        QString error;
        QByteArray sha;
        qint64 size = 0;
        const CSafeDirectory* parent = locator.ParentOf(job.areaId, job.areaPath, job.relativePath, &leaf, &fault);
        CSafeFile file = parent ? parent->OpenForReading(leaf) : CSafeFile();
        if (!file.IsOpen()) {
            error = parent ? file.Fault().Message() : fault.Message();
        } else {
            size = file.Status().st_size;
            sha = Sha256OfDescriptor(file.Fd(), &error, [&](qint64 done) {
                progress.Show(SafeFormat(u"Checksums... %s of %s", GigabytesText(bytesBefore - job.size + done),
                                         GigabytesText(totalBytes)));
            });
        }
        if (sha.isEmpty()) {
            Finding finding;
            finding.kind = FindingKind::UnreadableFile;
            finding.fileId = job.fileId;
            finding.title = job.title;
            finding.url = job.url;
            finding.areaId = job.areaId;
            finding.path = job.relativePath;
            finding.diskPath = parent ? parent->PathOf(leaf) : job.relativePath;
            finding.reason = SafeFormat(u"its checksum could not be taken: %s", error);
            result.findings.append(std::move(finding));
            continue;
        }
        ++result.counts.checksummed;
        result.counts.bytesHashed += size;
        const auto stored = m_rows.constFind({job.fileId, job.url});
        if (stored != m_rows.cend() && stored->sha256 != sha) {
            Finding finding;
            finding.kind = FindingKind::Changed;
            finding.fileId = job.fileId;
            finding.title = job.title;
            finding.url = job.url;
            finding.areaId = job.areaId;
            finding.path = job.relativePath;
            finding.diskPath = parent->PathOf(leaf);
            finding.oldSha256 = QString::fromLatin1(stored->sha256);
            finding.newSha256 = QString::fromLatin1(sha);
            finding.oldCheckedAt = stored->checkedAt;
            result.findings.append(std::move(finding));
        }
        writes.Run(upsert, {job.fileId, job.url, QString::fromLatin1(sha), size, now});
        // Empty files all share one checksum and are no one's copy of another.
        if (size > 0)
            hashed.push_back({sha, job.fileId, job.url, job.title});
    }
    if (removeStale) {
        for (auto it = m_rows.cbegin(); it != m_rows.cend(); ++it) {
            if (!it->located)
                writes.Run(QStringLiteral("DELETE FROM file_checksum WHERE file_id = ? AND url = ?"),
                           {it.key().first, it.key().second});
        }
    }
    writes.Commit();

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
            finding.title = hashed[first].title;
            finding.url = hashed[first].url;
            finding.newSha256 = QString::fromLatin1(hashed[first].sha256);
            for (size_t i = first; i < end; ++i)
                finding.copies.append({hashed[i].fileId, hashed[i].url});
            result.findings.append(std::move(finding));
        }
        first = end;
    }
}

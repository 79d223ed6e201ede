#pragma once

#include "CheckFindings.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <QVariantList>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class CProgressLine;
class CSafeDirectory;
class CSavepoint;
struct LocationRow;

// Writes in short transactions: each is committed once it has been open kBatchMilliseconds, so the
// web site, which shares the database, waits for none of them noticeably.
class CBatchedWrites
{
public:
    CBatchedWrites();
    ~CBatchedWrites();
    CBatchedWrites(const CBatchedWrites&) = delete;
    CBatchedWrites& operator=(const CBatchedWrites&) = delete;

    // Throws CDBException when the statement or a commit fails.
    void Run(const QString& statement, const QVariantList& values);
    void Commit();

private:
    std::unique_ptr<CSavepoint> m_batch;
    QElapsedTimer m_timer;
};

// The table file_checksum (docs/database.md): the SHA-256 of each local copy at the last check, by
// file id and location, so that a later check finds content that changed. The check hands it each
// copy it found as a regular file, with the row stored for it, while the copy's directory is open;
// memory keeps 32 bytes per copy for the duplicates.
class CChecksumTable
{
public:
    CChecksumTable();
    ~CChecksumTable();

    // Makes the table when missing, on either engine. Throws CDBException.
    static void Create();

    // Hashes the file through the file layer in large blocks. Adds a changed finding when the stored
    // row differs, unreadable-file when the file cannot be read; the row is written at the next Store.
    void Hash(const LocationRow& location, quint32 areaId, const QString& relativePath, const CSafeDirectory& parent,
              const QByteArray& leaf, CheckResult& result, CProgressLine& progress);
    // Writes the rows hashed since the last call, in short transactions. Throws CDBException when a
    // row cannot be stored (a lock the site holds included).
    void Store();
    // With removeStale, removes the rows of locations that no longer exist; then adds the
    // duplicate-content findings of the copies hashed. Throws CDBException.
    void Finish(bool removeStale, CheckResult& result);

private:
    struct Pending
    {
        qint64 fileId;
        QString url;
        QByteArray sha256; // hex
        qint64 size;
    };
    // A copy for the duplicate search: the first half of its SHA-256 and what names it.
    struct Copy
    {
        std::array<uchar, 16> shaPrefix;
        qint64 fileId;
        quint64 urlHash;
    };
    std::vector<Copy> DuplicateCandidates();

    qint64 m_now;
    std::vector<Pending> m_pending;
    std::vector<Copy> m_copies;
    CBatchedWrites m_writes;
    qint64 m_bytesHashed = 0;
};

// The hash the duplicate search keeps of a location's text.
quint64 LocationHash(const QString& url);

// The SHA-256 of everything the descriptor reads from its start, in hex; empty, with *error set,
// when a read fails. done is told the bytes read so far.
QByteArray Sha256OfDescriptor(int fd, QString* error, const std::function<void(qint64)>& done = {});

#pragma once

#include "CheckFindings.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <functional>
#include <vector>

class CProgressLine;

// A local copy whose content is to be hashed: a regular file inside its area when the check saw it.
struct HashJob
{
    qint64 fileId = 0;
    QString title;
    QString url;
    quint32 areaId = 0;
    QString areaPath;     // the area's directory, as the table gives it
    QString relativePath; // a plain path inside it
    qint64 size = 0;      // as the check saw it
};

// The table file_checksum (docs/database.md): the SHA-256 of each local copy at the last check, by
// file id and location, so that a later check finds content that changed.
class CChecksumTable
{
public:
    // Makes the table when missing, on either engine. Throws CDBException.
    static void Create();

    // Reads every stored row with one statement. Throws CDBException.
    void Load();
    // The location still exists: its row stays when the stale rows are removed.
    void NoteLocation(qint64 fileId, const QString& url);

    // Hashes each job's file through the file layer, in large blocks, and stores the rows in short
    // transactions. Adds the changed and duplicate-content findings, and unreadable-file for a file
    // that could not be read. With removeStale, the rows of locations that no longer exist go.
    // Throws CDBException when a row cannot be stored (a lock the site holds included).
    void Update(const std::vector<HashJob>& jobs, bool removeStale, CheckResult& result, CProgressLine& progress);

private:
    struct Stored
    {
        QByteArray sha256; // hex, as stored
        qint64 checkedAt = 0;
        bool located = false;
    };
    QHash<std::pair<qint64, QString>, Stored> m_rows;
};

// The SHA-256 of everything the descriptor reads from its start, in hex; empty, with *error set,
// when a read fails. done is told the bytes read so far.
QByteArray Sha256OfDescriptor(int fd, QString* error, const std::function<void(qint64)>& done = {});

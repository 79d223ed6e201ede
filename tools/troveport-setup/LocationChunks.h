#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <vector>

// One row of download, with the checksum stored for it at the last check when asked for.
struct LocationRow
{
    qint64 fileId = 0;
    QString url;
    QByteArray storedSha256; // hex in lower case; empty when none is stored
    qint64 storedAt = 0;
};

// Reads the locations in the order of their text, a chunk at a time (keyset pagination on the url
// index, which both engines use), so that memory holds one chunk, never the whole table: the files
// of one directory come one after another, and each chunk can be checked, hashed and stored before
// the next is read.
class CLocationChunks
{
public:
    // withStored: each row comes with its file_checksum row (LEFT JOIN on its primary key).
    explicit CLocationChunks(bool withStored, qsizetype chunkRows = 20000);

    // The next chunk in *rows; false when every location was read. Throws CDBException.
    bool Next(std::vector<LocationRow>* rows);

private:
    // The rows of one statement, at most a chunk's when limited; the number of rows at their end
    // that share the last url, which is left in *last.
    qsizetype Read(const QString& condition, const QVariant& value, bool limited, std::vector<LocationRow>* rows,
                   QVariant* last);

    bool m_withStored;
    qsizetype m_chunkRows;
    bool m_done = false;
    QVariant m_last; // the last url read, as bound for the engine; null before the first chunk
};

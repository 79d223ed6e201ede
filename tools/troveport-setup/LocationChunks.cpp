#include "LocationChunks.h"

#include "CheckRows.h"
#include "database/CTroveportDatabaseManager.h"
#include "files/SafeFormat.h"

CLocationChunks::CLocationChunks(bool withStored, qsizetype chunkRows) : m_withStored(withStored), m_chunkRows(chunkRows)
{
}

qsizetype CLocationChunks::Read(const QString& condition, const QVariant& value, bool limited,
                                std::vector<LocationRow>* rows, QVariant* last)
{
    qsizetype trailing = 0; // the rows at the end that have the last url
    const QString select =
        m_withStored ? QStringLiteral("SELECT d.file_id, d.url, c.sha256, c.checked_at FROM download d LEFT JOIN "
                                      "file_checksum c ON c.file_id = d.file_id AND c.url = d.url")
                     : QStringLiteral("SELECT d.file_id, d.url FROM download d");
    // The rest of a text's locations come whole, however many.
    const QString statement = limited ? SafeFormat(u"%s %s ORDER BY d.url LIMIT %d", select, condition, m_chunkRows)
                                      : SafeFormat(u"%s %s", select, condition);
    // SQLite gets the url back as it stores it, bytes that are no valid UTF-8 included, so that the
    // next chunk starts exactly after it; PostgreSQL's text is always valid.
    const bool server = !theDatabaseManager.GetDatabaseConnection().isEmpty();
    ForEachCheckRow(statement, value.isNull() ? QVariantList() : QVariantList{value}, [&](const CCheckRow& row) {
        LocationRow location;
        location.fileId = row.Int64(0);
        QVariant url;
        if (server) {
            location.url = row.Text(1);
            url = location.url;
        } else {
            const QByteArray bytes = row.Utf8(1);
            location.url = QString::fromUtf8(bytes);
            url = bytes;
        }
        trailing = url == *last ? trailing + 1 : 1;
        *last = std::move(url);
        if (m_withStored && !row.IsNull(2)) {
            location.storedSha256 = row.Utf8(2).toLower();
            location.storedAt = row.Int64(3);
        }
        rows->push_back(std::move(location));
    });
    return trailing;
}

bool CLocationChunks::Next(std::vector<LocationRow>* rows)
{
    rows->clear();
    if (m_done)
        return false;
    QVariant last;
    const qsizetype trailing = Read(m_last.isNull() ? QString() : QStringLiteral("WHERE d.url > ?"), m_last, true, rows, &last);
    if (qsizetype(rows->size()) < m_chunkRows) {
        m_done = true;
        return !rows->empty();
    }
    // The locations with the chunk's last text may go on past the limit: they are read whole here,
    // and the next chunk starts after them.
    rows->resize(rows->size() - size_t(trailing));
    QVariant ignored;
    Read(QStringLiteral("WHERE d.url = ?"), last, false, rows, &ignored);
    m_last = last;
    return true;
}

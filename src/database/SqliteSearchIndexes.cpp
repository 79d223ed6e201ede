#include "database/SqliteSearchIndexes.h"

#include "database/CDatabaseManager.h"
#include "database/CDBException.h"
#include "database/SqlDialect.h"

#include <QRegularExpression>
#include <QScopeGuard>
#include <QSqlQuery>
#include <QVariant>

#include <optional>

namespace {

// The searched columns of files, in the order of the search's fields.
const QStringList kFileColumns{QStringLiteral("title"), QStringLiteral("short_desc"),
                               QStringLiteral("long_desc"), QStringLiteral("upld_name"),
                               QStringLiteral("upld_email")};

const char* const kTables[] = {"files_search", "download_search", "search_pending"};
const char* const kTriggers[] = {"files_search_insert",    "files_search_delete",
                                 "files_search_update",    "download_search_insert",
                                 "download_search_delete", "download_search_update"};

QString Columns(const QString& prefix)
{
    QStringList columns;
    for (const QString& column : kFileColumns)
        columns.append(prefix + column);
    return columns.join(QStringLiteral(", "));
}

// Notes a file as changed since the indexes caught up, with the texts they hold for it: those of
// the first change (a file added since holds none), which the catching up takes out again.
QString NoteIndexed(const QString& row)
{
    return QStringLiteral("INSERT OR IGNORE INTO search_pending SELECT %1.file_id, 1, %2;")
        .arg(row, Columns(row + QLatin1Char('.')));
}

QString NoteAdded(const QString& fileId)
{
    return QStringLiteral("INSERT OR IGNORE INTO search_pending (file_id, indexed) VALUES (%1, 0);")
        .arg(fileId);
}

// A change of a location: the file's texts are as indexed unless it is noted already.
QString NoteLocationsOf(const QString& fileId)
{
    return QStringLiteral(
               "INSERT OR IGNORE INTO search_pending SELECT file_id, 1, %1 FROM files WHERE file_id = %2;")
        .arg(Columns(QString()), fileId);
}

// A search's condition on one column: "files.title like '%text%'".
struct CLikeTerm
{
    QString table; // files or download
    QString column;
    QString pattern; // as LIKE reads it, quotes no longer doubled
};

std::optional<CLikeTerm> ParseTerm(const QString& term)
{
    static const QRegularExpression shape(
        QStringLiteral("^(files|download)\\.(\\w+)\\s+like\\s+'((?:[^']|'')*)'$"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = shape.match(term);
    if (!match.hasMatch())
        return std::nullopt;
    CLikeTerm parsed{match.captured(1).toLower(), match.captured(2).toLower(),
                     match.captured(3).replace(QStringLiteral("''"), QStringLiteral("'"))};
    const bool known = parsed.table == QLatin1String("files") ? kFileColumns.contains(parsed.column)
                                                              : parsed.column == QLatin1String("url");
    return known ? std::optional(parsed) : std::nullopt;
}

// What every value a LIKE pattern matches contains: the trigrams of its runs of three characters
// or more between wildcards, as an FTS5 query that wants them all. Empty when there is no such run.
// The index keeps no positions or columns (a quarter of the size, and quicker to bring up to date), so
// it names rows holding those trigrams anywhere in their texts; case is left to it, and it folds
// more than LIKE does. Either way it names every row LIKE would match, and maybe more.
QString TrigramQuery(const QString& pattern)
{
    static const QRegularExpression wildcards(QStringLiteral("[%_]"));
    QStringList trigrams;
    for (const QString& run : pattern.split(wildcards, Qt::SkipEmptyParts)) {
        const QList<uint> points = run.toUcs4();
        for (qsizetype i = 0; i + 3 <= points.size(); ++i) {
            const QString trigram =
                QString::fromUcs4(reinterpret_cast<const char32_t*>(points.constData() + i), 3);
            const QString phrase = QLatin1Char('"') +
                                   QString(trigram).replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
                                   QLatin1Char('"');
            if (!trigrams.contains(phrase))
                trigrams.append(phrase);
        }
    }
    return trigrams.join(QStringLiteral(" AND "));
}

QString QuotedText(const QString& text)
{
    return QLatin1Char('\'') + QString(text).replace(QLatin1Char('\''), QStringLiteral("''")) +
           QLatin1Char('\'');
}

} // namespace

QStringList SqliteSearchIndexStatements()
{
    // The triggers only note which files changed: a row written to an FTS5 table costs a great deal
    // more in a statement of its own (as a site writes) than among many. Searches take the noted
    // files as candidates too, and bring the indexes up to date (SqliteCatchUpSearchIndexes).
    const QString columns = Columns(QString());
    const QString texts = QStringLiteral("%1 TEXT").arg(kFileColumns.join(QStringLiteral(" TEXT, ")));
    return {
        QStringLiteral("CREATE VIRTUAL TABLE files_search USING fts5(%1, content='files', "
                       "content_rowid='file_id', tokenize='trigram', detail=none)")
            .arg(columns),
        // A file's locations as one row keyed by its id: keyed by download's own rowid instead, the
        // rows would lose their meaning when VACUUM renumbers that table (it has no INTEGER PRIMARY KEY).
        QStringLiteral(
            "CREATE VIRTUAL TABLE download_search USING fts5(urls, tokenize='trigram', detail=none)"),
        QStringLiteral(
            "CREATE TABLE search_pending (file_id INTEGER PRIMARY KEY, indexed INTEGER NOT NULL, %1)")
            .arg(texts),
        QStringLiteral("CREATE TRIGGER files_search_insert AFTER INSERT ON files BEGIN %1 END")
            .arg(NoteAdded(QStringLiteral("new.file_id"))),
        QStringLiteral("CREATE TRIGGER files_search_delete AFTER DELETE ON files BEGIN %1 END")
            .arg(NoteIndexed(QStringLiteral("old"))),
        // Only changes of the indexed texts: counting a download must not note the file.
        QStringLiteral(
            "CREATE TRIGGER files_search_update AFTER UPDATE OF file_id, %1 ON files BEGIN %2 %3 END")
            .arg(columns, NoteIndexed(QStringLiteral("old")), NoteAdded(QStringLiteral("new.file_id"))),
        QStringLiteral("CREATE TRIGGER download_search_insert AFTER INSERT ON download BEGIN %1 END")
            .arg(NoteLocationsOf(QStringLiteral("new.file_id"))),
        QStringLiteral("CREATE TRIGGER download_search_delete AFTER DELETE ON download BEGIN %1 END")
            .arg(NoteLocationsOf(QStringLiteral("old.file_id"))),
        QStringLiteral(
            "CREATE TRIGGER download_search_update AFTER UPDATE OF file_id, url ON download BEGIN %1 %2 END")
            .arg(NoteLocationsOf(QStringLiteral("old.file_id")),
                 NoteLocationsOf(QStringLiteral("new.file_id"))),
    };
}

QStringList SqliteDropSearchIndexStatements()
{
    QStringList statements;
    for (const char* trigger : kTriggers)
        statements.append(QStringLiteral("DROP TRIGGER IF EXISTS %1").arg(QLatin1String(trigger)));
    for (const char* table : kTables)
        statements.append(QStringLiteral("DROP TABLE IF EXISTS %1").arg(QLatin1String(table)));
    return statements;
}

void FillSqliteSearchIndexes(CDatabaseManager& manager, const std::function<void(int percent)>& progress,
                             qint64 batch)
{
    // Batches of files by id, each with the locations of the same ids; the locations of ids that
    // no file has are indexed too, with the first batch or the last.
    QVariantList count;
    manager.Run(QStringLiteral("SELECT count(*) FROM files"), {}, &count);
    const qint64 total = count.value(0).toLongLong();
    const QString fileColumns = Columns(QString());
    std::optional<qint64> last; // the highest id indexed so far
    for (qint64 done = 0;; done += batch) {
        if (progress)
            progress(total > 0 ? int(qMin(done, total) * 100 / total) : 100);
        QVariantList bound;
        manager.Run(
            last ? QStringLiteral("SELECT file_id FROM files WHERE file_id > ? ORDER BY file_id LIMIT 1 "
                                  "OFFSET %1")
                       .arg(batch - 1)
                 : QStringLiteral("SELECT file_id FROM files ORDER BY file_id LIMIT 1 OFFSET %1")
                       .arg(batch - 1),
            last ? QVariantList{*last} : QVariantList{}, &bound);
        QStringList range;
        QVariantList values;
        if (last) {
            range.append(QStringLiteral("file_id > ?"));
            values.append(*last);
        }
        if (!bound.isEmpty()) {
            range.append(QStringLiteral("file_id <= ?"));
            values.append(bound.first());
        }
        const QString where =
            range.isEmpty() ? QString() : QStringLiteral(" WHERE ") + range.join(QStringLiteral(" AND "));
        manager.Run(QStringLiteral("INSERT INTO files_search(rowid, %1) SELECT file_id, %1 FROM files%2")
                        .arg(fileColumns, where),
                    values);
        manager.Run(QStringLiteral("INSERT INTO download_search(rowid, urls) SELECT file_id, "
                                   "group_concat(url, char(10)) FROM download%1 GROUP BY file_id")
                        .arg(where),
                    values);
        if (bound.isEmpty())
            break;
        last = bound.first().toLongLong();
    }
    manager.Run(QStringLiteral("DELETE FROM search_pending"));
    if (progress)
        progress(100);
}

bool SqliteCatchUpSearchIndexes(CDatabaseManager& manager, qint64 most, bool wait)
{
    QVariantList pending;
    manager.Run(QStringLiteral("SELECT EXISTS (SELECT 1 FROM search_pending)"), {}, &pending);
    if (!pending.value(0).toBool() || manager.InTransaction())
        return false;
    if (!wait)
        manager.Run(QStringLiteral("PRAGMA busy_timeout = 0"));
    const auto restore = qScopeGuard([&manager, wait] {
        if (!wait)
            manager.Run(QStringLiteral("PRAGMA busy_timeout = %1").arg(CDatabaseManager::kLockWait));
    });
    try {
        manager.Run(QStringLiteral("BEGIN IMMEDIATE"));
    } catch (const CDBException&) {
        if (wait)
            throw;
        return false; // busy: the noted files stay candidates meanwhile
    }
    try {
        const QString columns = Columns(QString());
        // The same files in every statement: nothing else writes inside the transaction.
        const QString noted =
            most > 0
                ? QStringLiteral("(SELECT file_id FROM search_pending ORDER BY file_id LIMIT %1)").arg(most)
                : QStringLiteral("(SELECT file_id FROM search_pending)");
        manager.Run(
            QStringLiteral("INSERT INTO files_search(files_search, rowid, %1) SELECT 'delete', file_id, %1 "
                           "FROM search_pending WHERE indexed AND file_id IN %2")
                .arg(columns, noted));
        manager.Run(
            QStringLiteral(
                "INSERT INTO files_search(rowid, %1) SELECT file_id, %1 FROM files WHERE file_id IN %2")
                .arg(columns, noted));
        manager.Run(QStringLiteral("DELETE FROM download_search WHERE rowid IN %1").arg(noted));
        manager.Run(
            QStringLiteral("INSERT INTO download_search(rowid, urls) SELECT file_id, group_concat(url, "
                           "char(10)) FROM download WHERE file_id IN %1 GROUP BY file_id")
                .arg(noted));
        manager.Run(QStringLiteral("DELETE FROM search_pending WHERE file_id IN %1").arg(noted));
        manager.Run(QStringLiteral("COMMIT"));
        return true;
    } catch (const CDBException& e) {
        manager.Run(QStringLiteral("ROLLBACK"));
        if (wait)
            throw;
        manager.LogError(e.GetErrorText());
        return false;
    }
}

bool SqliteSearchIndexesPresent(CDatabaseManager& manager)
{
    QStringList names;
    for (const char* table : kTables)
        names.append(QLatin1String(table));
    for (const char* trigger : kTriggers)
        names.append(QLatin1String(trigger));
    QVariantList found;
    manager.Run(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name IN ('%1')")
                    .arg(names.join(QStringLiteral("', '"))),
                {}, &found);
    return found.value(0).toInt() == names.size();
}

std::optional<CIndexedSearch> SqliteIndexedSearch(const QString& keyStatement)
{
    static const QRegularExpression head(
        QStringLiteral(
            "^select\\s+distinct\\s+files\\.file_id\\s+from\\s+files(\\s+inner\\s+join\\s+download\\s+"
            "on\\s+files\\.file_id\\s*=\\s*download\\.file_id)?\\s+where\\s+"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = head.match(keyStatement);
    if (!match.hasMatch())
        return std::nullopt;
    const bool join = !match.captured(1).isEmpty();
    qsizetype orderAt = FindKeyword(keyStatement, QLatin1String("order"), match.capturedEnd());
    const QString condition =
        keyStatement.mid(match.capturedEnd(), orderAt < 0 ? -1 : orderAt - match.capturedEnd());
    const QString order = orderAt < 0 ? QString() : keyStatement.mid(orderAt);
    if (order.contains(QLatin1Char('\'')))
        return std::nullopt;

    // The patterns searched in the files' texts, and in their locations.
    QStringList filePatterns, locationPatterns;
    for (qsizetype begin = 0;;) {
        const qsizetype orAt = FindKeyword(condition, QLatin1String("or"), begin);
        const auto term = ParseTerm(condition.mid(begin, orAt < 0 ? -1 : orAt - begin).trimmed());
        if (!term || TrigramQuery(term->pattern).isEmpty() ||
            (term->table == QLatin1String("download") && !join))
            return std::nullopt;
        QStringList& patterns = term->table == QLatin1String("files") ? filePatterns : locationPatterns;
        if (!patterns.contains(term->pattern))
            patterns.append(term->pattern);
        if (orAt < 0)
            break;
        begin = orAt + 2;
    }

    QStringList candidates;
    for (const QString& pattern : filePatterns)
        candidates.append(QStringLiteral("SELECT rowid FROM files_search WHERE files_search MATCH %1")
                              .arg(QuotedText(TrigramQuery(pattern))));
    for (const QString& pattern : locationPatterns)
        candidates.append(QStringLiteral("SELECT rowid FROM download_search WHERE download_search MATCH %1")
                              .arg(QuotedText(TrigramQuery(pattern))));
    // Files changed since the indexes caught up.
    candidates.append(QStringLiteral("SELECT file_id FROM search_pending"));
    // The candidates then meet the search's own condition, as every row would.
    const QString matching =
        join ? QStringLiteral(
                   "EXISTS (SELECT 1 FROM download WHERE download.file_id = files.file_id AND (%1))")
                   .arg(condition.trimmed())
             : QStringLiteral("(%1)").arg(condition.trimmed());
    CIndexedSearch search{candidates.join(QStringLiteral(" UNION ALL ")), QString()};
    search.statement = QStringLiteral("SELECT files.file_id FROM files WHERE files.file_id IN (%1) AND %2")
                           .arg(search.candidates, matching);
    if (!order.isEmpty())
        search.statement += QLatin1Char(' ') + order;
    return search;
}

QString SqliteSearchStatement(CDatabaseManager& manager, const QString& keyStatement)
{
    const auto search = SqliteIndexedSearch(keyStatement);
    // Asked anew each time: another program may have made or dropped the indexes meanwhile.
    if (!search || !SqliteSearchIndexesPresent(manager))
        return keyStatement;
    // A few at a time, so that the write lock is held briefly (about half a second here); a bulk
    // import brings the indexes up to date itself.
    SqliteCatchUpSearchIndexes(manager, 10000, false);
    // Each file the index names costs a look-up: several times a file read in a row. A text in
    // most files (a part of every address, or trigrams all over the descriptions) reads faster row
    // by row; counting up to the limit costs little against either.
    QVariantList highest;
    manager.Run(QStringLiteral("SELECT max(file_id) FROM files"), {}, &highest);
    const qint64 limit = qMax<qint64>(1000, highest.value(0).toLongLong() / 10);
    qint64 named = 0;
    // Not kept prepared, as Run would: each search has a statement of its own.
    manager.ForEachRow(
        QStringLiteral("SELECT count(*) FROM (%1 LIMIT %2)").arg(search->candidates, QString::number(limit)),
        {}, [&named](const QSqlQuery& row) { named = row.value(0).toLongLong(); });
    return named < limit ? search->statement : keyStatement;
}

// A library of 1,000,000 files on a PostgreSQL server, side by side with psql running the same
// statements on the same database in the same run:
//
//  - opening an area that holds every file (GetAllFilesInArea) and painting screens of 40 rows (at
//    the top, in the middle, across the border of two blocks), with the round trips each costs;
//  - a search in title and descriptions (a word a few hundred files hold, and a common one) with the
//    trigram indexes, and again after dropping them; with the URL field as well.
//
//   bench_postgres [--server URI] [--database NAME] [--files N] [--rounds N] [--screens N]
//                  [--text WORD] [--common WORD] [--parts area,window,search] [--pages N]
//
// The window part opens the explorer's window (offscreen unless QT_QPA_PLATFORM says otherwise) at
// 1280x900 and 1920x1080 and counts the round trips of each view mode's screens on the wire.
//
// The server is --server or TROVEPORT_TEST_POSTGRES (postgresql://user@host:port/); without one the
// benchmark says so and does nothing. The files are made in the database NAME (troveport_bench_N by
// default) by server-side SQL and kept there: a later run against the same server finds them and
// starts at once. scripts/with-postgres.sh runs it with a throwaway server (made anew, so the files
// are made anew too).

#include "BenchSupport.h"
#include "database/CDBException.h"
#include "database/CFileRecord.h"
#include "database/CRecordSet.h"
#include "database/CTroveportDatabaseManager.h"
#include "database/PostgresBlockReader.h"
#include "database/PostgresConnection.h"
#include "database/PostgresEngine.h"
#include "database/SearchStatement.h"
#include "PostgresBenchData.h"
#include "PostgresScreens.h"
#include "settings/Globals.h"

#include <QApplication>
#include <QDir>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTextStream>
#include <QUrl>

#include <libpq-fe.h>

#include <cstdio>
#include <cstring>
#include <functional>

using namespace BenchSupport;
using namespace PostgresBench;

namespace {

constexpr qint64 kScreenRows = 40;

// The statement CPostgresBlockReader sends for a block of rows.
QString BlockStatement(const QList<qint64>& keys)
{
    QStringList numbers;
    for (qint64 key : keys)
        numbers.append(QString::number(key));
    return QStringLiteral("SELECT * FROM files WHERE file_id IN (%1)").arg(numbers.join(QLatin1Char(',')));
}

// The explorer's connection as libpq sees it.
PGconn* ExplorerConnection()
{
    const QVariant handle = theDatabaseManager.GetConnection().driver()->handle();
    // Qt 6 names the type after the struct behind libpq's typedef.
    if (!handle.isValid() ||
        (qstrcmp(handle.typeName(), "PGconn*") != 0 && qstrcmp(handle.typeName(), "pg_conn*") != 0))
        return nullptr;
    return *static_cast<PGconn* const*>(handle.constData());
}

// Round trips counted on the wire, apart from the explorer's own count: libpq's trace of the
// messages the explorer's connection sends, of which each Query (and each Sync, should extended
// queries be used) waits for the server's answer.
qint64 RoundTripsOnTheWire(const std::function<void()>& work)
{
    PGconn* conn = ExplorerConnection();
    if (!conn)
        return -1;
    FILE* trace = std::tmpfile();
    if (!trace)
        return -1;
    PQtrace(conn, trace);
    PQsetTraceFlags(conn, PQTRACE_SUPPRESS_TIMESTAMPS);
    work();
    PQuntrace(conn);
    std::rewind(trace);
    qint64 count = 0;
    char line[256];
    bool lineStart = true;
    while (std::fgets(line, sizeof line, trace)) {
        // Statements are long: only the start of each line tells the direction and the message.
        if (lineStart && (qstrncmp(line, "F\t", 2) == 0)) {
            const QByteArray fields(line);
            const QList<QByteArray> parts = fields.split('\t');
            if (parts.size() > 2 && (parts[2].startsWith("Query") || parts[2].startsWith("Sync")))
                ++count;
        }
        lineStart = std::strchr(line, '\n') != nullptr;
    }
    std::fclose(trace);
    return count;
}

// Positions the cursor on each row of a screen and reads what the details view shows of it.
qint64 PaintScreen(CFileRecord& cursor, qint64 top)
{
    qint64 checksum = 0;
    for (qint64 row = top; row < top + kScreenRows; ++row) {
        cursor.SetAbsolutePosition(row);
        checksum += cursor.title.size() + cursor.short_desc.size() + qint64(cursor.file_size) % 7 +
                    qint64(cursor.file_date % 5);
    }
    return checksum;
}

// The keys of the rows at positions [first, last] of an open cursor.
QList<qint64> KeysAt(CFileRecord& cursor, qint64 first, qint64 last)
{
    QList<qint64> keys;
    for (qint64 row = first; row <= std::min(last, cursor.GetRecordCount()); ++row) {
        cursor.SetAbsolutePosition(row);
        keys.append(qint64(cursor.file_id));
    }
    return keys;
}

// The rows a cursor reads as it opens: the first screen of any view comes with them.
constexpr qint64 kOpenRows = CPostgresBlockReader::kFirstBlocks * CPostgresBlockReader::kBlockRows;

QList<qint64> BlockKeys(CFileRecord& cursor, qint64 block)
{
    return KeysAt(cursor, block * CPostgresBlockReader::kBlockRows + 1,
                  (block + 1) * CPostgresBlockReader::kBlockRows);
}

// The blocks a screen starting at a row reads.
QList<qint64> BlocksOfScreen(qint64 top)
{
    QList<qint64> blocks;
    for (qint64 block = (top - 1) / CPostgresBlockReader::kBlockRows;
         block <= (top + kScreenRows - 2) / CPostgresBlockReader::kBlockRows; ++block)
        blocks.append(block);
    return blocks;
}

QString Ms(double ms)
{
    return ms >= 100 ? QString::number(ms, 'f', 0) : QString::number(ms, 'f', ms >= 10 ? 1 : 2);
}

QString Row(const QString& what, const QString& explorer, const QString& psql, const QString& ratio,
            const QString& trips = QString())
{
    return QStringLiteral("  %1 %2 %3 %4 %5\n")
        .arg(what, -46)
        .arg(explorer, 10)
        .arg(psql, 10)
        .arg(ratio, 7)
        .arg(trips, 6);
}

QString Ratio(double a, double b)
{
    return b > 0 ? QString::number(a / b, 'f', 2) + QLatin1Char('x') : QStringLiteral("-");
}

// One kind of screen: where its n-th instance starts, its times and round trips, and psql's times
// for the blocks it reads.
struct ScreenKind
{
    const char* name;
    std::function<qint64(int)> top;
    QList<double> times{};
    qint64 trips = 0;
    QList<QList<qint64>> blocks{}; // per instance: the keys of its blocks, for psql
    QList<double> psqlTimes{};
};

// Part one: the area and its screens.
bool MeasureArea(qint64 files, int rounds, int screenCount, const CPsql& psql, QTextStream& out,
                 qint64* worstScreenTrips)
{
    const qint64 middleBlock = files / 2 / CPostgresBlockReader::kBlockRows;
    const qint64 borderBlock = files * 3 / 4 / CPostgresBlockReader::kBlockRows;
    // Each instance two blocks further on: none finds its blocks kept from the one before.
    ScreenKind screens[] = {
        // Rows 45 to 84 of a block.
        {"screen in the middle (1 block)",
         [=](int n) { return (middleBlock + 2 * n) * CPostgresBlockReader::kBlockRows + 45; }},
        // 20 rows on either side of a block border.
        {"screen across a block border (2 blocks)",
         [=](int n) { return (borderBlock + 2 * n) * CPostgresBlockReader::kBlockRows - 19; }},
    };

    QString error;
    QList<qint64> firstBlock;
    {
        // The keys of the rows the open reads, for psql; and both sides' caches warmed alike.
        CFileRecord cursor(&theDatabaseManager);
        cursor.GetAllFilesInArea(1);
        firstBlock = KeysAt(cursor, 1, kOpenRows);
    }
    QList<double> keys, open, firstScreen, psqlKeys, psqlOpen;
    qint64 keyTrips = 0, openTrips = 0, firstScreenTrips = 0, checksum = 0;
    // Round by round, psql and then the explorer, so that both meet the same load on the machine.
    for (int round = 0; round < rounds; ++round) {
        const QList<double> times = psql.Times({kAreaIdQuery, BlockStatement(firstBlock)}, &error);
        if (times.isEmpty()) {
            out << error << "\n";
            return false;
        }
        psqlKeys.append(times[0]);
        psqlOpen.append(times[0] + times[1]);

        // The keys alone (CRecordSet), by the same statement psql runs.
        {
            CRecordSet keysOnly(&theDatabaseManager, QStringLiteral("files"), QStringLiteral("file_id"));
            const qint64 sent = CDatabaseManager::StatementsSent();
            QElapsedTimer timer;
            timer.start();
            keysOnly.OpenKeys(kAreaIdQuery);
            keys.append(Milliseconds(timer));
            keyTrips = CDatabaseManager::StatementsSent() - sent;
            if (keysOnly.GetRecordCount() != files) {
                out << "The area's keys are " << keysOnly.GetRecordCount() << ", not " << files << "\n";
                return false;
            }
        }
        // What the list does when the area is chosen: the cursor, then its first screen.
        CFileRecord cursor(&theDatabaseManager);
        qint64 sent = CDatabaseManager::StatementsSent();
        QElapsedTimer timer;
        timer.start();
        const bool opened = cursor.GetAllFilesInArea(1);
        open.append(Milliseconds(timer));
        openTrips = CDatabaseManager::StatementsSent() - sent;
        if (!opened || cursor.GetRecordCount() != files) {
            out << "The area did not open with " << files << " rows\n";
            return false;
        }
        sent = CDatabaseManager::StatementsSent();
        timer.start();
        checksum += PaintScreen(cursor, 1);
        firstScreen.append(Milliseconds(timer));
        firstScreenTrips = std::max(firstScreenTrips, CDatabaseManager::StatementsSent() - sent);
        if (round + 1 < rounds)
            continue;

        // Screens after scrolling, on the last cursor opened.
        for (int n = 0; n < screenCount; ++n) {
            for (ScreenKind& screen : screens) {
                sent = CDatabaseManager::StatementsSent();
                timer.start();
                checksum += PaintScreen(cursor, screen.top(n));
                screen.times.append(Milliseconds(timer));
                screen.trips = std::max(screen.trips, CDatabaseManager::StatementsSent() - sent);
            }
        }
        for (ScreenKind& screen : screens) {
            for (int n = 0; n < screenCount; ++n) {
                QList<qint64> all;
                for (qint64 block : BlocksOfScreen(screen.top(n)))
                    all += BlockKeys(cursor, block);
                screen.blocks.append(all);
            }
        }
    }

    // The same on the wire, once more, untimed (tracing slows the client).
    qint64 wireOpen = 0;
    QStringList wireScreens;
    {
        CFileRecord cursor(&theDatabaseManager);
        wireOpen = RoundTripsOnTheWire([&] { cursor.GetAllFilesInArea(1); });
        wireScreens.append(QString::number(RoundTripsOnTheWire([&] { PaintScreen(cursor, 1); })));
        for (ScreenKind& screen : screens)
            wireScreens.append(
                QString::number(RoundTripsOnTheWire([&] { PaintScreen(cursor, screen.top(0)); })));
    }

    // psql: the blocks of each screen, each by the statement the cursor sends.
    QStringList statements;
    QList<double> times;
    for (ScreenKind& screen : screens) {
        statements.clear();
        QList<int> perScreen;
        for (const QList<qint64>& keysOfScreen : std::as_const(screen.blocks)) {
            perScreen.append(int((keysOfScreen.size() + CPostgresBlockReader::kBlockRows - 1) /
                                 CPostgresBlockReader::kBlockRows));
            for (qsizetype at = 0; at < keysOfScreen.size(); at += CPostgresBlockReader::kBlockRows)
                statements.append(BlockStatement(keysOfScreen.mid(at, CPostgresBlockReader::kBlockRows)));
        }
        times = psql.Times(statements, &error);
        if (times.isEmpty()) {
            out << error << "\n";
            return false;
        }
        qsizetype at = 0;
        for (int count : perScreen) {
            double sum = 0;
            for (int i = 0; i < count; ++i)
                sum += times[at++];
            screen.psqlTimes.append(sum);
        }
    }

    out << "\nArea of " << files << " files: open and paint screens of " << kScreenRows
        << " rows (ms; median of " << rounds << " opens, of " << screenCount << " screens of each kind)\n";
    out << Row(QStringLiteral("what"), QStringLiteral("explorer"), QStringLiteral("psql"),
               QStringLiteral("ratio"), QStringLiteral("trips"));
    out << Row(QStringLiteral("area keys only (CRecordSet::OpenKeys)"), Ms(Median(keys)),
               Ms(Median(psqlKeys)), Ratio(Median(keys), Median(psqlKeys)), QString::number(keyTrips));
    out << Row(QStringLiteral("open area (keys + first %1 rows)").arg(kOpenRows), Ms(Median(open)),
               Ms(Median(psqlOpen)), Ratio(Median(open), Median(psqlOpen)), QString::number(openTrips));
    out << Row(QStringLiteral("first screen (its block came with the open)"), Ms(Median(firstScreen)),
               QStringLiteral("-"), QStringLiteral("-"), QString::number(firstScreenTrips));
    const double firstPainted = Median(open) + Median(firstScreen);
    out << Row(QStringLiteral("open + first screen painted"), Ms(firstPainted), Ms(Median(psqlOpen)),
               Ratio(firstPainted, Median(psqlOpen)), QString::number(openTrips + firstScreenTrips));
    *worstScreenTrips = firstScreenTrips;
    QStringList counted{QString::number(firstScreenTrips)};
    for (const ScreenKind& screen : screens) {
        out << Row(QLatin1String(screen.name), Ms(Median(screen.times)), Ms(Median(screen.psqlTimes)),
                   Ratio(Median(screen.times), Median(screen.psqlTimes)), QString::number(screen.trips));
        *worstScreenTrips = std::max(*worstScreenTrips, screen.trips);
        counted.append(QString::number(screen.trips));
    }
    out << QStringLiteral("  round trips per screen: at most %1 (target: at most 2)\n")
               .arg(*worstScreenTrips);
    out << QStringLiteral("  on the wire (libpq trace): open %1 (counted %2); screens %3 (counted %4)\n")
               .arg(wireOpen)
               .arg(openTrips)
               .arg(wireScreens.join(QStringLiteral(", ")), counted.join(QStringLiteral(", ")));
    out << "  (checksum " << checksum << ")\n" << Qt::flush;
    return true;
}

struct SearchResult
{
    qint64 found = 0;
    qint64 trips = 0;
    double explorer = 0;
    double psqlKeys = 0;
    double psqlKeysAndBlock = 0;
    QString plan;
};

// The indexes (or the scan) the server's plan for a statement uses.
QString PlanOf(CAdmin& admin, const QString& statement)
{
    QString error;
    QList<QStringList> rows;
    if (!admin.Exec(QStringLiteral("EXPLAIN ") + statement, &error, &rows))
        return error;
    static const QRegularExpression node(
        QStringLiteral("(Bitmap Index Scan on \\w+|Index (?:Only )?Scan(?: using \\w+)? on \\w+|(?:Parallel "
                       ")?Seq Scan on \\w+)"));
    QStringList nodes;
    for (const QStringList& row : std::as_const(rows)) {
        const QRegularExpressionMatch match = node.match(row.value(0));
        if (match.hasMatch() && !nodes.contains(match.captured(1)))
            nodes.append(match.captured(1));
    }
    return nodes.join(QStringLiteral(", "));
}

bool MeasureSearch(const QString& text, quint32 fields, int rounds, const CPsql& psql, CAdmin& admin,
                   QTextStream& out, SearchResult* result)
{
    const QString statement = BuildSearchStatement(text, fields);
    const QString keyStatement = theDatabaseManager.Engine().KeyStatement(statement, QStringLiteral("files"),
                                                                          QStringLiteral("file_id"));
    QList<qint64> firstBlock;
    {
        // The keys of the first block, for psql; and both sides' caches warmed alike.
        CFileRecord cursor(&theDatabaseManager);
        if (!cursor.Open(statement)) {
            out << "The search for \"" << text << "\" failed: " << theDatabaseManager.TakeLastError() << "\n";
            return false;
        }
        firstBlock = BlockKeys(cursor, 0);
    }
    QList<double> explorer, keys, both;
    QString error;
    // Round by round, psql and then the explorer, so that both meet the same load on the machine.
    for (int round = 0; round < rounds; ++round) {
        const QList<double> times = psql.Times({keyStatement, BlockStatement(firstBlock)}, &error);
        if (times.isEmpty()) {
            out << error << "\n";
            return false;
        }
        keys.append(times[0]);
        both.append(times[0] + times[1]);

        CFileRecord cursor(&theDatabaseManager);
        const qint64 sent = CDatabaseManager::StatementsSent();
        QElapsedTimer timer;
        timer.start();
        if (!cursor.Open(statement)) {
            out << "The search for \"" << text << "\" failed: " << theDatabaseManager.TakeLastError() << "\n";
            return false;
        }
        explorer.append(Milliseconds(timer));
        result->trips = CDatabaseManager::StatementsSent() - sent;
        result->found = cursor.GetRecordCount();
    }
    result->explorer = Median(explorer);
    result->psqlKeys = Median(keys);
    result->psqlKeysAndBlock = Median(both);
    result->plan = PlanOf(admin, keyStatement);
    return true;
}

// Part two: searches with the indexes, then without.
bool MeasureSearches(const QString& databaseUri, qint64 files, int rounds, const CPsql& psql,
                     const QString& rareText, const QString& commonText, QTextStream& out)
{
    CAdmin admin(QStringLiteral("bench-search"));
    QString error;
    if (!admin.Open(databaseUri, &error)) {
        out << error << "\n";
        return false;
    }
    const quint32 descriptions = kSearchTitle | kSearchShortDesc | kSearchLongDesc;
    out << "\nThe key statement the explorer sends for a search of \"" << rareText
        << "\" in title and descriptions:\n  "
        << theDatabaseManager.Engine().KeyStatement(BuildSearchStatement(rareText, descriptions),
                                                    QStringLiteral("files"), QStringLiteral("file_id"))
        << "\n"
        << Qt::flush;

    const QString texts[] = {rareText, commonText};
    SearchResult indexed[2], plain[2], url;
    for (int t = 0; t < 2; ++t) {
        if (!MeasureSearch(texts[t], descriptions, rounds, psql, admin, out, &indexed[t]))
            return false;
    }
    // With the URL field the locations are joined in.
    if (!MeasureSearch(rareText, descriptions | kSearchUrl, rounds, psql, admin, out, &url))
        return false;

    // Without the indexes of the columns searched (the others play no part in these statements).
    QStringList drop;
    for (const QString& statement : DescriptionIndexStatements())
        drop.append(IndexName(statement));
    if (!admin.Exec(QStringLiteral("DROP INDEX %1").arg(drop.join(QStringLiteral(", "))), &error)) {
        out << error << "\n";
        return false;
    }
    bool measured = true;
    for (int t = 0; t < 2 && measured; ++t)
        measured = MeasureSearch(texts[t], descriptions, rounds, psql, admin, out, &plain[t]);

    out << "Making the " << drop.size() << " indexes again ...\n" << Qt::flush;
    QElapsedTimer timer;
    timer.start();
    QStringList made;
    if (!MakeSearchIndexes(admin, DescriptionIndexStatements(), &made, &error)) {
        out << "Cannot make the search indexes: " << error << "\n";
        return false;
    }
    const double rebuild = Milliseconds(timer);
    if (!measured)
        return false;

    out << "\nSearch over " << files << " files in title and descriptions (median of " << rounds
        << " runs; ms; explorer: Open, that is keys and first block; psql: the same two statements)\n";
    out << Row(QStringLiteral("what"), QStringLiteral("explorer"), QStringLiteral("psql"),
               QStringLiteral("ratio"), QStringLiteral("trips"));
    auto line = [&](const QString& what, const SearchResult& r) {
        out << Row(QStringLiteral("%1 (%2 found)").arg(what).arg(r.found), Ms(r.explorer),
                   Ms(r.psqlKeysAndBlock), Ratio(r.explorer, r.psqlKeysAndBlock), QString::number(r.trips));
    };
    for (int t = 0; t < 2; ++t) {
        line(QStringLiteral("\"%1\", indexes").arg(texts[t]), indexed[t]);
        line(QStringLiteral("\"%1\", no indexes").arg(texts[t]), plain[t]);
    }
    line(QStringLiteral("\"%1\" +URL, indexes").arg(rareText), url);
    out << "Speed-up with the indexes (time without / time with; target: at least 20x)\n";
    for (int t = 0; t < 2; ++t) {
        out << QStringLiteral("  \"%1\": explorer %2, psql key statement %3 (%4 ms -> %5 ms)\n")
                   .arg(texts[t], Ratio(plain[t].explorer, indexed[t].explorer),
                        Ratio(plain[t].psqlKeys, indexed[t].psqlKeys), Ms(plain[t].psqlKeys),
                        Ms(indexed[t].psqlKeys));
    }
    out << "Plans (EXPLAIN of the key statement)\n";
    for (int t = 0; t < 2; ++t) {
        out << "  \"" << texts[t] << "\", indexes: " << indexed[t].plan << "\n";
        out << "  \"" << texts[t] << "\", no indexes: " << plain[t].plan << "\n";
    }
    out << "  \"" << rareText << "\" +URL, indexes: " << url.plan << "\n";
    out << "Making the " << made.size() << " search indexes again (with ANALYZE) took "
        << QString::number(rebuild / 1000, 'f', 0) << " s\n";
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    // The window's screens are painted offscreen unless a display is asked for.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTextStream out(stdout);
    const QString server = Option("--server", QString::fromLocal8Bit(qgetenv("TROVEPORT_TEST_POSTGRES")));
    if (server.isEmpty()) {
        out << "bench_postgres: skipped, no PostgreSQL server. Give one with --server "
               "postgresql://user@host:port/ or TROVEPORT_TEST_POSTGRES, or run it with a throwaway one:\n"
               "  scripts/with-postgres.sh build/bench/bench_postgres\n";
        return 0;
    }
    const qint64 files = Option("--files", QStringLiteral("1000000")).toLongLong();
    const int rounds = std::max(1, Option("--rounds", QStringLiteral("5")).toInt());
    const int screenCount = std::max(1, Option("--screens", QStringLiteral("25")).toInt());
    const QString rareText = Option("--text", PostgresBench::kRareWord);
    const QString commonText = Option("--common", QStringLiteral("Castle"));
    const QString database = Option("--database", QStringLiteral("troveport_bench_%1").arg(files));
    if (files < 1024) {
        out << "--files must be at least 1024\n";
        return 1;
    }
    static const QRegularExpression plainName(QStringLiteral("^[a-z_][a-z0-9_]*$"));
    if (!plainName.match(database).hasMatch()) {
        out << "--database must be a plain lower-case name\n";
        return 1;
    }
    QUrl serverUrl(server.trimmed());
    serverUrl.setPath(QStringLiteral("/postgres"));
    QUrl databaseUrl(server.trimmed());
    databaseUrl.setPath(QLatin1Char('/') + database);
    const QString databaseUri = databaseUrl.toString();

    // The explorer's log goes with the other benchmarks' data, not into the working directory.
    g_strDatabasePath = QCoreApplication::applicationDirPath() + QStringLiteral("/bench-data");
    QDir().mkpath(g_strDatabasePath);
    theDatabaseManager.SetDatabaseConnection(databaseUri);
    if (!PrepareDatabase(serverUrl.toString(), databaseUri, database, files, out))
        return 1;

    const CPsql psql(databaseUri);
    try {
        // Connected before any clock starts, as psql is (each measure warms both sides' caches first).
        theDatabaseManager.GetConnection();
        qint64 worstScreenTrips = 0;
        const QStringList parts =
            Option("--parts", QStringLiteral("area,window,search")).split(QLatin1Char(','));
        if (parts.contains(QLatin1String("area")) &&
            !MeasureArea(files, rounds, screenCount, psql, out, &worstScreenTrips))
            return 1;
        if (parts.contains(QLatin1String("window")) &&
            !MeasureWindowScreens(g_strDatabasePath + QStringLiteral("/pg-library"), files,
                                  Option("--pages", QStringLiteral("20")).toInt(), RoundTripsOnTheWire, out))
            return 1;
        if (parts.contains(QLatin1String("search")) &&
            !MeasureSearches(databaseUri, files, rounds, psql, rareText, commonText, out))
            return 1;
    } catch (const CDBException& e) {
        out << "Database error: " << e.GetErrorText() << "\n";
        return 1;
    }
    return 0;
}

// Searches over an area of 1,000,000 files on SQLite: answered from the search indexes (as the
// explorer runs them), the same key statement read row by row in the same process, and the sqlite3
// program running that key statement; a rare word, a common one and one in every file, in three
// field sets (the Find dialog's default is all six). Then what the indexes cost: adding 10,000 files with
// their triggers and without, and their size on disk.
//
//   bench_search [--files N] [--dir DIR] [--rounds N] [--rare WORD] [--common WORD] [--everywhere WORD]

#include "BenchSupport.h"
#include "database/CDBException.h"
#include "database/CFileRecord.h"
#include "database/CSqliteStatement.h"
#include "database/CTroveportDatabaseManager.h"
#include "database/SearchStatement.h"
#include "database/SqliteSearchIndexes.h"

#include <QCoreApplication>
#include <QTextStream>

using namespace BenchSupport;

namespace {

// "median ms (lowest-highest)"
QString Figure(const QList<double>& values)
{
    return QStringLiteral("%1 ms (%2-%3)")
        .arg(Median(values), 0, 'f', 1)
        .arg(*std::min_element(values.begin(), values.end()), 0, 'f', 1)
        .arg(*std::max_element(values.begin(), values.end()), 0, 'f', 1);
}

// The key statement read row by row, as the engine reads keys when there are no indexes.
qint64 Scan(const QString& keyStatement)
{
    CSqliteStatement query(SqliteHandle(theDatabaseManager.GetConnection()), keyStatement);
    std::vector<qint64> keys; // collected as the engine collects them
    while (query.Step())
        keys.push_back(query.Int64(0));
    return qint64(keys.size());
}

// Adds 10,000 generated files to area 2 in one transaction; milliseconds. Then, with the triggers,
// the indexes catching up with them (what the next search pays; milliseconds in *catchUp). Then
// removes them again, not timed.
double AddFiles(QTextStream& out, double* catchUp = nullptr)
{
    QElapsedTimer timer;
    timer.start();
    QString error;
    QString ignored;
    QTextStream quiet(&ignored);
    if (!GenerateFiles(2, 10000, quiet, &error)) {
        out << "Cannot add files: " << error << "\n";
        return -1;
    }
    const double ms = Milliseconds(timer);
    if (catchUp) {
        timer.restart();
        SqliteCatchUpSearchIndexes(theDatabaseManager, 0, true);
        *catchUp = Milliseconds(timer);
    }
    theDatabaseManager.Run(QStringLiteral(
        "DELETE FROM files WHERE file_id IN (SELECT file_id FROM file_area WHERE area_id = 2)"));
    SqliteCatchUpSearchIndexes(theDatabaseManager, 0, true);
    return ms;
}

// Adding files without the triggers: dropped for the insert, the rows taken out, the triggers back.
double AddFilesWithoutTriggers(QTextStream& out)
{
    const QStringList drop = SqliteDropSearchIndexStatements().filter(QStringLiteral("TRIGGER"));
    for (const QString& statement : drop)
        theDatabaseManager.Run(statement);
    const double ms = AddFiles(out);
    for (const QString& statement : SqliteSearchIndexStatements().filter(QStringLiteral("CREATE TRIGGER")))
        theDatabaseManager.Run(statement);
    return ms;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const qint64 files = Option("--files", QStringLiteral("1000000")).toLongLong();
    const int rounds = qMax(1, Option("--rounds", QStringLiteral("5")).toInt());
    const QString rare = Option("--rare", QString::fromLatin1(kRareWord));
    const QString common = Option("--common", QStringLiteral("Castle"));
    // In every file's author address and location.
    const QString everywhere = Option("--everywhere", QStringLiteral("example"));
    if (PrepareLibrary(files, out).isEmpty())
        return 1;
    const QString db = theDatabaseManager.GetDatabaseFile();
    if (!SqliteSearchIndexesPresent(theDatabaseManager)) {
        out << "Making the search indexes ...\n" << Qt::flush;
        QElapsedTimer timer;
        timer.start();
        theDatabaseManager.Engine().SetSearchIndexes(theDatabaseManager, true, {});
        out << QStringLiteral("  made in %1 s\n").arg(Milliseconds(timer) / 1000, 0, 'f', 1);
        WarmFile(db);
    }
    TimeSqlite3(db, QStringLiteral("SELECT count(*) FROM files")); // warm the cache for both

    out << "\nSearches over " << files << " files, median of " << rounds << " rounds (lowest-highest)\n";
    const struct
    {
        const char* name;
        quint32 fields;
    } fieldSets[] = {
        {"title and descriptions", kSearchTitle | kSearchShortDesc | kSearchLongDesc},
        {"title, descriptions and URL", kSearchTitle | kSearchShortDesc | kSearchLongDesc | kSearchUrl},
        {"all fields (the Find dialog's default)", 0x3F}};
    for (const QString& text : {rare, common, everywhere}) {
        for (const auto& fieldSet : fieldSets) {
            const QString statement = BuildSearchStatement(text, fieldSet.fields);
            const QString keys = theDatabaseManager.Engine().KeyStatement(statement, QStringLiteral("files"),
                                                                          QStringLiteral("file_id"));
            QList<double> indexed, scanned, cli;
            qint64 found = 0, scanFound = 0;
            for (int round = 0; round < rounds; ++round) {
                cli.append(TimeSqlite3(db, keys));
                QElapsedTimer timer;
                timer.start();
                scanFound = Scan(keys);
                scanned.append(Milliseconds(timer));
                timer.restart();
                CFileRecord cursor(&theDatabaseManager);
                if (!cursor.Open(statement, true, true)) {
                    out << "The search failed\n";
                    return 1;
                }
                found = cursor.GetRecordCount();
                indexed.append(Milliseconds(timer));
            }
            out << QStringLiteral("  \"%1\" in %2: %3 files%4\n")
                       .arg(text, QLatin1String(fieldSet.name))
                       .arg(found)
                       .arg(found == scanFound ? QString()
                                               : QStringLiteral(" (THE SCAN FOUND %1)").arg(scanFound));
            out << QStringLiteral("    indexed %1 | scan %2 | sqlite3 scan %3 | scan/indexed %4x, "
                                  "sqlite3/indexed %5x\n")
                       .arg(Figure(indexed), Figure(scanned), Figure(cli))
                       .arg(Median(scanned) / Median(indexed), 0, 'f', 1)
                       .arg(Median(cli) / Median(indexed), 0, 'f', 1)
                << Qt::flush;
        }
    }

    out << "\nAdding 10,000 files (with their area links and locations, one transaction), median of "
        << rounds << " rounds\n"
        << Qt::flush;
    QList<double> with, without, catchUps, withCatchUp;
    for (int round = 0; round < rounds; ++round) {
        without.append(AddFilesWithoutTriggers(out));
        double catchUp = 0;
        with.append(AddFiles(out, &catchUp));
        catchUps.append(catchUp);
        withCatchUp.append(with.last() + catchUp);
    }
    out << QStringLiteral("  with the triggers %1 | without %2 | ratio %3x (target: at most 2)\n")
               .arg(Figure(with), Figure(without))
               .arg(Median(with) / Median(without), 0, 'f', 2)
        << QStringLiteral("  the indexes catching up with them afterwards (the next search) %1; "
                          "adding and catching up %2, %3x of adding without\n")
               .arg(Figure(catchUps), Figure(withCatchUp))
               .arg(Median(withCatchUp) / Median(without), 0, 'f', 2);

    try {
        QVariantList bytes;
        theDatabaseManager.Run(
            QStringLiteral("SELECT sum(pgsize) FROM dbstat WHERE name LIKE 'files_search%' "
                           "OR name LIKE 'download_search%'"),
            {}, &bytes);
        QVariantList all;
        theDatabaseManager.Run(QStringLiteral("SELECT sum(pgsize) FROM dbstat"), {}, &all);
        out << QStringLiteral("\nThe search indexes take %1 MB of the database's %2 MB: %3 bytes a file\n")
                   .arg(bytes.value(0).toDouble() / 1e6, 0, 'f', 1)
                   .arg(all.value(0).toDouble() / 1e6, 0, 'f', 1)
                   .arg(bytes.value(0).toDouble() / double(files), 0, 'f', 0);
    } catch (const CDBException& e) {
        out << "The indexes' size is unknown: " << e.GetErrorText() << "\n";
    }
    return 0;
}

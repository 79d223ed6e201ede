// A search over an area of 1,000,000 files (title and description fields; then with the URL field
// as well), side by side with the sqlite3 command-line program running the same statement on the
// same database in the same run.
//
//   bench_search [--files N] [--dir DIR] [--text TEXT]

#include "BenchSupport.h"
#include "database/CFileRecord.h"
#include "database/CTroveportDatabaseManager.h"
#include "database/SearchStatement.h"

#include <QCoreApplication>
#include <QTextStream>

using namespace BenchSupport;

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const qint64 files = Option("--files", QStringLiteral("1000000")).toLongLong();
    const QString text = Option("--text", QStringLiteral("Castle"));
    if (PrepareLibrary(files, out).isEmpty())
        return 1;
    const QString db = theDatabaseManager.GetDatabaseFile();
    TimeSqlite3(db, QStringLiteral("SELECT count(*) FROM files")); // warm the cache for both

    out << "\nSearch for \"" << text << "\" over " << files << " files (median of 3 runs)\n";
    const struct
    {
        const char* name;
        quint32 fields;
    } searches[] = {
        {"title and descriptions", kSearchTitle | kSearchShortDesc | kSearchLongDesc},
        {"title, descriptions and URL", kSearchTitle | kSearchShortDesc | kSearchLongDesc | kSearchUrl}};
    for (const auto& search : searches) {
        const QString statement = BuildSearchStatement(text, search.fields);
        // The sqlite3 program reads SQLite's own dialect, in which "distinctrow" is "distinct".
        const QString sqliteStatement =
            QString(statement).replace(QStringLiteral("distinctrow"), QStringLiteral("distinct"));
        QList<double> ours, cli;
        qint64 rows = 0;
        for (int round = 0; round < 3; ++round) {
            cli.append(TimeSqlite3(db, sqliteStatement));
            QElapsedTimer timer;
            timer.start();
            CFileRecord cursor(&theDatabaseManager);
            if (!cursor.Open(statement, true, true)) {
                out << "The search failed\n";
                return 1;
            }
            rows = cursor.GetRecordCount();
            ours.append(double(timer.nsecsElapsed()) / 1e6);
        }
        out << QStringLiteral(
                   "  %1: %2 files found; search %3 ms, sqlite3 CLI %4 ms, ratio %5x (target: at most 1.5)\n")
                   .arg(QLatin1String(search.name))
                   .arg(rows)
                   .arg(Median(ours), 0, 'f', 1)
                   .arg(Median(cli), 0, 'f', 1)
                   .arg(Median(ours) / Median(cli), 0, 'f', 2);
    }
    return 0;
}

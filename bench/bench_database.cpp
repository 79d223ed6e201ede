// Opening an area of 1,000,000 files and reading screens of it, side by side with the sqlite3
// command-line program running the equivalent plain query on the same database in the same run.
// The open is measured twice: in a new process (this program started again with --child, timed
// from its start to its exit, as the sqlite3 program is), which is what the user waits for when the
// explorer starts on the area, and warm, in this process, as on a later refresh.
//
//   bench_database [--files N] [--dir DIR]
//
// The library is made once in DIR (default: bench-data beside the program) and reused.

#include "BenchSupport.h"
#include "database/CFileRecord.h"

#include <QCoreApplication>
#include <QTextStream>

#include <algorithm>
#include <random>

using namespace BenchSupport;

namespace {
constexpr quint32 kArea = 1;

// The child: opens the area on the database as the list does and exits; 0 when it held the files.
int OpenInChild(const QString& db, qint64 files)
{
    theDatabaseManager.SetDatabaseFile(db);
    CFileRecord cursor(&theDatabaseManager);
    return cursor.GetAllFilesInArea(kArea) && cursor.GetRecordCount() == files ? 0 : 1;
}

// Milliseconds from starting this program as a child that opens the area until it has exited.
double TimeChildOpen(const QString& db, qint64 files)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    process.start(QCoreApplication::applicationFilePath(),
                  {QStringLiteral("--child"), db, QStringLiteral("--files"), QString::number(files)});
    if (!process.waitForFinished(600000) || process.exitCode() != 0)
        return -1;
    return Milliseconds(timer);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (const QString child = Option("--child", QString()); !child.isEmpty())
        return OpenInChild(child, Option("--files", QStringLiteral("1000000")).toLongLong());
    QTextStream out(stdout);
    const qint64 files = Option("--files", QStringLiteral("1000000")).toLongLong();
    const QString library = PrepareLibrary(files, out);
    if (library.isEmpty())
        return 1;
    const QString db = theDatabaseManager.GetDatabaseFile();

    // Warm both sides' page cache alike before measuring.
    TimeSqlite3(db, QStringLiteral("SELECT count(*) FROM file_area WHERE area_id = 1"));
    // The list's own statement (links whose file exists), and the bare links for comparison.
    const QString idQuery = kAreaIdQuery;
    const QString linkQuery =
        QStringLiteral("SELECT file_id FROM file_area WHERE area_id = 1 ORDER BY file_id");

    QList<double> openTimes, coldTimes, cliTimes, linkTimes;
    qint64 bytesPerRow = 0;
    // Round by round, each side in turn, so that all meet the same load on the machine.
    for (int round = 0; round < 5; ++round) {
        cliTimes.append(TimeSqlite3(db, idQuery));
        linkTimes.append(TimeSqlite3(db, linkQuery));
        coldTimes.append(TimeChildOpen(db, files));
        if (coldTimes.last() < 0) {
            out << "The child process did not open the area\n";
            return 1;
        }
        const qint64 heapBefore = HeapBytes();
        QElapsedTimer timer;
        timer.start();
        // What the list does: the cursor, whose keys give the count as well.
        auto cursor = std::make_unique<CFileRecord>(&theDatabaseManager);
        const bool opened = cursor->GetAllFilesInArea(kArea);
        openTimes.append(double(timer.nsecsElapsed()) / 1e6);
        if (!opened || cursor->GetRecordCount() != files) {
            out << "The area did not open with " << files << " rows\n";
            return 1;
        }
        bytesPerRow = (HeapBytes() - heapBefore) / files;
    }

    // Screens of 50 rows at random places, each cell's fields read as the list paints them.
    CFileRecord cursor(&theDatabaseManager);
    cursor.GetAllFilesInArea(kArea);
    std::mt19937 random(7);
    QList<double> screenTimes;
    qint64 checksum = 0;
    for (int screen = 0; screen < 200; ++screen) {
        const qint64 top = 1 + qint64(random() % quint64(files - 49));
        QElapsedTimer timer;
        timer.start();
        for (qint64 row = top; row < top + 50; ++row) {
            cursor.SetAbsolutePosition(row);
            checksum += cursor.title.size() + cursor.short_desc.size() + qint64(cursor.file_size) % 7;
        }
        screenTimes.append(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(screenTimes.begin(), screenTimes.end());

    const double open = Median(openTimes), cold = Median(coldTimes), cli = Median(cliTimes);
    out << "\nArea of " << files << " files (median of 5 runs, lowest to highest)\n";
    out << "  open area in a new process      " << Spread(coldTimes) << "   (start to exit)\n";
    out << "  sqlite3 CLI, same id query      " << Spread(cliTimes) << "   (start to exit)\n";
    out << QStringLiteral("  ratio, new processes            %1 x   (target: at most 1.5)\n")
               .arg(cold / cli, 8, 'f', 2);
    out << "  open area again (warm cursor)   " << Spread(openTimes) << "\n";
    out << QStringLiteral("  ratio, warm open to sqlite3     %1 x\n").arg(open / cli, 8, 'f', 2);
    out << "  sqlite3 CLI, bare links query   " << Spread(linkTimes) << "\n";
    out << QStringLiteral("Screen of 50 rows at a random place (200 screens)\n");
    out << QStringLiteral("  median                          %1 ms\n").arg(screenTimes[100], 8, 'f', 3);
    out << QStringLiteral("  slowest                         %1 ms   (target: under 5)\n")
               .arg(screenTimes.last(), 8, 'f', 3);
    out << QStringLiteral("Memory of the open cursor          %1 bytes a row   (target: under 64)\n")
               .arg(bytesPerRow);
    out << "(checksum " << checksum << ")\n";
    return 0;
}

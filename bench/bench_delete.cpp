// Delete File on 10,000 selected files of an area of 1,000,000 (every 100th row, no local copies),
// the walk the command runs with every question answered Yes, side by side with the sqlite3
// command-line program deleting the same files with their links and locations, one transaction a
// file, in the same run. Each side works on its own copy of the library, so both start equal.
//
//   bench_delete [--files N] [--every N] [--dir DIR]

#include "BenchSupport.h"
#include "database/CFileRecord.h"
#include "properties/FileRemoval.h"

#include <QCoreApplication>
#include <QTemporaryFile>
#include <QTextStream>

using namespace BenchSupport;

namespace {

constexpr quint32 kArea = 1;

// The answers of a user who says Yes to everything and never stops the walk.
class CYesPrompts : public CRemovalPrompts
{
public:
    Answer AskDeleteLocalCopies() override { return Answer::Yes; }
    bool AskDeleteFileOfLastArea(const QString&) override { return true; }
    void ReportNotDeleted(const QString&, const FileFault&) override { ++problems; }
    void ReportCopyKept(const QString&, const QString&) override { ++problems; }
    void ReportOutsideArea(const QString&) override { ++problems; }
    void ReportCannotDelete(const QString&) override { ++problems; }
    bool Starting(qint64, qint64, const QString&) override { return true; }
    int problems = 0;
};

// A copy of the library's database (everything in the main file: the WAL is checkpointed first).
bool CopyDatabase(const QString& from, const QString& to)
{
    for (const char* suffix : {"", "-wal", "-shm"})
        QFile::remove(to + QLatin1String(suffix));
    return QFile::copy(from, to);
}

qint64 CountOf(const QString& db, const QString& statement)
{
    QProcess process;
    process.start(QStringLiteral("sqlite3"), {db, statement});
    process.waitForFinished(600000);
    return process.readAllStandardOutput().trimmed().toLongLong();
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const qint64 files = Option("--files", QStringLiteral("1000000")).toLongLong();
    const int every = qMax(1, Option("--every", QStringLiteral("100")).toInt());
    const QString library = PrepareLibrary(files, out);
    if (library.isEmpty())
        return 1;
    const QString original = theDatabaseManager.GetDatabaseFile();

    // The selection: every N-th row of the area, and the files those rows stand for.
    ListRowRanges rows;
    QStringList script{QStringLiteral("PRAGMA foreign_keys=ON;"),
                       QStringLiteral("PRAGMA synchronous=NORMAL;")};
    {
        CFileRecord cursor(&theDatabaseManager);
        if (!cursor.GetAllFilesInArea(kArea) || cursor.GetRecordCount() != files) {
            out << "The area did not open with " << files << " rows\n";
            return 1;
        }
        for (qint64 row = 0; row < files; row += every) {
            rows.append({int(row), int(row)});
            cursor.SetAbsolutePosition(row + 1);
            const qint64 id = qint64(cursor.file_id);
            // The same settings and the same statements as the explorer's connection and Delete.
            script.append(
                QStringLiteral("BEGIN; DELETE FROM download WHERE file_id = %1; DELETE FROM file_area "
                               "WHERE file_id = %1; DELETE FROM files WHERE file_id = %1; COMMIT;")
                    .arg(id));
        }
    }
    theDatabaseManager.CloseConnection();
    TimeSqlite3(original, QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));

    const QString ours = MakePath(library, QStringLiteral("delete-explorer.db"));
    const QString theirs = MakePath(library, QStringLiteral("delete-sqlite3.db"));
    if (!CopyDatabase(original, ours) || !CopyDatabase(original, theirs)) {
        out << "Cannot copy the library's database\n";
        return 1;
    }
    WarmFile(ours);
    WarmFile(theirs);

    // The sqlite3 program reads its statements from a file on standard input.
    QTemporaryFile scriptFile;
    if (!scriptFile.open() || scriptFile.write(script.join(QLatin1Char('\n')).toUtf8()) < 0 ||
        !scriptFile.flush()) {
        out << "Cannot write the sqlite3 script\n";
        return 1;
    }
    QProcess process;
    process.setStandardInputFile(scriptFile.fileName());
    process.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    process.start(QStringLiteral("sqlite3"), {theirs});
    if (!process.waitForFinished(3600000) || process.exitCode() != 0) {
        out << "sqlite3 failed: " << process.readAllStandardError() << "\n";
        return 1;
    }
    const double cli = Milliseconds(timer);

    // The explorer's walk, on a cursor opened as the list opens it (not timed).
    theDatabaseManager.SetDatabaseFile(ours);
    CFileRecord cursor(&theDatabaseManager);
    if (!cursor.GetAllFilesInArea(kArea)) {
        out << "The copied area did not open\n";
        return 1;
    }
    CYesPrompts prompts;
    timer.restart();
    DeleteListedFiles(FileKeysOfRows(cursor, rows), prompts);
    const double walk = Milliseconds(timer);
    theDatabaseManager.CloseConnection();

    const QString left = QStringLiteral("SELECT count(*) FROM files");
    const QString links =
        QStringLiteral("SELECT (SELECT count(*) FROM file_area) + (SELECT count(*) FROM download)");
    const qint64 oursLeft = CountOf(ours, left), theirsLeft = CountOf(theirs, left);
    if (oursLeft != theirsLeft || CountOf(ours, links) != CountOf(theirs, links) || prompts.problems != 0) {
        out << "The two copies differ after the deletions: " << oursLeft << " files against " << theirsLeft
            << "\n";
        return 1;
    }

    out << "\nDelete File on " << rows.size() << " selected files of an area of " << files << "\n";
    out << QStringLiteral("  explorer's walk (read row, locations, delete)  %1 ms  (%2 ms a file)\n")
               .arg(walk, 9, 'f', 1)
               .arg(walk / double(rows.size()), 0, 'f', 3);
    out << QStringLiteral("  sqlite3 CLI, one transaction a file            %1 ms  (%2 ms a file)\n")
               .arg(cli, 9, 'f', 1)
               .arg(cli / double(rows.size()), 0, 'f', 3);
    out << QStringLiteral("  ratio                                          %1 x   (target: at most 2)\n")
               .arg(walk / cli, 9, 'f', 2);
    out << "  files left in each copy: " << oursLeft << "\n";
    for (const QString& db : {ours, theirs}) {
        for (const char* suffix : {"", "-wal", "-shm"})
            QFile::remove(db + QLatin1String(suffix));
    }
    return 0;
}

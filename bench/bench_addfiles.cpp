// Importing a directory with the Add Files wizard's progress page (offscreen): its worker copies
// each file into the host area, stores its record, area link and local location and takes its
// descriptions from the archive, while the page shows the progress. The files are 10,000 small zip
// archives holding FILE_ID.DIZ and DESC.SDI. The reference, in the same run: `cp` of the same files
// plus the sqlite3 program inserting the same three rows a file, descriptions included, in one
// transaction. Each side runs in a new process of its own five times, alternating, each time into
// an empty area and a new database; the median and the range of each are printed.
//
//   bench_addfiles [--files N] [--descriptions 0|1] [--rounds N]
//   bench_addfiles --import SOURCES DATABASE HOST DESCRIPTIONS   (one import, as a child)

#include "adding/addfiles/AddFilesChoice.h"
#include "adding/addfiles/CAddFilesDoitPage.h"
#include "adding/addfiles/FileCollection.h"
#include "BenchSupport.h"
#include "controls/CMessageBox.h"
#include "database/CTroveportDatabaseManager.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTextStream>

#include <zip.h>

using namespace BenchSupport;

namespace {

QByteArray Brief(int i)
{
    return "Utility number " + QByteArray::number(i);
}

QByteArray Detailed(int i)
{
    return "Utility number " + QByteArray::number(i) + "\nDoes useful things.\nVersion 1." +
           QByteArray::number(i % 10);
}

bool MakeArchive(const QString& path, int i)
{
    int error = 0;
    zip_t* archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive)
        return false;
    const QByteArray diz = Detailed(i).replace("\n", "\r\n") + "\r\n";
    const QByteArray sdi = Brief(i) + "\r\n";
    const QByteArray readme = QByteArray("Read me. ").repeated(60);
    bool added = true;
    for (const auto& [name, data] : {std::pair{"FILE_ID.DIZ", &diz}, {"DESC.SDI", &sdi}, {"README.TXT", &readme}}) {
        zip_source_t* source = zip_source_buffer(archive, data->constData(), zip_uint64_t(data->size()), 0);
        if (!source || zip_file_add(archive, name, source, ZIP_FL_ENC_UTF_8) < 0) {
            if (source)
                zip_source_free(source);
            added = false;
        }
    }
    return zip_close(archive) == 0 && added;
}

QString SourceName(int i)
{
    return QStringLiteral("util%1.zip").arg(i, 5, 10, QLatin1Char('0'));
}

bool MakeSources(const QString& dir, int files)
{
    if (!QDir().mkpath(dir))
        return false;
    for (int i = 0; i < files; ++i) {
        if (!MakeArchive(dir + QLatin1Char('/') + SourceName(i), i))
            return false;
    }
    return true;
}

QByteArray Quoted(const QByteArray& text)
{
    return '\'' + QByteArray(text).replace('\'', "''") + '\'';
}

// The rows the import stores, as one transaction for the sqlite3 program.
bool WriteInsertScript(const QString& path, const QString& sources, int files, bool descriptions)
{
    QFile script(path);
    if (!script.open(QIODevice::WriteOnly))
        return false;
    script.write("BEGIN;\n");
    for (int i = 0; i < files; ++i) {
        const QByteArray id = QByteArray::number(i + 1);
        const QByteArray name = SourceName(i).toUtf8();
        const qint64 size = QFileInfo(sources + QLatin1Char('/') + SourceName(i)).size();
        script.write("INSERT INTO files (file_id, title, file_size, file_date, short_desc, long_desc) VALUES (" +
                     id + ", " + Quoted(name.left(name.size() - 4)) + ", " + QByteArray::number(size) +
                     ", 1700000000, " + (descriptions ? Quoted(Brief(i)) : "''") + ", " +
                     (descriptions ? Quoted(Detailed(i)) : "''") + ");\nINSERT INTO file_area VALUES (1, " + id +
                     ");\nINSERT INTO download (url, file_id) VALUES ('local://1/" + name + "', " + id + ");\n");
    }
    script.write("COMMIT;\n");
    return script.flush();
}

double RunShell(const QString& command)
{
    QProcess process;
    QElapsedTimer timer;
    timer.start();
    process.start(QStringLiteral("sh"), {QStringLiteral("-c"), command});
    if (!process.waitForFinished(600000) || process.exitCode() != 0)
        return -1;
    return Milliseconds(timer);
}

// The child: collects the directory as the first page does, then runs the progress page's worker with
// the page shown (offscreen) until it shows "Completed.". Prints the milliseconds and the files added.
int RunImport(const QStringList& args)
{
    const QString sources = args[0];
    theDatabaseManager.SetDatabaseFile(args[1]);
    theDatabaseManager.GetConnection();
    AddFilesChoice choice;
    choice.SetHost({1, QStringLiteral("Benchmark"), args[2]});
    choice.extractDescriptions = args[3] != QLatin1String("0");
    QString log;
    CAddFilesDoitPage page(choice, log);
    page.resize(500, 300);
    page.show();
    CMessageBox::SetAnsweringMode(true);
    CMessageBox::QueueAnswer(QMessageBox::Yes); // the copy question
    QCoreApplication::processEvents();

    QElapsedTimer timer;
    timer.start();
    CollectedFiles found;
    CollectFiles(sources, false, found);
    choice.files = found.files;
    if (!page.OnSetActive())
        return 1;
    while (page.GetCurrentFileEdit()->text() != QLatin1String("Completed."))
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double ms = Milliseconds(timer);
    const QString expected = AddedSummaryLine(int(choice.files.size()));
    QTextStream(stdout) << ms << ' ' << (log == expected ? 0 : 1) << '\n' << log.left(2000);
    return 0;
}

// One import in a new process; its milliseconds, or -1 with the child's output in *failure.
double TimeImport(const QString& sources, const QString& db, const QString& host, bool descriptions,
                  QString* failure)
{
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--import"), sources, db, host, descriptions ? QStringLiteral("1") : QStringLiteral("0")});
    if (!child.waitForFinished(600000) || child.exitCode() != 0) {
        *failure = QString::fromUtf8(child.readAllStandardOutput() + child.readAllStandardError());
        return -1;
    }
    const QString output = QString::fromUtf8(child.readAllStandardOutput());
    const QStringList first = output.section(QLatin1Char('\n'), 0, 0).split(QLatin1Char(' '));
    if (first.size() != 2 || first[1] != QLatin1String("0")) {
        *failure = output;
        return -1;
    }
    return first[0].toDouble();
}

QString Summary(const QList<double>& times)
{
    return QStringLiteral("%1 ms  (range %2 to %3)")
        .arg(Median(times), 8, 'f', 1)
        .arg(*std::min_element(times.begin(), times.end()), 0, 'f', 1)
        .arg(*std::max_element(times.begin(), times.end()), 0, 'f', 1);
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc == 6 && QByteArray(argv[1]) == "--import") {
        QApplication app(argc, argv);
        return RunImport(app.arguments().mid(2));
    }
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const int files = qMax(2, Option("--files", QStringLiteral("10000")).toInt());
    const bool descriptions = Option("--descriptions", QStringLiteral("1")).toInt() != 0;
    const int rounds = qMax(1, Option("--rounds", QStringLiteral("5")).toInt());
    QTemporaryDir work;
    const QString sources = work.filePath(QStringLiteral("sources"));
    out << "Making " << files << " zip archives holding FILE_ID.DIZ and DESC.SDI ..." << Qt::endl;
    if (!work.isValid() || !MakeSources(sources, files)) {
        out << "Cannot make the files\n";
        return 1;
    }
    // An empty library database with the explorer's own schema, copied for every run of either side.
    const QString emptyDb = work.filePath(QStringLiteral("empty.db"));
    theDatabaseManager.SetDatabaseFile(emptyDb);
    theDatabaseManager.GetConnection();
    theDatabaseManager.CloseConnection();
    const QString script = work.filePath(QStringLiteral("insert.sql"));
    if (!WriteInsertScript(script, sources, files, descriptions))
        return 1;

    QList<double> importTimes;
    QList<double> referenceTimes;
    QList<double> copyTimes;
    QList<double> insertTimes;
    for (int round = 0; round < rounds; ++round) {
        // Nothing is deleted until the end: ext4 takes longer to make files while the inodes of files
        // deleted a moment ago are near, which would tax whichever side ran after a deletion.
        const QString runDir = work.filePath(QStringLiteral("run%1").arg(round));
        const QString referenceArea = runDir + QStringLiteral("/reference-area");
        const QString area = runDir + QStringLiteral("/area");
        const QString referenceDb = runDir + QStringLiteral("/reference.db");
        const QString db = runDir + QStringLiteral("/troveport.db");
        if (!QDir().mkpath(referenceArea) || !QDir().mkpath(area) || !QFile::copy(emptyDb, referenceDb) ||
            !QFile::copy(emptyDb, db))
            return 1;
        const double copyTime = RunShell(QStringLiteral("cp '%1'/* '%2'/").arg(sources, referenceArea));
        const double insertTime = RunShell(QStringLiteral("sqlite3 '%1' < '%2'").arg(referenceDb, script));
        QString failure;
        const double importTime = TimeImport(sources, db, area + QLatin1Char('/'), descriptions, &failure);
        if (copyTime < 0 || insertTime < 0 || importTime < 0) {
            out << "A side failed: cp " << copyTime << " ms, sqlite3 " << insertTime << " ms, import "
                << importTime << " ms\n"
                << failure;
            return 1;
        }
        copyTimes.append(copyTime);
        insertTimes.append(insertTime);
        referenceTimes.append(copyTime + insertTime);
        importTimes.append(importTime);
        out << QStringLiteral("  round %1: wizard %2 ms, cp + sqlite3 %3 ms\n")
                   .arg(round + 1)
                   .arg(importTime, 0, 'f', 1)
                   .arg(copyTime + insertTime, 0, 'f', 1)
            << Qt::flush;
    }

    const double ratio = Median(importTimes) / Median(referenceTimes);
    out << "\nImporting " << files << " zip archives (descriptions "
        << (descriptions ? "extracted" : "not extracted") << "), median of " << rounds << ", each in a new process\n";
    out << "  Add Files wizard (page offscreen)  " << Summary(importTimes) << '\n';
    out << "  cp + sqlite3 (one transaction)     " << Summary(referenceTimes) << '\n';
    out << "    of which cp                      " << Summary(copyTimes) << '\n';
    out << "    of which sqlite3                 " << Summary(insertTimes) << '\n';
    out << QStringLiteral("  ratio of the medians               %1 x   (target: at most %2)\n")
               .arg(ratio, 8, 'f', 2)
               .arg(descriptions ? QStringLiteral("2") : QStringLiteral("1.5"));
    return 0;
}

// Importing a directory as the Add Files wizard's worker does (copy into the host area, record,
// area link, local location, descriptions from archives), over 10,000 small files of which half
// are zip archives holding FILE_ID.DIZ, side by side with `cp` of the same files plus the sqlite3
// program inserting the same three rows a file in one transaction, in the same run.
//
//   bench_addfiles [--files N] [--descriptions 0|1]

#include "adding/addfiles/AddFilesImport.h"
#include "adding/addfiles/FileCollection.h"
#include "BenchSupport.h"
#include "database/CTroveportDatabaseManager.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <zip.h>

using namespace BenchSupport;

namespace {

bool MakeArchive(const QString& path, const QByteArray& diz)
{
    int error = 0;
    zip_t* archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive)
        return false;
    zip_source_t* source = zip_source_buffer(archive, diz.constData(), zip_uint64_t(diz.size()), 0);
    const bool added = source && zip_file_add(archive, "FILE_ID.DIZ", source, ZIP_FL_ENC_UTF_8) >= 0;
    if (!added && source)
        zip_source_free(source);
    return zip_close(archive) == 0 && added;
}

bool MakeSources(const QString& dir, int files)
{
    if (!QDir().mkpath(dir))
        return false;
    for (int i = 0; i < files; ++i) {
        const QString name = dir + QStringLiteral("/file%1").arg(i, 5, 10, QLatin1Char('0'));
        if (i % 2 == 0) {
            if (!MakeArchive(name + QStringLiteral(".zip"), QByteArray("Utility number ") +
                                                                QByteArray::number(i) +
                                                                "\r\nDoes useful things.\r\n"))
                return false;
        } else {
            QFile file(name + QStringLiteral(".txt"));
            if (!file.open(QIODevice::WriteOnly) || file.write(QByteArray(512, 'x')) != 512)
                return false;
        }
    }
    return true;
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

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const int files = qMax(2, Option("--files", QStringLiteral("10000")).toInt());
    const bool descriptions = Option("--descriptions", QStringLiteral("1")).toInt() != 0;
    QTemporaryDir work;
    const QString sources = work.filePath(QStringLiteral("sources"));
    out << "Making " << files << " files (half zip archives with FILE_ID.DIZ) ..." << Qt::endl;
    if (!work.isValid() || !MakeSources(sources, files)) {
        out << "Cannot make the files\n";
        return 1;
    }
    CollectedFiles found;
    CollectFiles(sources, false, found);
    const QStringList& list = found.files;

    // The reference's database has the library's schema, made by the explorer's own component.
    const QString referenceDb = work.filePath(QStringLiteral("reference.db"));
    theDatabaseManager.SetDatabaseFile(referenceDb);
    theDatabaseManager.GetConnection();
    theDatabaseManager.CloseConnection();
    QFile script(work.filePath(QStringLiteral("insert.sql")));
    if (!script.open(QIODevice::WriteOnly))
        return 1;
    script.write("BEGIN;\n");
    for (int i = 0; i < list.size(); ++i) {
        const QByteArray id = QByteArray::number(i + 1);
        const QByteArray name = QFileInfo(list[i]).fileName().toUtf8();
        script.write("INSERT INTO files (file_id, title, file_size, short_desc) VALUES (" + id + ", '" +
                     name + "', 512, 'Utility');\nINSERT INTO file_area VALUES (1, " + id +
                     ");\nINSERT INTO download VALUES (" + id + ", 'local://1/" + name + "');\n");
    }
    script.write("COMMIT;\n");
    script.close();

    const QString referenceCopy = work.filePath(QStringLiteral("reference-area"));
    QDir().mkpath(referenceCopy);
    const double copyTime = RunShell(QStringLiteral("cp '%1'/* '%2'/").arg(sources, referenceCopy));
    const double insertTime =
        RunShell(QStringLiteral("sqlite3 '%1' < '%2'").arg(referenceDb, script.fileName()));

    // The import, into a library of its own.
    const QString host = work.filePath(QStringLiteral("area"));
    QDir().mkpath(host);
    theDatabaseManager.SetDatabaseFile(work.filePath(QStringLiteral("troveport.db")));
    theDatabaseManager.GetConnection();
    const AddFilesHost area{1, QStringLiteral("Benchmark"), host + QLatin1Char('/')};
    QString log;
    QElapsedTimer timer;
    timer.start();
    const int added = ImportFiles(list, area, descriptions, log, [](qsizetype) { return true; });
    const double importTime = Milliseconds(timer);

    if (copyTime < 0 || insertTime < 0 || added != list.size()) {
        out << "A side failed: cp " << copyTime << " ms, sqlite3 " << insertTime << " ms, " << added << " of "
            << list.size() << " imported\n"
            << log.left(2000);
        return 1;
    }
    const double reference = copyTime + insertTime;
    out << "\nImporting " << list.size() << " files (half zip archives; descriptions "
        << (descriptions ? "extracted" : "not extracted") << ")\n";
    out << QStringLiteral("  Add Files worker                 %1 ms  (%2 files a second)\n")
               .arg(importTime, 8, 'f', 1)
               .arg(list.size() * 1000.0 / importTime, 0, 'f', 0);
    out << QStringLiteral(
               "  cp + sqlite3 (one transaction)   %1 ms  (cp %2 ms, sqlite3 %3 ms; %4 files a second)\n")
               .arg(reference, 8, 'f', 1)
               .arg(copyTime, 0, 'f', 1)
               .arg(insertTime, 0, 'f', 1)
               .arg(list.size() * 1000.0 / reference, 0, 'f', 0);
    out << QStringLiteral("  ratio                            %1 x   (target: at most 3)\n")
               .arg(importTime / reference, 8, 'f', 2);
    return 0;
}

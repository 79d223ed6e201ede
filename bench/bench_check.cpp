// The unattended commands on a library of a million files with copies of their own (troveport-setup
// files generate --local-copies), each run as the administrator runs it from cron: a new process of
// troveport-setup, its time and peak memory taken from wait4.
//   - check, against `find` stating every file of the area (the disk's part of the check);
//   - check --checksums, the first run (hashing and storing every copy) and a second (hashing and
//     comparing), against `find | xargs sha256sum` over the same files;
//   - import of a directory of small files into the big library, and scan-uploads with and without
//     --post-clean over a few hundred uploads, with a virus checker that finds everything clean.
// With the page cache warm (the files read once before), and with --cold also cold, when the
// program may drop the caches (run as root): each cold run starts from
// `sync; echo 3 > /proc/sys/vm/drop_caches`, and reads a million small files from the disk.
//
//   bench_check [--files N] [--dir DIR] [--uploads N] [--imports N] [--cold] [--no-checks]
// (--no-checks: only the import and the upload scan)

#include "BenchSupport.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

extern char** environ;

using namespace BenchSupport;

namespace {

struct Run
{
    int status = -1;
    double ms = 0;
    qint64 peakKb = 0;
};

QTextStream out(stdout);

// Runs a program in a new process, its output thrown away; the time and peak memory it took.
Run Measure(const QStringList& command)
{
    QList<QByteArray> words;
    for (const QString& word : command)
        words.append(QFile::encodeName(word));
    std::vector<char*> argv;
    for (QByteArray& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    Run run;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        struct rusage usage = {};
        if (wait4(pid, &status, 0, &usage) == pid) {
            run.ms = Milliseconds(timer);
            run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            run.peakKb = usage.ru_maxrss;
        }
    }
    posix_spawn_file_actions_destroy(&actions);
    return run;
}

bool CanDropCaches()
{
    return ::access("/proc/sys/vm/drop_caches", W_OK) == 0;
}

bool DropCaches()
{
    ::sync();
    QFile drop(QStringLiteral("/proc/sys/vm/drop_caches"));
    return drop.open(QIODevice::WriteOnly) && drop.write("3\n") == 2 && drop.flush();
}

QString Setup()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../tools/troveport-setup/troveport-setup");
}

bool SetupCommand(const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(Setup(), arguments);
    return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

QString Figures(const Run& run)
{
    return QStringLiteral("%1 s, %2 MB peak, exit %3")
        .arg(run.ms / 1000, 0, 'f', 2)
        .arg(double(run.peakKb) / 1024, 0, 'f', 0)
        .arg(run.status);
}

// The library: area 1 holds the generated files and their copies, area 2 takes uploads. Made once
// and kept; a library of another size lives beside it.
bool PrepareCheckLibrary(const QString& root, qint64 files)
{
    const QString db = root + QStringLiteral("/db");
    if (QFileInfo::exists(db + QStringLiteral("/troveport.db")))
        return true;
    QDir(root).removeRecursively();
    out << "Making a library of " << files << " files with copies in " << root << " ...\n" << Qt::flush;
    QElapsedTimer timer;
    timer.start();
    const bool made =
        SetupCommand({QStringLiteral("init"), db}) &&
        SetupCommand({QStringLiteral("area"), QStringLiteral("add"), QStringLiteral("Generated"),
                      root + QStringLiteral("/generated"), QStringLiteral("--downloads"),
                      QStringLiteral("--local")}) &&
        SetupCommand({QStringLiteral("area"), QStringLiteral("add"), QStringLiteral("Incoming"),
                      root + QStringLiteral("/incoming"), QStringLiteral("--uploads"), QStringLiteral("--local")}) &&
        SetupCommand({QStringLiteral("area"), QStringLiteral("add"), QStringLiteral("Imported"),
                      root + QStringLiteral("/imported"), QStringLiteral("--downloads"),
                      QStringLiteral("--local")}) &&
        SetupCommand({QStringLiteral("files"), QStringLiteral("generate"), QStringLiteral("1"),
                      QString::number(files), QStringLiteral("--local-copies")});
    out << "  made in " << Milliseconds(timer) / 1000 << " s\n" << Qt::flush;
    return made;
}

// Uploads as the web site leaves them: the file and its description, arrived a minute ago.
bool MakeUploads(const QString& directory, int count)
{
    QDir().mkpath(directory);
    const qint64 arrived = QDateTime::currentSecsSinceEpoch() - 60;
    for (int i = 0; i < count; ++i) {
        const QString name = QStringLiteral("upload%1.zip").arg(i);
        QFile file(directory + u'/' + name), description(directory + u'/' + name + QStringLiteral(".desc"));
        if (!file.open(QIODevice::WriteOnly) || file.write(QByteArray(2000 + i, char('a' + i % 26))) < 0 ||
            !description.open(QIODevice::WriteOnly) ||
            description.write(QStringLiteral("Filename: %1\r\nTitle: Upload %2\r\nShortDesc: An upload\r\n"
                                             "Company: A visitor\r\n\r\nUploaded for the benchmark.\r\n")
                                  .arg(name)
                                  .arg(i)
                                  .toUtf8()) < 0)
            return false;
        file.close();
        description.close();
        const struct utimbuf times = {arrived, arrived};
        for (const QString& path : {file.fileName(), description.fileName()})
            ::utime(QFile::encodeName(path).constData(), &times);
    }
    return true;
}

bool MakeImports(const QString& directory, int count)
{
    QDir(directory).removeRecursively();
    QDir().mkpath(directory);
    for (int i = 0; i < count; ++i) {
        QFile file(directory + QStringLiteral("/import%1.txt").arg(i));
        if (!file.open(QIODevice::WriteOnly) || file.write(QByteArray(1500 + i, char('A' + i % 26))) < 0)
            return false;
    }
    return true;
}

// Reads every copy once, so that the warm runs find the files in the page cache.
void Warm(const QString& area)
{
    Measure({QStringLiteral("sh"), QStringLiteral("-c"),
             QStringLiteral("find \"$0\" -type f -print0 | xargs -0 cat > /dev/null"), area});
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const qint64 files = Option("--files", QStringLiteral("1000000")).toLongLong();
    const int uploads = Option("--uploads", QStringLiteral("200")).toInt();
    const int imports = Option("--imports", QStringLiteral("1000")).toInt();
    const QString dir = Option("--dir", QCoreApplication::applicationDirPath() + QStringLiteral("/bench-data"));
    const QString root = QDir(dir).absoluteFilePath(QStringLiteral("check-%1").arg(files));
    // Every troveport-setup run here, and this program's, uses the library's own machine settings.
    qputenv("TROVEPORT_MACHINE_REG", QFile::encodeName(root + QStringLiteral("/machine.reg")));
    QDir().mkpath(root);
    if (!PrepareCheckLibrary(root, files)) {
        out << "Cannot make the library.\n";
        return 1;
    }
    const QString area = root + QStringLiteral("/generated");
    const QString setup = Setup();
    const QStringList check = {setup, QStringLiteral("check")};
    const QStringList checksums = {setup, QStringLiteral("check"), QStringLiteral("--checksums")};
    const QStringList stat = {QStringLiteral("find"), area, QStringLiteral("-type"), QStringLiteral("f"),
                              QStringLiteral("-printf"), QStringLiteral("%s %p\\n")};
    const QStringList hash = {QStringLiteral("sh"), QStringLiteral("-c"),
                              QStringLiteral("find \"$0\" -type f -print0 | xargs -0 sha256sum"), area};
    // The checksums stored by an earlier run would make the first run a second one.
    const QString db = root + QStringLiteral("/db/troveport.db");
    TimeSqlite3(db, QStringLiteral("DROP TABLE IF EXISTS file_checksum"));

    out << "Library of " << files << " files with copies (" << root << ")\n";
    const bool wantCold = QCoreApplication::arguments().contains(QStringLiteral("--cold"));
    const bool checks = !QCoreApplication::arguments().contains(QStringLiteral("--no-checks"));
    for (const bool cold : {false, true}) {
        if (!checks || (cold && !wantCold))
            break;
        if (cold && !CanDropCaches()) {
            out << "Cold runs skipped: the page cache cannot be dropped (run as root).\n";
            break;
        }
        out << (cold ? "\nCold page cache, each run after dropping it:\n" : "\nWarm page cache:\n");
        if (!cold)
            Warm(area);
        const auto measure = [&](const QStringList& command) {
            if (cold)
                DropCaches();
            return Measure(command);
        };
        const Run find = measure(stat), checked = measure(check);
        out << "  find -printf size:         " << Figures(find) << "\n";
        out << "  check:                     " << Figures(checked)
            << QStringLiteral("  (%1x find)\n").arg(checked.ms / find.ms, 0, 'f', 2) << Qt::flush;
        const Run sums = measure(hash), first = measure(checksums), second = measure(checksums);
        out << "  find | xargs sha256sum:    " << Figures(sums) << "\n";
        out << "  check --checksums, first:  " << Figures(first)
            << QStringLiteral("  (%1x sha256sum)\n").arg(first.ms / sums.ms, 0, 'f', 2);
        out << "  check --checksums, again:  " << Figures(second)
            << QStringLiteral("  (%1x sha256sum)\n").arg(second.ms / sums.ms, 0, 'f', 2) << Qt::flush;
        TimeSqlite3(db, QStringLiteral("DROP TABLE IF EXISTS file_checksum"));
    }

    // Import and the upload scan in the big library, warm.
    const QString sources = root + QStringLiteral("/import-sources");
    if (!MakeImports(sources, imports) || !MakeUploads(root + QStringLiteral("/incoming"), uploads)) {
        out << "Cannot make the files to import and the uploads.\n";
        return 1;
    }
    // The scan tells an upload still arriving by its status change time, which cannot be set back.
    QThread::sleep(11);
    SetupCommand({QStringLiteral("set"), QStringLiteral("VirusChecker"), QStringLiteral("/bin/true")});
    SetupCommand({QStringLiteral("set"), QStringLiteral("VirusExitCode"), QStringLiteral("1"),
                  QStringLiteral("--dword")});
    out << "\nIn the same library, warm:\n";
    const Run imported = Measure({setup, QStringLiteral("import"), sources, QStringLiteral("--area"), QStringLiteral("3")});
    out << "  import of " << imports << " files:      " << Figures(imported) << "\n";
    const Run listed = Measure({setup, QStringLiteral("scan-uploads")});
    out << "  scan-uploads, " << uploads << " waiting: " << Figures(listed) << "\n";
    const Run posted = Measure({setup, QStringLiteral("scan-uploads"), QStringLiteral("--post-clean")});
    out << "  scan-uploads --post-clean: " << Figures(posted) << "\n";
    const Run after = Measure(check);
    out << "  check after them:          " << Figures(after) << "\n";
    // The next run imports and posts again from the same state.
    SetupCommand({QStringLiteral("set"), QStringLiteral("VirusChecker"), QString()});
    TimeSqlite3(db, QStringLiteral("DELETE FROM files WHERE file_id > %1").arg(files));
    TimeSqlite3(db, QStringLiteral("DELETE FROM download WHERE file_id > %1").arg(files));
    TimeSqlite3(db, QStringLiteral("DELETE FROM file_area WHERE file_id > %1").arg(files));
    QDir(root + QStringLiteral("/imported")).removeRecursively();
    QDir(root + QStringLiteral("/incoming")).removeRecursively();
    QDir().mkpath(root + QStringLiteral("/imported"));
    QDir().mkpath(root + QStringLiteral("/incoming"));
    return 0;
}

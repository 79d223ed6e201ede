#pragma once

// What the benchmarks share: the library of generated files they measure, the sqlite3 program as
// the reference, and a few measures.

#include "database/CDBException.h"
#include "database/CTroveportDatabaseManager.h"
#include "FileGenerator.h"
#include "files/PathUtils.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTextStream>

#include <algorithm>
#include <malloc.h>

namespace BenchSupport {

inline double Milliseconds(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

inline double Median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values[values.size() / 2];
}

// "median ms (lowest to highest)".
inline QString Spread(const QList<double>& values)
{
    if (values.isEmpty())
        return QStringLiteral("-");
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    return QStringLiteral("%1 ms (%2 to %3)")
        .arg(Median(values), 0, 'f', 1)
        .arg(*low, 0, 'f', 1)
        .arg(*high, 0, 'f', 1);
}

// The statement an area's list runs for its keys (area 1), as the reference runs it.
inline const QString kAreaIdQuery =
    QStringLiteral("SELECT file_area.file_id FROM file_area JOIN files ON files.file_id = file_area.file_id "
                   "WHERE file_area.area_id = 1 ORDER BY file_area.file_id");

// Milliseconds the sqlite3 program takes to run a statement, its output thrown away; -1 on failure.
inline double TimeSqlite3(const QString& db, const QString& statement)
{
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    process.start(QStringLiteral("sqlite3"), {db, statement});
    if (!process.waitForFinished(600000) || process.exitCode() != 0)
        return -1;
    return Milliseconds(timer);
}

// Heap in use: small blocks and the large ones malloc maps on its own.
inline qint64 HeapBytes()
{
    const struct mallinfo2 info = mallinfo2();
    return qint64(info.uordblks + info.hblkhd);
}

// "--name value" from the command line, or the fallback.
inline QString Option(const char* name, const QString& fallback)
{
    const QStringList args = QCoreApplication::arguments();
    const qsizetype at = args.indexOf(QLatin1String(name));
    return at >= 0 && at + 1 < args.size() ? args[at + 1] : fallback;
}

// Reads a file once, so that both sides of a comparison find it in the page cache, as they would on
// a machine that serves the library, instead of one of them paying for the first reads from disk.
inline void WarmFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    QByteArray chunk(1 << 20, Qt::Uninitialized);
    while (file.read(chunk.data(), chunk.size()) > 0) {
    }
}

// The library the benchmarks share, made once: area 1 holds `files` generated files. Its
// directory is DIR/library-N, where DIR is --dir or bench-data beside the program.
inline QString PrepareLibrary(qint64 files, QTextStream& out)
{
    const QString dir =
        Option("--dir", QCoreApplication::applicationDirPath() + QStringLiteral("/bench-data"));
    const QString library = QStringLiteral("%1/library-%2").arg(dir).arg(files);
    const QString db = MakePath(library, QStringLiteral("troveport.db"));
    QDir().mkpath(library);
    theDatabaseManager.SetDatabaseFile(db);
    // A library of an older generator, without the rare word, is made anew.
    QVariantList marker;
    try {
        theDatabaseManager.Run(QStringLiteral("SELECT title FROM files WHERE file_id = 6000"), {}, &marker);
    } catch (const CDBException&) {
    }
    const bool current = files < 6000 || marker.value(0).toString().startsWith(QLatin1String(kRareWord));
    if (current && theDatabaseManager.GetNumberOfFilesInArea(1) == files) {
        WarmFile(db);
        return library;
    }
    theDatabaseManager.CloseConnection();
    for (const char* suffix : {"", "-wal", "-shm"})
        QFile::remove(db + QLatin1String(suffix));
    theDatabaseManager.SetDatabaseFile(db);
    out << "Making a library of " << files << " files in " << library << " ...\n" << Qt::flush;
    QString error;
    if (!GenerateFiles(1, files, out, &error) || !CatchUpSearchIndexes(out, &error)) {
        out << "Cannot make the library: " << error << "\n";
        return QString();
    }
    WarmFile(db);
    return library;
}

} // namespace BenchSupport

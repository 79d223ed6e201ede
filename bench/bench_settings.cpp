// Reading a setting from large settings files: 1.6 MB of hex continuation lines, each ending in a
// blank after its backslash (lines as wide as regedit writes them, and lines of one byte each),
// and 15 MB of blank lines. Each case runs in a child process of its own so that its peak
// memory is its own. A cold read is one whose file changed since the last read (its times are set
// afresh first); a warm read is one of a file unchanged for a few seconds.

#include "settings/Registry.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

#include <algorithm>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

const QString kKey = QStringLiteral("HKLM\\Software\\Corvane Software\\Loomwell\\Troveport");

double Median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values[values.size() / 2];
}

// Hex lines as wide as regedit writes them (25 bytes), or of one byte each; or blank lines. Written
// a line at a time, so that making the file does not raise the peak memory of the process.
bool WriteFile(QFile& file, const QString& name)
{
    if (file.write("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Corvane Software\\Loomwell\\Troveport]\n"
                   "\"HttpServer\"=\"http://localhost\"\n") < 0)
        return false;
    if (name == QLatin1String("blank")) {
        const QByteArray blanks(1000 * 1000, '\n');
        for (int i = 0; i < 15; ++i) {
            if (file.write(blanks) != blanks.size())
                return false;
        }
        return true;
    }
    const QByteArray line =
        name == QLatin1String("hex")
            ? QByteArray("  00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,17,\\ \n")
            : QByteArray("  00,\\ \n");
    if (file.write("\"Blob\"=hex:00,\\ \n") < 0)
        return false;
    while (file.size() + line.size() < 1600 * 1000) {
        if (file.write(line) != line.size())
            return false;
    }
    return file.write("  18\n") > 0;
}

double PeakRssMegabytes()
{
    struct rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

// One case in this process: prints "<size MB> <cold ms> <warm ms> <peak MB>".
int RunCase(const QString& name)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("machine.reg"));
    qputenv("TROVEPORT_MACHINE_REG", QFile::encodeName(path));
    qint64 size = 0;
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || !WriteFile(file, name))
            return 1;
        file.flush();
        size = file.size();
    }
    const double baseMb = PeakRssMegabytes();

    QList<double> cold;
    for (int i = 0; i < 3; ++i) {
        ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), nullptr, 0); // now: a change
        QElapsedTimer timer;
        timer.start();
        const QString value = RegGetString(QStringLiteral("HttpServer"), kKey);
        cold.append(double(timer.nsecsElapsed()) / 1e6);
        if (value != QLatin1String("http://localhost"))
            return 2;
    }
    const double peakMb = PeakRssMegabytes() - baseMb;

    // Unchanged for longer than any file system's time granularity: later reads may use the cache.
    QThread::msleep(2500);
    QList<double> warm;
    for (int i = 0; i < 21; ++i) {
        QElapsedTimer timer;
        timer.start();
        const QString value = RegGetString(QStringLiteral("HttpServer"), kKey);
        warm.append(double(timer.nsecsElapsed()) / 1e6);
        if (value != QLatin1String("http://localhost"))
            return 2;
    }
    QTextStream(stdout) << double(size) / 1e6 << ' ' << Median(cold) << ' ' << Median(warm) << ' ' << peakMb
                        << '\n';
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args[1] == QLatin1String("--case"))
        return RunCase(args[2]);

    QTextStream out(stdout);
    out << "case                      size MB   cold read ms   warm read ms   peak memory MB\n";
    for (const char* name : {"hex", "hex-short", "blank"}) {
        QProcess child;
        child.start(app.applicationFilePath(), {QStringLiteral("--case"), QLatin1String(name)});
        if (!child.waitForFinished(-1) || child.exitCode() != 0) {
            out << name << ": failed (" << child.exitCode() << ")\n";
            continue;
        }
        const QStringList f = QString::fromLatin1(child.readAllStandardOutput()).simplified().split(u' ');
        if (f.size() != 4)
            continue;
        const QString label =
            QLatin1String(name) == QLatin1String("hex")         ? QStringLiteral("hex lines of 25 bytes")
            : QLatin1String(name) == QLatin1String("hex-short") ? QStringLiteral("hex lines of 1 byte")
                                                                : QStringLiteral("blank lines");
        out << label.leftJustified(26) << f[0].rightJustified(7) << f[1].rightJustified(15)
            << f[2].rightJustified(15) << f[3].rightJustified(17) << '\n';
        out.flush();
    }
    return 0;
}

// The tree of groups and areas at sizes far beyond a real library: a group listing 100,000 areas
// of a 100,000-area table, and a group listing one area 1,000,000 times. For each: opening the
// area table, building the tree and tearing it down (what the program does at exit).
//
//   bench_tree [--areas N] [--repeats N] [--dir DIR]

#include "controls/CTreeItemRegistry.h"
#include "explorer/TreeBuilder.h"
#include "settings/CFileAreaTable.h"
#include "settings/Globals.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <QTextStream>

namespace {

double Milliseconds(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

QString Option(const char* name, const QString& fallback)
{
    const QStringList args = QCoreApplication::arguments();
    const qsizetype at = args.indexOf(QLatin1String(name));
    return at >= 0 && at + 1 < args.size() ? args[at + 1] : fallback;
}

bool WriteAll(const QString& path, const QByteArray& data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(data) == data.size();
}

// A header record and areas with ids 1 to count, named after their ids.
QByteArray AreaTable(quint32 count)
{
    QByteArray data(qsizetype(count + 1) * qsizetype(sizeof(FileAreaRecord)), '\0');
    for (quint32 i = 1; i <= count; ++i) {
        auto* record =
            reinterpret_cast<FileAreaRecord*>(data.data() + qsizetype(i) * qsizetype(sizeof(FileAreaRecord)));
        record->SetAreaId(i);
        FileAreaRecord::EncodeField(record->name, FileAreaRecord::kNameSize,
                                    QStringLiteral("Area %1").arg(i));
    }
    return data;
}

QByteArray GroupFile(const QList<quint32>& ids)
{
    QByteArray data(ids.size() * 4, '\0');
    for (qsizetype i = 0; i < ids.size(); ++i)
        qToLittleEndian(ids[i], data.data() + i * 4);
    return data;
}

struct Result
{
    double open = 0;
    double build = 0;
    double teardown = 0;
    qsizetype nodes = 0;
};

Result Measure(const QString& dir, quint32 areas, const QList<quint32>& ids)
{
    Result result;
    const QString table = dir + QStringLiteral("/Filearea.dat");
    WriteAll(table, AreaTable(areas));
    WriteAll(dir + QStringLiteral("/Big.group"), GroupFile(ids));
    g_strDatabasePath = dir;

    QElapsedTimer timer;
    timer.start();
    theFileAreaTable.Open(table);
    result.open = Milliseconds(timer);

    timer.restart();
    BuildFolderTree();
    result.build = Milliseconds(timer);
    result.nodes = theTreeItemRegistry.GetCount();

    timer.restart();
    theTreeItemRegistry.DeleteAll();
    result.teardown = Milliseconds(timer);

    theFileAreaTable.Close();
    QFile::remove(dir + QStringLiteral("/Big.group"));
    return result;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const quint32 areas = Option("--areas", QStringLiteral("100000")).toUInt();
    const qsizetype repeats = Option("--repeats", QStringLiteral("1000000")).toLongLong();
    QTemporaryDir scratch;
    const QString dir = Option("--dir", scratch.path());

    // Every area once, last to first, so that a search through the table in file order would
    // have to go far for most of them.
    QList<quint32> everyArea;
    for (quint32 id = areas; id >= 1; --id)
        everyArea.append(id);
    const QList<quint32> oneArea(repeats, 1u);

    out << QStringLiteral("%1 %2 %3 %4 %5\n")
               .arg(QStringLiteral("case"), -34)
               .arg(QStringLiteral("nodes"), 9)
               .arg(QStringLiteral("open table"), 11)
               .arg(QStringLiteral("build"), 11)
               .arg(QStringLiteral("teardown"), 11);
    const struct
    {
        QString name;
        quint32 areas;
        const QList<quint32>& ids;
    } cases[] = {{QStringLiteral("%1 areas in one group").arg(areas), areas, everyArea},
                 {QStringLiteral("one area listed %1 times").arg(repeats), 1, oneArea}};
    for (const auto& c : cases) {
        const Result r = Measure(dir, c.areas, c.ids);
        out << QStringLiteral("%1 %2 %3 %4 %5\n")
                   .arg(c.name, -34)
                   .arg(r.nodes, 9)
                   .arg(QStringLiteral("%1 ms").arg(r.open, 0, 'f', 1), 11)
                   .arg(QStringLiteral("%1 ms").arg(r.build, 0, 'f', 1), 11)
                   .arg(QStringLiteral("%1 ms").arg(r.teardown, 0, 'f', 1), 11)
            << Qt::flush;
    }
    return 0;
}

// Start-up paths that run often: a settings read at a command's point of use, and finding an area
// by id, which every list row with a local location does.

#include "CLibraryEditor.h"
#include "settings/CFileAreaTable.h"
#include "settings/Globals.h"
#include "settings/Registry.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

struct Library
{
    QTemporaryDir dir;
    QString table;

    Library()
    {
        qputenv("TROVEPORT_MACHINE_REG", QFile::encodeName(dir.filePath(QStringLiteral("machine.reg"))));
        for (int i = 0; i < 20; ++i)
            RegWriteString(QStringLiteral("Value%1").arg(i), QStringLiteral("/srv/value/%1").arg(i),
                           g_pszRegKey);
        RegWriteString(QStringLiteral("HttpServer"), QStringLiteral("http://localhost"), g_pszRegKey);

        const QString db = dir.filePath(QStringLiteral("db"));
        QString error;
        CLibraryEditor::Create(db, &error);
        CLibraryEditor editor(db);
        editor.Open(&error);
        for (int i = 0; i < 10000; ++i) {
            AreaDefinition area{
                0, QStringLiteral("Area %1").arg(i), dir.filePath(QStringLiteral("a")), {}, {}, 1};
            editor.AddArea(area, &error);
        }
        editor.Save(&error);
        table = CLibraryEditor::TableName(db);
    }
};

Library& TheLibrary()
{
    static Library library;
    return library;
}

void BM_ReadMachineSetting(benchmark::State& state)
{
    TheLibrary();
    for (auto _ : state)
        benchmark::DoNotOptimize(RegGetString(QStringLiteral("httpserver"), g_pszRegKey));
}
BENCHMARK(BM_ReadMachineSetting);

void BM_OpenAreaTable(benchmark::State& state)
{
    const QString name = TheLibrary().table;
    for (auto _ : state) {
        CFileAreaTable table;
        benchmark::DoNotOptimize(table.Open(name));
    }
}
BENCHMARK(BM_OpenAreaTable);

void BM_FindLastArea(benchmark::State& state)
{
    CFileAreaTable table;
    table.Open(TheLibrary().table);
    for (auto _ : state)
        benchmark::DoNotOptimize(table.FindArea(10000u));
}
BENCHMARK(BM_FindLastArea);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// The explorer window on an area of 1,000,000 files, in each view mode: from selecting the area to
// the first screen painted, side by side with the sqlite3 command-line program running the
// statement the window runs (the area's ordered ids, which also give its count) on the same database
// in the same run; then screens painted after scrolling to the end and to 20 random places; and the memory
// the whole list costs per file. Five rounds, each with a new window per mode after the sqlite3 program's
// run; every figure is the median of five with the lowest and highest.
//
//   bench_explorer [--files N] [--dir DIR]     (runs on the offscreen platform by default)

#include "BenchSupport.h"
#include "controls/CFolderTreeModel.h"
#include "controls/CTreeItem.h"
#include "database/CTroveportDatabaseManager.h"
#include "explorer/CFileListModel.h"
#include "explorer/CFileListView.h"
#include "explorer/CMainFrame.h"
#include "ExplorerLibrary.h"
#include "settings/Globals.h"
#include "startup/Startup.h"

#include <QApplication>
#include <QDir>
#include <QListView>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTreeView>

#include <algorithm>
#include <random>

using namespace BenchSupport;

namespace {

struct ModeResult
{
    double firstScreen = 0;
    double wholeList = 0;
    double endScreen = 0;
    double slowestRandomScreen = 0;
    double medianRandomScreen = 0;
    double bytesPerFile = 0;
};

QScrollBar* ScrollBarOf(QAbstractItemView* view, int mode)
{
    return mode == CFileListView::kList ? view->horizontalScrollBar() : view->verticalScrollBar();
}

// A new window for each mode, so that the memory measured is the whole list's: the cursor's keys,
// the model and the view's own bookkeeping.
ModeResult Measure(int mode, qint64 files)
{
    ModeResult result;
    CMainFrame frame;
    frame.resize(1280, 900);
    frame.show();
    while (!frame.IsLaidOut())
        QCoreApplication::processEvents();
    const CTreeItem* group = frame.GetTreeModel()->GetRoot()->GetChild(1);
    const CTreeItem* area = group->GetChild(0);
    frame.SelectTreeItem(group);
    QCoreApplication::processEvents();
    frame.GetListView()->SetViewMode(mode);
    QAbstractItemView* view = frame.GetListView()->GetCurrentView();
    view->viewport()->repaint();
    malloc_trim(0);
    const qint64 heapBefore = HeapBytes();

    QElapsedTimer timer;
    timer.start();
    frame.SelectTreeItem(area);
    // The keys come from a worker in chunks: the first screen paints with the first chunk.
    while (frame.GetListModel()->rowCount() == 0)
        QCoreApplication::processEvents();
    view->viewport()->repaint();
    result.firstScreen = Milliseconds(timer);
    while (frame.GetListModel()->rowCount() != files)
        QCoreApplication::processEvents();
    result.wholeList = Milliseconds(timer);
    result.bytesPerFile = double(HeapBytes() - heapBefore) / double(files);

    timer.restart();
    view->scrollToBottom();
    view->viewport()->repaint();
    result.endScreen = Milliseconds(timer);

    std::mt19937 random(11);
    QList<double> screens;
    QScrollBar* bar = ScrollBarOf(view, mode);
    for (int i = 0; i < 20; ++i) {
        const int value = bar->minimum() + int(random() % quint32(qMax(1, bar->maximum() - bar->minimum())));
        timer.restart();
        bar->setValue(value);
        view->viewport()->repaint();
        screens.append(Milliseconds(timer));
    }
    std::sort(screens.begin(), screens.end());
    result.slowestRandomScreen = screens.last();
    result.medianRandomScreen = screens[screens.size() / 2];
    return result;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTextStream out(stdout);
    const qint64 files = Option("--files", QStringLiteral("1000000")).toLongLong();
    const QString library = PrepareLibrary(files, out);
    if (library.isEmpty() || !PrepareExplorerLibrary(library, out))
        return 1;

    // The window's own settings go to a scratch place; the machine settings are not needed.
    QTemporaryDir settings;
    qputenv("TROVEPORT_USER_REG", QFile::encodeName(settings.filePath(QStringLiteral("user.reg"))));
    qputenv("TROVEPORT_MACHINE_REG", QFile::encodeName(settings.filePath(QStringLiteral("machine.reg"))));
    g_strDatabasePath = library;
    if (OpenFileAreaTable() != AreaTableStatus::Ready) {
        out << "Cannot open the area table\n";
        return 1;
    }

    const QString db = theDatabaseManager.GetDatabaseFile();
    // The window's statement: the area's keys (it takes the count from them).
    const QString statement = kAreaIdQuery;
    TimeSqlite3(db, statement); // warm the cache
    const struct
    {
        int mode;
        const char* name;
    } modes[] = {{CFileListView::kDetails, "details"},
                 {CFileListView::kList, "list"},
                 {CFileListView::kSmallIcons, "small icons"},
                 {CFileListView::kLargeIcons, "large icons"}};
    constexpr int kRounds = 5;
    QList<double> cli;
    QList<ModeResult> results[std::size(modes)];
    for (int round = 0; round < kRounds; ++round) {
        cli.append(TimeSqlite3(db, statement));
        for (size_t m = 0; m < std::size(modes); ++m)
            results[m].append(Measure(modes[m].mode, files));
    }
    const double reference = Median(cli);

    out << "\nArea of " << files << " files; sqlite3 CLI, the ordered ids: " << Spread(cli) << " (median of "
        << kRounds << ", lowest to highest)\n";
    out << QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8\n")
               .arg(QStringLiteral("view"), -12)
               .arg(QStringLiteral("first screen"), 30)
               .arg(QStringLiteral("ratio"), 7)
               .arg(QStringLiteral("whole list"), 30)
               .arg(QStringLiteral("end screen"), 11)
               .arg(QStringLiteral("random median"), 14)
               .arg(QStringLiteral("random worst"), 13)
               .arg(QStringLiteral("bytes/file"), 11);
    for (size_t m = 0; m < std::size(modes); ++m) {
        const auto values = [&](double ModeResult::*field) {
            QList<double> list;
            for (const ModeResult& r : std::as_const(results[m]))
                list.append(r.*field);
            return list;
        };
        const QList<double> first = values(&ModeResult::firstScreen);
        out << QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8\n")
                   .arg(QLatin1String(modes[m].name), -12)
                   .arg(Spread(first), 30)
                   .arg(QStringLiteral("%1x").arg(Median(first) / reference, 0, 'f', 2), 7)
                   .arg(Spread(values(&ModeResult::wholeList)), 30)
                   .arg(QStringLiteral("%1 ms").arg(Median(values(&ModeResult::endScreen)), 0, 'f', 2), 11)
                   .arg(QStringLiteral("%1 ms").arg(Median(values(&ModeResult::medianRandomScreen)), 0, 'f',
                                                    2),
                        14)
                   .arg(QStringLiteral("%1 ms").arg(Median(values(&ModeResult::slowestRandomScreen)), 0, 'f',
                                                    2),
                        13)
                   .arg(Median(values(&ModeResult::bytesPerFile)), 11, 'f', 1)
            << Qt::flush;
    }
    out << "Window 1280x900. Targets: first screen within 1.5x; every screen under 16 ms; under 150 bytes "
           "a file (large icons: measured only).\n";
    return 0;
}

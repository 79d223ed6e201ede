// How long the explorer window goes unanswered while it lists many files. The real window
// (offscreen, 1280x900, details view) runs, with a timer on its thread pinging every 5 ms: a search
// for a common word until every match is listed, and the opening of the area of 1,000,000 files
// until every file is listed. The largest gap between two pings is the longest the window did not
// answer; beside it the time to the first screen painted and to the list complete. Then, as a user
// tries it: from Return in the search dialog to the rare word's file painted.
//
//   bench_ping [--files N] [--dir DIR] [--text WORD] [--rare WORD] [--rounds N] [--server URI]
//
// SQLite by default, on the library the other benchmarks share; with --server (or
// TROVEPORT_TEST_POSTGRES) on a PostgreSQL server, with bench_postgres's files (see README.md).

#include "BenchSupport.h"
#include "controls/CFolderTreeModel.h"
#include "controls/CMessageBox.h"
#include "controls/CModalRun.h"
#include "controls/CTreeItem.h"
#include "database/CTroveportDatabaseManager.h"
#include "database/SearchStatement.h"
#include "explorer/CFileListModel.h"
#include "explorer/CFileListView.h"
#include "explorer/CFileSearchDialog.h"
#include "explorer/CMainFrame.h"
#include "ExplorerLibrary.h"
#include "PostgresBenchData.h"
#include "settings/Globals.h"
#include "startup/Startup.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <QTreeView>
#include <QUrl>

#include <functional>

using namespace BenchSupport;

namespace {

struct Ping
{
    double largestGap = 0;
    double firstScreen = -1; // the first paint of the list with a file in it
    double complete = 0;
    qint64 rows = 0;
};

// Records the first paint of the list's view that shows a file.
class CPaintWatch : public QObject
{
public:
    CPaintWatch(CMainFrame& frame, const QElapsedTimer& clock, double* firstScreen)
        : m_frame(frame), m_clock(clock), m_firstScreen(firstScreen)
    {
        frame.GetListView()->GetCurrentView()->viewport()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Paint || *m_firstScreen >= 0 || m_frame.GetListModel()->rowCount() == 0)
            return QObject::eventFilter(watched, event);
        // The screen is there once the view has painted it: the view gets the event here, and
        // the time is taken after.
        watched->removeEventFilter(this);
        QCoreApplication::sendEvent(watched, event);
        *m_firstScreen = Milliseconds(m_clock);
        return true;
    }

private:
    CMainFrame& m_frame;
    const QElapsedTimer& m_clock;
    double* m_firstScreen;
};

// Runs start on the window thread with the ping running, until the list is complete.
Ping Measure(CMainFrame& frame, const std::function<void()>& start)
{
    Ping result;
    QElapsedTimer clock;
    double last = 0;
    QTimer ping;
    ping.setTimerType(Qt::PreciseTimer);
    ping.setInterval(5);
    QObject::connect(&ping, &QTimer::timeout, [&] {
        const double now = Milliseconds(clock);
        result.largestGap = std::max(result.largestGap, now - last);
        last = now;
    });
    clock.start();
    ping.start();
    CPaintWatch watch(frame, clock, &result.firstScreen);
    start();
    do
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    while (frame.IsLoading() || !frame.GetListModel()->HasFiles());
    result.complete = Milliseconds(clock);
    // The last chunk's rows are painted after it arrived: the gap they make counts too.
    frame.GetListView()->GetCurrentView()->viewport()->repaint();
    QCoreApplication::processEvents();
    result.largestGap = std::max(result.largestGap, Milliseconds(clock) - last);
    result.rows = frame.GetListModel()->rowCount();
    return result;
}

// Leaves the list on the group, so that the next measure starts from a small list.
void Rest(CMainFrame& frame, const CTreeItem* group)
{
    frame.SelectTreeItem(group);
    while (frame.IsLoading() || frame.GetListModel()->HasFiles())
        QCoreApplication::processEvents();
}

QString Row(const QString& what, const QList<Ping>& pings)
{
    QList<double> gaps, firsts, completes;
    for (const Ping& p : pings) {
        gaps.append(p.largestGap);
        firsts.append(p.firstScreen);
        completes.append(p.complete);
    }
    const auto range = [](QList<double> values) {
        std::sort(values.begin(), values.end());
        return QStringLiteral("%1 (%2-%3)")
            .arg(Median(values), 0, 'f', 0)
            .arg(values.first(), 0, 'f', 0)
            .arg(values.last(), 0, 'f', 0);
    };
    return QStringLiteral("  %1 %2 %3 %4 %5\n")
        .arg(what, -34)
        .arg(pings.first().rows, 9)
        .arg(range(gaps), 16)
        .arg(range(firsts), 16)
        .arg(range(completes), 18);
}

// From Return in the Find dialog to the first file painted, as the user does it.
double FindToFirstFile(CMainFrame& frame, const QString& text)
{
    QElapsedTimer clock;
    double firstScreen = -1;
    CModalRun::QueueHandler([&](QDialog& dialog) {
        auto& search = static_cast<CFileSearchDialog&>(dialog);
        search.GetTextEdit()->setText(text);
        for (int i = 0; i < search.GetFieldList()->count(); ++i)
            search.GetFieldList()->item(i)->setCheckState(Qt::Checked);
        clock.start(); // Return
        return int(QDialog::Accepted);
    });
    CPaintWatch watch(frame, clock, &firstScreen);
    frame.RunCommand(Command::FindFiles);
    const auto nothingFound = [&] {
        return !frame.IsLoading() && frame.GetListModel()->HasFiles() &&
               frame.GetListModel()->rowCount() == 0;
    };
    while (firstScreen < 0 && !nothingFound())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    while (frame.IsLoading())
        QCoreApplication::processEvents();
    return firstScreen;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTextStream out(stdout);
    const qint64 files = Option("--files", QStringLiteral("1000000")).toLongLong();
    const QString common = Option("--text", QStringLiteral("Castle"));
    const int rounds = std::max(1, Option("--rounds", QStringLiteral("5")).toInt());
    const QString server = Option("--server", QString::fromLocal8Bit(qgetenv("TROVEPORT_TEST_POSTGRES")));
    const bool postgres = !server.isEmpty();
    const QString rare =
        Option("--rare", postgres ? PostgresBench::kRareWord : QString::fromLatin1(::kRareWord));

    QTemporaryDir settings;
    qputenv("TROVEPORT_USER_REG", QFile::encodeName(settings.filePath(QStringLiteral("user.reg"))));
    qputenv("TROVEPORT_MACHINE_REG", QFile::encodeName(settings.filePath(QStringLiteral("machine.reg"))));
    QString library;
    if (postgres) {
        // The area table lives in a scratch library; the files on the server, made once.
        library = settings.filePath(QStringLiteral("library"));
        const QString database = QStringLiteral("troveport_bench_%1").arg(files);
        QUrl serverUrl(server.trimmed());
        serverUrl.setPath(QStringLiteral("/postgres"));
        QUrl databaseUrl(server.trimmed());
        databaseUrl.setPath(QLatin1Char('/') + database);
        g_strDatabasePath = library;
        QDir().mkpath(library);
        if (!PrepareExplorerLibrary(library, out))
            return 1;
        theDatabaseManager.SetDatabaseConnection(databaseUrl.toString());
        if (!PostgresBench::PrepareDatabase(serverUrl.toString(), databaseUrl.toString(), database, files,
                                            out))
            return 1;
    } else {
        library = PrepareLibrary(files, out);
        if (library.isEmpty() || !PrepareExplorerLibrary(library, out))
            return 1;
        g_strDatabasePath = library;
    }
    if (OpenFileAreaTable() != AreaTableStatus::Ready) {
        out << "Cannot open the area table\n";
        return 1;
    }

    CMainFrame frame;
    frame.resize(1280, 900);
    frame.show();
    while (!frame.IsLaidOut())
        QCoreApplication::processEvents();
    frame.GetListView()->SetViewMode(CFileListView::kDetails);
    const CTreeItem* group = frame.GetTreeModel()->GetRoot()->GetChild(1);
    const CTreeItem* area = group->GetChild(0);
    const CTreeItem* results = frame.GetSearchResultsItem();
    CMessageBox::SetAnsweringMode(true); // a search that finds nothing does not wait for OK

    const auto search = [&] {
        frame.m_strSearchText = common;
        frame.m_dwSearchFields = kSearchTitle | kSearchShortDesc | kSearchLongDesc;
        frame.SelectTreeItem(results);
    };
    QList<Ping> searches, opens;
    for (int round = 0; round < rounds + 1; ++round) {
        Rest(frame, group);
        const Ping s = Measure(frame, search);
        Rest(frame, group);
        const Ping o = Measure(frame, [&] { frame.SelectTreeItem(area); });
        if (round > 0) { // the first round warms the caches and opens the worker's connection
            searches.append(s);
            opens.append(o);
        }
    }
    Rest(frame, group);
    QList<double> finds;
    for (int round = 0; round < rounds; ++round) {
        finds.append(FindToFirstFile(frame, rare));
        Rest(frame, group);
    }

    out << "\n"
        << (postgres ? "PostgreSQL" : "SQLite") << ", " << files
        << " files; the window pinged every 5 ms (ms; median of " << rounds << " (range))\n";
    out << QStringLiteral("  %1 %2 %3 %4 %5\n")
               .arg(QStringLiteral("what"), -34)
               .arg(QStringLiteral("rows"), 9)
               .arg(QStringLiteral("largest gap"), 16)
               .arg(QStringLiteral("first screen"), 16)
               .arg(QStringLiteral("complete"), 18);
    out << Row(QStringLiteral("search \"%1\" (title, descriptions)").arg(common), searches);
    out << Row(QStringLiteral("open the area"), opens);
    std::sort(finds.begin(), finds.end());
    out << QStringLiteral("  Return in the Find dialog (all fields) to \"%1\" painted: %2 ms (%3-%4)\n")
               .arg(rare)
               .arg(Median(finds), 0, 'f', 0)
               .arg(finds.first(), 0, 'f', 0)
               .arg(finds.last(), 0, 'f', 0);
    out << "Targets: largest gap under 100 ms for the search, under 200 ms for the area; the rare word's "
           "file "
           "within 100 ms of Return.\n";
    return 0;
}

#include "PostgresScreens.h"

#include "controls/CFolderTreeModel.h"
#include "controls/CTreeItem.h"
#include "database/CDatabaseManager.h"
#include "explorer/CFileListModel.h"
#include "explorer/CFileListView.h"
#include "explorer/CMainFrame.h"
#include "ExplorerLibrary.h"
#include "settings/Globals.h"
#include "startup/Startup.h"

#include <QAbstractItemView>
#include <QCoreApplication>
#include <QKeyEvent>

#include <algorithm>

namespace PostgresBench {

namespace {

struct Trips
{
    qint64 open = 0;   // selecting the area until its first screen is painted
    qint64 worst = 0;  // the most any later screen cost
    qint64 total = 0;  // all later screens together
    int screens = 0;   // later screens painted
    int rowsShown = 0; // rows on the first screen
};

Trips Walk(int mode, QSize size, qint64 files, int pages, const WireCounter& wire)
{
    Trips trips;
    CMainFrame frame;
    frame.resize(size);
    frame.show();
    while (!frame.IsLaidOut())
        QCoreApplication::processEvents();
    const CTreeItem* group = frame.GetTreeModel()->GetRoot()->GetChild(1);
    frame.SelectTreeItem(group);
    QCoreApplication::processEvents();
    frame.GetListView()->SetViewMode(mode);
    QAbstractItemView* view = frame.GetListView()->GetCurrentView();
    view->setFocus();
    QCoreApplication::processEvents();
    trips.open = wire([&] {
        frame.SelectTreeItem(group->GetChild(0));
        while (frame.GetListModel()->rowCount() != files)
            QCoreApplication::processEvents();
        view->viewport()->repaint();
    });
    const auto [first, last] = frame.GetListView()->GetVisibleRows();
    trips.rowsShown = last - first + 1;
    view->setCurrentIndex(frame.GetListModel()->index(0, 0));
    for (int page = 0; page < pages; ++page) {
        // The list mode's columns scroll sideways; a page is as many columns as it shows.
        const qint64 n = wire([&] {
            QKeyEvent key(QEvent::KeyPress, mode == CFileListView::kList ? Qt::Key_Right : Qt::Key_PageDown,
                          Qt::NoModifier);
            QCoreApplication::sendEvent(view, &key);
            QCoreApplication::processEvents();
            view->viewport()->repaint();
        });
        trips.worst = std::max(trips.worst, n);
        trips.total += n;
        ++trips.screens;
    }
    return trips;
}

} // namespace

bool MeasureWindowScreens(const QString& library, qint64 files, int pages, const WireCounter& wire,
                          QTextStream& out)
{
    if (!BenchSupport::PrepareExplorerLibrary(library, out))
        return false;
    g_strDatabasePath = library;
    if (OpenFileAreaTable() != AreaTableStatus::Ready) {
        out << "Cannot open the area table\n";
        return false;
    }
    out << "\nThe window (offscreen) on the area of " << files
        << " files: round trips on the wire (libpq trace)\n";
    out << QStringLiteral("  %1 %2 %3 %4 %5 %6\n")
               .arg(QStringLiteral("window"), -10)
               .arg(QStringLiteral("view"), -12)
               .arg(QStringLiteral("rows shown"), 10)
               .arg(QStringLiteral("open+1st"), 9)
               .arg(QStringLiteral("per screen (worst)"), 19)
               .arg(QStringLiteral("per screen (mean)"), 18);
    const struct
    {
        int mode;
        const char* name;
    } modes[] = {{CFileListView::kLargeIcons, "large icons"},
                 {CFileListView::kSmallIcons, "small icons"},
                 {CFileListView::kList, "list"},
                 {CFileListView::kDetails, "details"}};
    for (const QSize size : {QSize(1280, 900), QSize(1920, 1080)}) {
        for (const auto& mode : modes) {
            const Trips trips = Walk(mode.mode, size, files, pages, wire);
            out << QStringLiteral("  %1 %2 %3 %4 %5 %6\n")
                       .arg(QStringLiteral("%1x%2").arg(size.width()).arg(size.height()), -10)
                       .arg(QLatin1String(mode.name), -12)
                       .arg(trips.rowsShown, 10)
                       .arg(trips.open, 9)
                       .arg(trips.worst, 19)
                       .arg(double(trips.total) / std::max(1, trips.screens), 18, 'f', 2)
                << Qt::flush;
        }
    }
    out << "  (open+1st: selecting the area (its keys, which give its count, and its first rows) until the "
           "first screen is painted; then "
        << pages << " screens, paging down with the keyboard, sideways in the list mode)\n";
    return true;
}

} // namespace PostgresBench

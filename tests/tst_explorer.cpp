// The explorer window driven offscreen on a demonstration library: tree and list contents, the
// enable rules against tree and list selection, the frame's own commands and the saved layout.

#include "controls/CFolderTreeModel.h"
#include "controls/CMessageBox.h"
#include "controls/CModalRun.h"
#include "controls/ContextMenuKey.h"
#include "controls/CTreeItem.h"
#include "database/CFileRecord.h"
#include "database/CKeyLoader.h"
#include "database/CTroveportDatabaseManager.h"
#include "database/SearchStatement.h"
#include "DatabaseSupport.h"
#include "DemoSupport.h"
#include "explorer/CFileListModel.h"
#include "explorer/CFileListView.h"
#include "explorer/CFolderTreeView.h"
#include "explorer/CMainFrame.h"
#include "explorer/ListFormatting.h"
#include "explorer/WindowPlacement.h"
#include "FrameSupport.h"
#include "resources/ExplorerIcons.h"
#include "settings/Globals.h"
#include "settings/Registry.h"
#include "startup/Startup.h"
#include "TestSupport.h"

#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QDesktopServices>
#include <QListView>
#include <QMenu>
#include <QScreen>
#include <QSignalSpy>
#include <QSplitter>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>

using namespace Qt::StringLiterals;

using namespace TestSupport;
using namespace FrameSupport;

class TestExplorer : public QObject
{
    Q_OBJECT

public slots:
    void OnUrl(const QUrl& url) { m_openedUrls.append(url); }

private:
    QTemporaryDir m_dir;
    QList<QUrl> m_openedUrls;

    static QString Cell(CMainFrame& frame, int row, int column)
    {
        return frame.GetListModel()->index(row, column).data().toString();
    }

    static QStringList Column(CMainFrame& frame, int column)
    {
        QStringList texts;
        for (int row = 0; row < frame.GetListModel()->rowCount(); ++row)
            texts.append(Cell(frame, row, column));
        return texts;
    }

    static bool Enabled(CMainFrame& frame, Command command)
    {
        frame.UpdateCommandStates();
        return frame.GetAction(command)->isEnabled();
    }

    // A menu's items: texts, "-" for a separator, a submenu's title.
    static QStringList MenuTexts(const QMenu* menu)
    {
        QStringList texts;
        for (const QAction* action : menu->actions())
            texts.append(action->isSeparator() ? u"-"_s
                         : action->menu()      ? action->menu()->title()
                                               : action->text());
        return texts;
    }

    QString UserFile() const { return m_dir.filePath(u"user.reg"_s); }

private slots:
    void initTestCase()
    {
        TROVEPORT_OPEN_DEMO_LIBRARY(m_dir);
        CMessageBox::SetAnsweringMode(true);
        QDesktopServices::setUrlHandler(u"http"_s, this, "OnUrl");
    }

    void cleanupTestCase() { QDesktopServices::unsetUrlHandler(u"http"_s); }

    void init()
    {
        QFile::remove(UserFile());
        CMessageBox::TakeRequests();
    }

    void treeAndFolderEntries()
    {
        const auto frame = MakeFrame();
        QVERIFY(frame);
        const CTreeItem* root = frame->GetTreeModel()->GetRoot();
        QCOMPARE(root->GetName(), u"Troveport"_s);
        QCOMPARE(root->GetChild(0)->GetName(), u"Search results"_s);
        QCOMPARE(root->GetChildCount(), 5);
        QVERIFY(frame->GetTreeView()->isExpanded(frame->GetTreeModel()->IndexForItem(root)));
        // The tree starts with the focus, which makes the root the current node.
        QCOMPARE(frame->GetSelectedTreeItem(), root);
        QStringList expected;
        for (qsizetype i = root->GetChildCount() - 1; i >= 0; --i)
            expected.append(root->GetChild(i)->GetName());
        QCOMPARE(Column(*frame, CFileListModel::kName), expected);
        QCOMPARE(Column(*frame, CFileListModel::kType), QStringList(5, u"File Group"_s));

        Select(*frame, u"Utilities"_s);
        QCOMPARE(Column(*frame, CFileListModel::kName),
                 (QStringList{u"Programming"_s, u"Windows Utilities"_s, u"DOS Utilities"_s}));
        // Folders may be found by typing their names.
        QCOMPARE(frame->GetListModel()
                     ->match(frame->GetListModel()->index(0, 0), Qt::DisplayRole, u"DOS"_s)
                     .value(0)
                     .row(),
                 2);
    }

    void areaFiles()
    {
        const auto frame = MakeFrame();
        QVERIFY(frame);
        Select(*frame, u"Games/Shareware Games"_s);
        QCOMPARE(frame->GetListModel()->rowCount(), 5);
        QCOMPARE(Cell(*frame, 0, CFileListModel::kName), u"Commander Keen 4"_s);
        QCOMPARE(Cell(*frame, 0, CFileListModel::kFileDate), u"December 15, 1991"_s);
        QCOMPARE(Cell(*frame, 0, CFileListModel::kDescription),
                 u"Secret of the Oracle, episode one of Goodbye Galaxy."_s);
        QVERIFY(Cell(*frame, 4, CFileListModel::kSize).toInt() > 0);
        QCOMPARE(CMessageBox::TakeRequests().size(), 0);

        // Type-ahead would read every file from the database: files are not searched that way.
        QCOMPARE(frame->GetListModel()
                     ->match(frame->GetListModel()->index(0, 0), Qt::DisplayRole, u"Chess"_s)
                     .size(),
                 0);
        // A selection made in an icon view is whole rows in the details view.
        frame->GetListView()->SetViewMode(CFileListView::kLargeIcons);
        frame->GetListView()->GetIconView()->setCurrentIndex(frame->GetListModel()->index(2, 0));
        frame->GetListView()->SetViewMode(CFileListView::kDetails);
        QVERIFY(frame->GetListView()->GetSelectionModel()->isRowSelected(2, QModelIndex()));

        // An area without files: an empty list and no message.
        Select(*frame, u"Uploads/Incoming Uploads"_s);
        QCOMPARE(frame->GetListModel()->rowCount(), 0);
        QCOMPARE(CMessageBox::TakeRequests().size(), 0);
    }

    void modelsPassTheModelTester()
    {
        const auto frame = MakeFrame();
        QVERIFY(frame);
        QAbstractItemModelTester treeTester(frame->GetTreeModel(),
                                            QAbstractItemModelTester::FailureReportingMode::QtTest);
        QAbstractItemModelTester listTester(frame->GetListModel(),
                                            QAbstractItemModelTester::FailureReportingMode::QtTest);
        for (const char* path : {"", "Games", "Games/Shareware Games", "Utilities/DOS Utilities", "Games"}) {
            Select(*frame, QLatin1String(path));
            if (QTest::currentTestFailed())
                return;
        }
        // Switching back to an area makes a new cursor; the folder entries never touched the old one.
        Select(*frame, u"Games/Shareware Games"_s);
        QCOMPARE(Cell(*frame, 1, CFileListModel::kName), u"Jazz Jackrabbit"_s);
    }

    void commandsFollowTreeAndListSelection()
    {
        const auto frame = MakeFrame();
        QVERIFY(frame);
        frame->GetTreeView()->setCurrentIndex(QModelIndex());
        QCoreApplication::processEvents();
        QCOMPARE(frame->GetListModel()->rowCount(), 0);
        // No node: the commands that need one are off.
        for (Command command : {Command::Open, Command::OpenAsHtml, Command::VirusCheck, Command::DeleteFile,
                                Command::RemoveFromArea, Command::Up, Command::TreeProperties})
            QVERIFY(!Enabled(*frame, command));
        for (Command command :
             {Command::Refresh, Command::About, Command::HelpTopics, Command::Details, Command::Close})
            QVERIFY(Enabled(*frame, command));

        Select(*frame, u"Games/Shareware Games"_s);
        QVERIFY(Enabled(*frame, Command::Up));
        QVERIFY(!Enabled(*frame, Command::Open));
        SelectRows(*frame, {1});
        QVERIFY(Enabled(*frame, Command::Open));
        QVERIFY(Enabled(*frame, Command::OpenAsHtml));
        SelectRows(*frame, {1, 3});
        QVERIFY(!Enabled(*frame, Command::Open));
        QVERIFY(!Enabled(*frame, Command::OpenAsHtml));

        // Without a readable HttpServer, Open as HTML is off.
        RegWriteDword(u"HttpServer"_s, 1, g_pszRegKey);
        SelectRows(*frame, {1});
        QVERIFY(!Enabled(*frame, Command::OpenAsHtml));
        RegWriteString(u"HttpServer"_s, u"http://localhost:8080"_s, g_pszRegKey);
        QVERIFY(Enabled(*frame, Command::OpenAsHtml));

        Select(*frame, QString());
        QVERIFY(!Enabled(*frame, Command::Up));
        QVERIFY(!Enabled(*frame, Command::OpenAsHtml));
    }

    void openUpAndOpenAsHtml()
    {
        const auto frame = MakeFrame();
        QVERIFY(frame);
        Select(*frame, QString());
        const int gamesRow = int(Column(*frame, CFileListModel::kName).indexOf(u"Games"_s));
        SelectRows(*frame, {gamesRow});
        frame->RunCommand(Command::Open);
        QCOMPARE(frame->GetSelectedTreeItem()->GetName(), u"Games"_s);
        WaitForList(*frame);
        QCOMPARE(frame->GetListModel()->rowCount(), 2);
        frame->RunCommand(Command::Up);
        QCOMPARE(frame->GetSelectedTreeItem()->GetName(), u"Troveport"_s);

        Select(*frame, u"Games/Shareware Games"_s);
        SelectRows(*frame, {0});
        // Row 0's file, whatever row the cursor stands on after painting.
        const QString page =
            u"troveport/details/%1.asp"_s.arg(frame->GetFileCursor()->GetKeyAt(1).value_or(-1));
        // The setting is used as it stands, with or without a slash, percent escapes and all.
        for (const QString& server : {u"http://localhost:8080"_s, u"http://example.org/"_s,
                                      u"http://files.example.com/lib%2Bfiles/"_s}) {
            RegWriteString(u"HttpServer"_s, server, g_pszRegKey);
            m_openedUrls.clear();
            frame->RunCommand(Command::OpenAsHtml);
            QCOMPARE(m_openedUrls.size(), 1);
            QCOMPARE(m_openedUrls[0].toString(QUrl::FullyEncoded),
                     (server.endsWith(u'/') ? server : server + u'/') + page);
        }
        RegWriteString(u"HttpServer"_s, u"http://localhost:8080"_s, g_pszRegKey);
    }

    void listCountsTheRowsItCanRead()
    {
        const auto frame = MakeFrame();
        QVERIFY(frame);
        Select(*frame, u"Games/Shareware Games"_s);
        const int before = frame->GetListModel()->rowCount();
        QVERIFY(before > 2);
        const quint32 area = frame->GetSelectedTreeItem()->GetAreaId();
        const auto last = ReadFileOfListRow(*frame->GetFileCursor(), before - 1);
        QVERIFY(last);

        // The web site unlinks a file while the list is still growing, one file at a time.
        CKeyLoader* loader = frame->GetKeyLoader();
        loader->SetChunkSizes(1, 1);
        loader->HoldChunks(true);
        frame->RunCommand(Command::Refresh);
        loader->ReleaseChunks(1);
        QTRY_COMPARE(frame->GetListModel()->rowCount(), 1);
        DatabaseSupport::COtherProgram site(theDatabaseManager.GetDatabaseFile(), u"site"_s);
        QVERIFY(
            site.Run(u"DELETE FROM file_area WHERE area_id = ? AND file_id = ?"_s, {area, last->file_id}));
        loader->HoldChunks(false);
        WaitForList(*frame);
        loader->SetChunkSizes(CKeyLoader::kFirstChunk, CKeyLoader::kChunk);

        // Every row of the list is a file of the cursor: none reads as a copy of another.
        QCOMPARE(frame->GetListModel()->rowCount(), frame->GetFileCursor()->GetRecordCount());
        QSet<double> ids;
        for (int row = 0; row < frame->GetListModel()->rowCount(); ++row) {
            const auto file = ReadFileOfListRow(*frame->GetFileCursor(), row);
            QVERIFY(file);
            ids.insert(file->file_id);
        }
        QCOMPARE(ids.size(), frame->GetListModel()->rowCount());
        // The next refresh no longer lists it.
        frame->RunCommand(Command::Refresh);
        WaitForList(*frame);
        QCOMPARE(frame->GetListModel()->rowCount(), before - 1);
        QCOMPARE(RowNamed(*frame, last->title), -1);
        CFileRecord relink(&theDatabaseManager);
        relink.file_id = last->file_id;
        QVERIFY(relink.AddToFileArea(area));
    }

    void statusBarSaysWhyTheDatabaseCannotBeRead()
    {
        const auto frame = MakeFrame();
        QVERIFY(frame);
        if (DatabaseSupport::OnPostgres()) {
            // The server ends the window's connection while a list is shown: the rows read before
            // stay, a row read again says why it cannot be, and a refresh connects again.
            Select(*frame, u"Games/Shareware Games"_s);
            CFileListModel* model = frame->GetListModel();
            const int rows = model->rowCount();
            QVERIFY(rows > 1);
            const QVariant first = model->data(model->index(0, CFileListModel::kName));
            DatabaseSupport::COtherProgram server(QString(), u"server"_s);
            QVERIFY(server.Run(
                u"SELECT pg_terminate_backend(pid, 10000) FROM pg_stat_activity "
                "WHERE datname = current_database() AND application_name = 'troveport-explorer'"_s));
            QCOMPARE(model->data(model->index(1, CFileListModel::kName)).isValid(), true);
            model->RedisplayRow(0);
            QCOMPARE(model->data(model->index(0, CFileListModel::kName)), QVariant());
            QVERIFY(!frame->GetDatabaseStatus().isEmpty());
            // Later reads do not wait for the server again; they say what to do.
            model->RedisplayRow(1);
            QCOMPARE(model->data(model->index(1, CFileListModel::kName)), QVariant());
            QVERIFY2(frame->GetDatabaseStatus().contains(u"Refresh to connect again"_s),
                     qPrintable(frame->GetDatabaseStatus()));
            QVERIFY(CMessageBox::TakeRequests().isEmpty());
            frame->RunCommand(Command::Refresh);
            WaitForList(*frame);
            model = frame->GetListModel();
            QCOMPARE(model->rowCount(), rows);
            QCOMPARE(model->data(model->index(0, CFileListModel::kName)), first);
            QCOMPARE(frame->GetDatabaseStatus(), QString());
            return;
        }
        const QString database = theDatabaseManager.GetDatabaseFile();
        QTemporaryDir other;
        WriteFile(other.filePath(u"troveport.db"_s), QByteArray(4096, 'x'));
        theDatabaseManager.SetDatabaseFile(other.filePath(u"troveport.db"_s));
        Select(*frame, u"Games/Shareware Games"_s);
        QCOMPARE(frame->GetListModel()->rowCount(), 0);
        QVERIFY2(frame->GetDatabaseStatus().contains(u"not a database"_s),
                 qPrintable(frame->GetDatabaseStatus()));
        QVERIFY(CMessageBox::TakeRequests().isEmpty()); // no box: the status bar says it

        // Folders need no database: the reason stays until a read works again.
        Select(*frame, u"Games"_s);
        QVERIFY(!frame->GetDatabaseStatus().isEmpty());
        theDatabaseManager.SetDatabaseFile(database);
        Select(*frame, u"Games/Shareware Games"_s);
        QVERIFY(frame->GetListModel()->rowCount() > 0);
        QCOMPARE(frame->GetDatabaseStatus(), QString());
    }

    void pagewrightIsStartedFromThePath()
    {
        QTemporaryDir bin;
        const QString marker = bin.filePath(u"ran"_s);
        WriteFile(bin.filePath(u"pagewright"_s), u"#!/bin/sh\necho \"$@\" > '%1'\n"_s.arg(marker).toUtf8());
        QFile::setPermissions(bin.filePath(u"pagewright"_s),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QByteArray path = qgetenv("PATH");
        {
            const auto frame = MakeFrame();
            QVERIFY(frame);
            QVERIFY(!Enabled(*frame, Command::Pagewright));
            qputenv("PATH", QFile::encodeName(bin.path()) + ':' + path);
            QVERIFY(Enabled(*frame, Command::Pagewright));
            frame->RunCommand(Command::Pagewright);
            QTRY_COMPARE(ReadFile(marker), QByteArray("/autorun\n"));
            qputenv("PATH", path);
            QVERIFY(Enabled(*frame, Command::Pagewright)); // once found, it stays on for the run
        }
        qputenv("PATH", path);
    }

    void layoutRoundTrip_data()
    {
        QTest::addColumn<int>("mode");
        QTest::newRow("details") << int(CFileListView::kDetails);
        QTest::newRow("list") << int(CFileListView::kList);
    }

    void layoutRoundTrip()
    {
        QFETCH(int, mode);
        RegWriteDword(u"Column2"_s, 77, g_pszExplorerRegKey);
        const Command commands[] = {Command::LargeIcons, Command::Details, Command::SmallIcons,
                                    Command::List};
        QRect geometry;
        {
            const auto frame = MakeFrame();
            QVERIFY(frame);
            frame->setGeometry(40, 50, 720, 500); // within the offscreen screen
            frame->GetSplitter()->setSizes({180, 600});
            frame->GetListView()->SetColumnWidth(2, 91);
            frame->RunCommand(commands[mode]);
            QVERIFY(frame->GetAction(commands[mode])->isChecked());
            geometry = frame->normalGeometry();
        }
        // Column widths are kept only when the list was closed in details view.
        const int width = mode == CFileListView::kDetails ? 91 : 77;
        quint32 value = 0;
        QVERIFY(RegReadDword(u"Column2"_s, &value, g_pszExplorerRegKey));
        QCOMPARE(int(value), width);
        QVERIFY(RegReadDword(u"Window Style"_s, &value, g_pszExplorerRegKey));
        QCOMPARE(int(value), mode);
        QVERIFY(RegReadDword(u"VPosition"_s, &value, g_pszExplorerRegKey));
        QCOMPARE(value, 180u);

        const auto again = MakeFrame();
        QVERIFY(again);
        QCOMPARE(again->GetListView()->GetViewMode(), mode);
        QVERIFY(again->GetAction(commands[mode])->isChecked());
        QCOMPARE(again->GetSplitter()->sizes().value(0), 180);
        QCOMPARE(again->GetListView()->GetColumnWidth(2), width);
        QCOMPARE(again->normalGeometry(), geometry);
    }

    void maximisedAndMinimisedFromMaximised_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("flags");
        QTest::newRow("maximised") << int(Qt::WindowMaximized) << "0000 0001";
        QTest::newRow("minimised from maximised")
            << int(Qt::WindowMaximized | Qt::WindowMinimized) << "0001 0001";
    }

    void maximisedAndMinimisedFromMaximised()
    {
        QFETCH(int, state);
        QFETCH(QString, flags);
        QRect normal;
        {
            const auto frame = MakeFrame();
            QVERIFY(frame);
            frame->setGeometry(30, 40, 700, 500);
            normal = frame->geometry();
            frame->setWindowState(Qt::WindowStates(state));
            QCoreApplication::processEvents();
        }
        const QString stored = RegGetString(u"Window Position"_s, g_pszExplorerRegKey);
        QCOMPARE(stored.mid(20, 9), flags);
        QCOMPARE(WindowPlacement::Parse(stored).normal, normal);

        const auto again = MakeFrame();
        QVERIFY(again);
        QTRY_VERIFY(again->isMaximized()); // the maximised flag wins
        QVERIFY(!again->isMinimized());
        QCOMPARE(again->normalGeometry(), normal);
    }

    // A stored placement far off the screen (the fitting itself is tested without a window): the
    // window comes onto the screen, no larger than it, and that is what is stored again.
    void placementComesOntoTheScreen()
    {
        RegWriteString(u"Window Position"_s, u"5000 3000 5600 3400 0000 0000 0001 0001"_s, g_pszExplorerRegKey);
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        const auto onScreen = [&screen](const QRect& placed) {
            return placed.width() <= screen.width() && screen.contains(placed.topLeft());
        };
        {
            const auto frame = MakeFrame();
            QVERIFY(frame);
            QVERIFY(onScreen(frame->normalGeometry()));
        }
        QVERIFY(
            onScreen(WindowPlacement::Parse(RegGetString(u"Window Position"_s, g_pszExplorerRegKey)).normal));
    }

    void defaultColumnWidthsFollowTheDialogFont()
    {
        RegWriteDword(u"Column2"_s, 77, g_pszExplorerRegKey); // a stored width stands as it is
        const QFont font = QApplication::font();
        QFont large = font;
        large.setPixelSize(30);
        QApplication::setFont(large);
        const int lineHeight = QFontMetrics(large).height();
        const auto frame = MakeFrame();
        QApplication::setFont(font);
        QVERIFY(frame);
        QVERIFY(lineHeight > 13);
        QCOMPARE(frame->GetListView()->GetColumnWidth(3), DefaultListColumnWidth(3, lineHeight));
        QCOMPARE(frame->GetListView()->GetColumnWidth(2), 77);
    }

    void popupMenusRunTheCommands()
    {
        const auto frame = MakeFrame();
        QVERIFY(frame);
        frame->RunCommand(Command::LargeIcons);
        Select(*frame, QString());
        SelectRows(*frame, {});
        auto menu = frame->CreateListPopupMenu();
        QVERIFY(menu);
        QCOMPARE(MenuTexts(menu.get()), (QStringList{u"&View"_s, u"-"_s, u"Re&fresh\tF5"_s, u"-"_s,
                                                     u"&New...\tCtrl+N"_s, u"&Add multiple...\tCtrl+A"_s}));
        const QMenu* view = menu->actions().constFirst()->menu();
        QCOMPARE(MenuTexts(view), (QStringList{u"Large Icons"_s, u"Small Icons"_s, u"List"_s, u"Details"_s}));
        QVERIFY(view->actions()[0]->isChecked());
        view->actions()[3]->trigger();
        QCOMPARE(frame->GetListView()->GetViewMode(), int(CFileListView::kDetails));
        QVERIFY(frame->GetAction(Command::Details)->isChecked());
        QVERIFY(view->actions()[3]->isChecked());
        QVERIFY(!view->actions()[0]->isChecked());

        // A folder entry: Open opens it in the tree.
        SelectRows(*frame, {int(Column(*frame, CFileListModel::kName).indexOf(u"Games"_s))});
        menu = frame->CreateListPopupMenu();
        QCOMPARE(MenuTexts(menu.get()),
                 (QStringList{u"&Open\tEnter"_s, u"-"_s, u"P&roperties\tCtrl+Enter"_s}));
        QVERIFY(menu->actions()[0]->isEnabled());
        menu->actions()[0]->trigger();
        QCOMPARE(frame->GetSelectedTreeItem()->GetName(), u"Games"_s);

        // Files: the items are on and off with their commands, also while the menu is up.
        Select(*frame, u"Games/Shareware Games"_s);
        SelectRows(*frame, {0, 1});
        menu = frame->CreateListPopupMenu();
        QCOMPARE(MenuTexts(menu.get()),
                 (QStringList{u"&Open\tEnter"_s, u"Open as &HTML\tShift+Enter"_s, u"-"_s,
                              u"&Delete File\tDel"_s, u"Remo&ve from Area\tCtrl+R"_s, u"-"_s,
                              u"&Virus Check\tCtrl+V"_s, u"P&roperties\tCtrl+Enter"_s}));
        QVERIFY(!menu->actions()[0]->isEnabled()); // two entries
        SelectRows(*frame, {0});
        QVERIFY(menu->actions()[0]->isEnabled());

        QCOMPARE(MenuTexts(frame->CreateTreePopupMenu().get()), QStringList{u"P&roperties"_s});
        frame->GetTreeView()->setCurrentIndex(QModelIndex());
        QVERIFY(!frame->CreateListPopupMenu()); // no node, no menu
    }

    void foldersHaveALargePicture()
    {
        // The large icon view draws at 32 pixels: folders must not come out at 16 beside the files.
        for (ExplorerIcon icon : {ExplorerIcon::ClosedFolder, ExplorerIcon::OpenFolder})
            QCOMPARE(LoadExplorerIcon(icon).actualSize(QSize(32, 32)), QSize(32, 32));
    }

    void shiftF10OpensThePopupMenu()
    {
        InstallContextMenuKey();
        CFolderTreeView tree;
        QSignalSpy requested(&tree, &CFolderTreeView::PopupMenuRequested);
        tree.show();
        QTest::keyClick(&tree, Qt::Key_F10, Qt::ShiftModifier);
        QCOMPARE(requested.size(), 1);
        QTest::keyClick(&tree, Qt::Key_F10);
        QCOMPARE(requested.size(), 1);
    }

    void tabMovesBetweenThePanes()
    {
        const auto frame = MakeFrame();
        QVERIFY(frame);
        QVERIFY(QTest::qWaitForWindowActive(frame.get()));
        frame->GetTreeView()->setFocus();
        QTest::keyClick(frame->GetTreeView(), Qt::Key_Tab);
        QVERIFY(frame->GetListView()->HasFocus());
        QTest::keyClick(frame->GetListView()->GetCurrentView(), Qt::Key_Tab);
        QVERIFY(frame->GetTreeView()->hasFocus());
    }

    void everythingHasAnAccessibleName()
    {
        const auto frame = MakeFrame();
        QVERIFY(frame);
        for (QToolButton* button : frame->findChild<QToolBar*>()->findChildren<QToolButton*>()) {
            if (!button->defaultAction())
                continue;
            QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(button);
            QVERIFY(accessible);
            QCOMPARE(accessible->text(QAccessible::Name), button->defaultAction()->iconText());
            QVERIFY(!button->toolTip().isEmpty());
        }
        for (QWidget* pane : {static_cast<QWidget*>(frame->GetTreeView()),
                              static_cast<QWidget*>(frame->GetListView()->GetCurrentView())})
            QVERIFY(!QAccessible::queryAccessibleInterface(pane)->text(QAccessible::Name).isEmpty());
    }
};

QTEST_MAIN(TestExplorer)
#include "tst_explorer.moc"

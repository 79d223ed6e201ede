// The explorer's window-free parts: the node registry and its lock, the tree built from the area
// table and group files, the enable rules, the saved placement and the list's cell texts.

#include "explorer/CommandRules.h"
#include "explorer/CTreeItemRegistry.h"
#include "explorer/ListFormatting.h"
#include "explorer/TreeBuilder.h"
#include "explorer/WindowPlacement.h"
#include "startup/Globals.h"
#include "TestSupport.h"

#include <QTemporaryDir>
#include <QtEndian>
#include <QThread>

#include <atomic>

using namespace TestSupport;

namespace {

QStringList ChildNames(const CTreeItem* item)
{
    QStringList names;
    for (qsizetype i = 0; i < item->GetChildCount(); ++i)
        names.append(item->GetChild(i)->GetName());
    return names;
}

const CTreeItem* ChildNamed(const CTreeItem* item, const QString& name)
{
    for (qsizetype i = 0; i < item->GetChildCount(); ++i) {
        if (item->GetChild(i)->GetName() == name)
            return item->GetChild(i);
    }
    return nullptr;
}

} // namespace

class TestExplorerCore : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        theTreeItemRegistry.DeleteAll();
        theFileAreaTable.Close();
        g_strDatabasePath.clear();
    }

    void treeFromTableAndGroups()
    {
        QTemporaryDir dir;
        g_strDatabasePath = dir.path();
        WriteFile(dir.filePath(QStringLiteral("Filearea.dat")),
                  HeaderRecord() + AreaRecord(1, "Games") + AreaRecord(2, "Tools") + AreaRecord(3, "Lonely"));
        QVERIFY(theFileAreaTable.Open(dir.filePath(QStringLiteral("Filearea.dat"))));
        // Unknown ids are skipped, repeated ones shown again, an area may stand in two groups.
        WriteFile(dir.filePath(QStringLiteral("Fun.group")), GroupIds({1, 99, 1}));
        WriteFile(dir.filePath(QStringLiteral("Win.3x.group")), GroupIds({2, 1}));
        WriteFile(dir.filePath(QStringLiteral("Empty.group")), QByteArray());
        WriteFile(dir.filePath(QStringLiteral("notes.GROUP")),
                  GroupIds({3}));                             // the pattern is matched with case
        QDir(dir.path()).mkpath(QStringLiteral("dir.group")); // not a file

        const BuiltTree tree = BuildFolderTree();
        QVERIFY(tree.root && tree.searchResults);
        QCOMPARE(tree.root->GetName(), QStringLiteral("Troveport"));
        QCOMPARE(tree.root->GetType(), quint32(kNodeRoot));
        QCOMPARE(tree.root->GetChild(0), tree.searchResults);
        QCOMPARE(tree.searchResults->GetType(), quint32(kNodeSearchResults));
        QStringList groups = ChildNames(tree.root).mid(1);
        groups.sort(); // the directory's own order is not fixed
        QCOMPARE(groups,
                 (QStringList{QStringLiteral("Empty"), QStringLiteral("Fun"), QStringLiteral("Win.3x")}));

        const CTreeItem* fun = ChildNamed(tree.root, QStringLiteral("Fun"));
        QCOMPARE(fun->GetType(), quint32(kNodeGroup));
        QCOMPARE(ChildNames(fun), (QStringList{QStringLiteral("Games"), QStringLiteral("Games")}));
        QVERIFY(fun->GetChild(0)->GetHandle() != fun->GetChild(1)->GetHandle());
        const CTreeItem* win = ChildNamed(tree.root, QStringLiteral("Win.3x"));
        QCOMPARE(ChildNames(win), (QStringList{QStringLiteral("Tools"), QStringLiteral("Games")}));
        const auto* tools = dynamic_cast<const CFolderTreeItem*>(win->GetChild(0));
        QCOMPARE(tools->GetAreaId(), 2u);
        QCOMPARE(tools->GetType(), quint32(kNodeArea));
        QCOMPARE(ChildNames(ChildNamed(tree.root, QStringLiteral("Empty"))), QStringList());
        QCOMPARE(theTreeItemRegistry.Lookup(tools->GetHandle()), tools);
    }

    void treeWithoutDirectory()
    {
        g_strDatabasePath = QStringLiteral("/nonexistent/troveport");
        const BuiltTree tree = BuildFolderTree();
        QCOMPARE(ChildNames(tree.root), QStringList{QStringLiteral("Search results")});
    }

    void handlesAreNeverReused()
    {
        auto* first = new CFolderTreeItem(nullptr, QStringLiteral("a"), 0, 0);
        const quint32 handle = theTreeItemRegistry.Add(nullptr, first);
        QVERIFY(handle);
        QCOMPARE(theTreeItemRegistry.Lookup(handle), first);
        theTreeItemRegistry.Remove(first, true);
        QCOMPARE(theTreeItemRegistry.Lookup(handle), nullptr);
        delete first;
        QVERIFY(!CTreeItem::IsValidItem(first));
        auto* second = new CFolderTreeItem(nullptr, QStringLiteral("b"), 0, 0);
        QVERIFY(theTreeItemRegistry.Add(nullptr, second) > handle);
        QCOMPARE(theTreeItemRegistry.Lookup(handle), nullptr);
        // An address that is not a live item is refused.
        int notAnItem = 0;
        QCOMPARE(theTreeItemRegistry.Add(nullptr, reinterpret_cast<CTreeItem*>(&notAnItem)), 0u);
        QCOMPARE(CFolderTreeItem::FromAddress(&notAnItem), nullptr);
        QCOMPARE(CFolderTreeItem::FromAddress(second), second);
    }

    void aDeletedItemIsForgotten()
    {
        auto* parent = new CFolderTreeItem(nullptr, QStringLiteral("parent"), 0, 0);
        theTreeItemRegistry.Add(nullptr, parent);
        auto* child = new CFolderTreeItem(parent, QStringLiteral("child"), 0, 0);
        const quint32 handle = theTreeItemRegistry.Add(parent, child);
        delete child; // deleted while registered and listed under its parent
        QCOMPARE(theTreeItemRegistry.Lookup(handle), nullptr);
        QCOMPARE(parent->GetChildCount(), 0);
        theTreeItemRegistry.DeleteAll(); // and nothing is deleted twice
    }

    void lookupsFromOtherThreadsWaitForTheWriter()
    {
        auto* item = new CFolderTreeItem(nullptr, QStringLiteral("x"), 0, 0);
        const quint32 handle = theTreeItemRegistry.Add(nullptr, item);

        theTreeItemRegistry.WriteLock();
        QCOMPARE(theTreeItemRegistry.Lookup(handle), item); // the writer itself may look up
        std::atomic<bool> done{false};
        QThread* reader = QThread::create([&] {
            theTreeItemRegistry.Lookup(handle);
            done = true;
        });
        reader->start();
        QThread::msleep(150);
        QVERIFY(!done); // waits while the writer holds the lock
        theTreeItemRegistry.WriteUnlock();
        QVERIFY(reader->wait(5000));
        QVERIFY(done);
        delete reader;
    }

    void concurrentLookupsDuringWrites()
    {
        QList<quint32> handles;
        for (int i = 0; i < 50; ++i)
            handles.append(theTreeItemRegistry.Add(
                nullptr, new CFolderTreeItem(nullptr, QStringLiteral("n%1").arg(i), 0, 0)));
        std::atomic<bool> stop{false};
        std::atomic<int> wrong{0}, lookups{0};
        QList<QThread*> readers;
        for (int t = 0; t < 4; ++t) {
            readers.append(QThread::create([&, t] {
                while (!stop) {
                    const int i = (lookups++ + t) % 50;
                    const CTreeItem* found = theTreeItemRegistry.Lookup(handles[i]);
                    if (!found || found->GetName() != QStringLiteral("n%1").arg(i))
                        ++wrong;
                }
            }));
            readers.last()->start();
        }
        QTRY_VERIFY(lookups > 0);
        // The writer adds and removes items while the readers look theirs up.
        for (int i = 0; i < 2000; ++i) {
            auto* extra = new CFolderTreeItem(nullptr, QStringLiteral("extra"), 0, 0);
            theTreeItemRegistry.Add(nullptr, extra);
            if (i % 2)
                theTreeItemRegistry.Remove(extra, true);
        }
        const int before = lookups;
        QTRY_VERIFY(lookups > before + 100); // the readers go on once the writer is done
        stop = true;
        for (QThread* reader : readers) {
            QVERIFY(reader->wait(10000));
            delete reader;
        }
        QCOMPARE(wrong.load(), 0);
        QCOMPARE(theTreeItemRegistry.GetCount(), 50 + 1000);
    }

    void enableRules()
    {
        CommandContext none;
        for (Command command : {Command::Open, Command::OpenAsHtml, Command::VirusCheck, Command::DeleteFile,
                                Command::RemoveFromArea, Command::Up, Command::TreeProperties})
            QVERIFY(!IsCommandEnabled(command, none));
        for (Command command :
             {Command::New, Command::AddMultiple, Command::FindFiles, Command::Refresh, Command::About})
            QVERIFY(IsCommandEnabled(command, none));

        CommandContext area{kNodeArea, 1, true, true, true, false};
        for (Command command :
             {Command::Open, Command::OpenAsHtml, Command::VirusCheck, Command::Properties,
              Command::DeleteFile, Command::RemoveFromArea, Command::Up, Command::TreeProperties})
            QVERIFY(IsCommandEnabled(command, area));
        QVERIFY(!IsCommandEnabled(Command::Pagewright, area));

        CommandContext two = area;
        two.selectedEntries = 2;
        QVERIFY(!IsCommandEnabled(Command::Open, two));
        QVERIFY(!IsCommandEnabled(Command::Properties, two));
        QVERIFY(IsCommandEnabled(Command::DeleteFile, two));
        two.listHasFocus = false;
        QVERIFY(!IsCommandEnabled(Command::DeleteFile, two));
        QVERIFY(IsCommandEnabled(Command::RemoveFromArea, two));

        CommandContext search{kNodeSearchResults, 1, true, false, false, true};
        QVERIFY(!IsCommandEnabled(Command::OpenAsHtml, search)); // no HttpServer
        QVERIFY(!IsCommandEnabled(Command::VirusCheck, search)); // no VirusChecker
        QVERIFY(!IsCommandEnabled(Command::RemoveFromArea, search));
        QVERIFY(!IsCommandEnabled(Command::TreeProperties, search));
        QVERIFY(IsCommandEnabled(Command::Pagewright, search));

        CommandContext root{kNodeRoot, 1, true, true, true, false};
        QVERIFY(IsCommandEnabled(Command::Open, root));
        QVERIFY(!IsCommandEnabled(Command::Up, root));
        QVERIFY(!IsCommandEnabled(Command::OpenAsHtml, root));
        QVERIFY(!IsCommandEnabled(Command::DeleteFile, root));
    }

    void placementText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QRect>("normal");
        QTest::addColumn<bool>("minimized");
        QTest::addColumn<bool>("maximized");
        QTest::addColumn<bool>("bars");
        QTest::newRow("full") << "0010 0020 0810 0620 0000 0001 0001 0000" << QRect(10, 20, 800, 600) << false
                              << true << true;
        QTest::newRow("negative") << "-008 -008 1288 0968 0001 0001 0000 0001" << QRect(-8, -8, 1296, 976)
                                  << true << true << true;
        QTest::newRow("30 characters: no bars")
            << "0010 0020 0810 0620 0001 0000" << QRect(10, 20, 800, 600) << true << false << false;
        QTest::newRow("wide fields") << "-1920 0000 -1020 0600 0000 0000 0001 0001"
                                     << QRect(-1920, 0, 900, 600) << false << false << true;
        QTest::newRow("short") << "0100 0100" << QRect(QPoint(100, 100), QPoint(-1, -1)) << false << false
                               << false;
        QTest::newRow("garbage") << "abcd efgh" << QRect(QPoint(0, 0), QPoint(-1, -1)) << false << false
                                 << false;
    }

    void placementText()
    {
        QFETCH(QString, text);
        QFETCH(QRect, normal);
        QFETCH(bool, minimized);
        QFETCH(bool, maximized);
        QFETCH(bool, bars);
        const WindowPlacement placement = WindowPlacement::Parse(text);
        QCOMPARE(placement.normal, normal);
        QCOMPARE(placement.minimized, minimized);
        QCOMPARE(placement.maximized, maximized);
        QCOMPARE(placement.hasBarFlags, bars);
        if (bars && text.size() == 39)
            QCOMPARE(placement.Format(), text);
    }

    void cellTexts()
    {
        QCOMPARE(FormatListSize(1234.9), QStringLiteral("1234"));
        QCOMPARE(FormatListSize(2147483647.0), QStringLiteral("2147483647"));
        QCOMPARE(FormatListSize(2147483648.0), QStringLiteral("-2147483648"));
        QCOMPARE(FormatListSize(3000000000.0), QStringLiteral("-1294967296"));
        QCOMPARE(FormatListSize(4294967296.0 + 5), QStringLiteral("5"));
        // The fifth of March 1997, noon UTC (the tests run with TZ=UTC and the C locale).
        QCOMPARE(FormatListDate(857563200u), QStringLiteral("March 05, 1997"));
        QCOMPARE(FormatListDate(0u), QStringLiteral("January 01, 1970"));
    }
};

QTEST_GUILESS_MAIN(TestExplorerCore)
#include "tst_explorer_core.moc"

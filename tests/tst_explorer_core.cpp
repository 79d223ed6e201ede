// The explorer's window-free parts: the node registry and its lock, the tree built from the area
// table and group files, the enable rules, the saved placement and the list's cell texts.

#include "controls/CTreeItemRegistry.h"
#include "controls/DialogUnits.h"
#include "explorer/CommandRules.h"
#include "explorer/ListFormatting.h"
#include "explorer/TreeBuilder.h"
#include "explorer/WindowPlacement.h"
#include "settings/Globals.h"
#include "TestSupport.h"
#include "ZoneSupport.h"

#include <QTemporaryDir>
#include <QtEndian>
#include <QThread>

#include <atomic>

using namespace Qt::StringLiterals;

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
    void initTestCase() { ZoneSupport::RequireZoneInEffect(); }
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
        WriteFile(dir.filePath(u"Filearea.dat"_s),
                  HeaderRecord() + AreaRecord(1, "Games") + AreaRecord(2, "Tools") + AreaRecord(3, "Lonely"));
        QVERIFY(theFileAreaTable.Open(dir.filePath(u"Filearea.dat"_s)));
        // Unknown ids are skipped, repeated ones shown again, an area may stand in two groups.
        WriteFile(dir.filePath(u"Fun.group"_s), GroupIds({1, 99, 1}));
        WriteFile(dir.filePath(u"Win.3x.group"_s), GroupIds({2, 1}));
        WriteFile(dir.filePath(u"Empty.group"_s), QByteArray());
        WriteFile(dir.filePath(u"notes.GROUP"_s), GroupIds({3})); // the pattern is matched with case
        QDir(dir.path()).mkpath(u"dir.group"_s);                  // not a file

        const BuiltTree tree = BuildFolderTree();
        QVERIFY(tree.root && tree.searchResults);
        QCOMPARE(tree.root->GetType(), quint32(kNodeRoot));
        QCOMPARE(tree.root->GetChild(0), tree.searchResults);
        QCOMPARE(tree.searchResults->GetType(), quint32(kNodeSearchResults));
        QStringList groups = ChildNames(tree.root).mid(1);
        groups.sort(); // the directory's own order is not fixed
        QCOMPARE(groups, (QStringList{u"Empty"_s, u"Fun"_s, u"Win.3x"_s}));

        const CTreeItem* fun = ChildNamed(tree.root, u"Fun"_s);
        QCOMPARE(fun->GetType(), quint32(kNodeGroup));
        QCOMPARE(ChildNames(fun), (QStringList{u"Games"_s, u"Games"_s}));
        QVERIFY(fun->GetChild(0)->GetHandle() != fun->GetChild(1)->GetHandle());
        const CTreeItem* win = ChildNamed(tree.root, u"Win.3x"_s);
        QCOMPARE(ChildNames(win), (QStringList{u"Tools"_s, u"Games"_s}));
        const auto* tools = dynamic_cast<const CFolderTreeItem*>(win->GetChild(0));
        QCOMPARE(tools->GetAreaId(), 2u);
        QCOMPARE(tools->GetType(), quint32(kNodeArea));
        QCOMPARE(ChildNames(ChildNamed(tree.root, u"Empty"_s)), QStringList());
        QCOMPARE(theTreeItemRegistry.Lookup(tools->GetHandle()), tools);
    }

    void handlesAreNeverReused()
    {
        auto* first = new CFolderTreeItem(nullptr, u"a"_s, 0, 0);
        const quint32 handle = theTreeItemRegistry.Add(nullptr, first);
        QVERIFY(handle);
        QCOMPARE(theTreeItemRegistry.Lookup(handle), first);
        theTreeItemRegistry.Remove(first, true);
        QCOMPARE(theTreeItemRegistry.Lookup(handle), nullptr);
        delete first;
        QVERIFY(!CTreeItem::IsValidItem(first));
        auto* second = new CFolderTreeItem(nullptr, u"b"_s, 0, 0);
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
        auto* parent = new CFolderTreeItem(nullptr, u"parent"_s, 0, 0);
        theTreeItemRegistry.Add(nullptr, parent);
        auto* child = new CFolderTreeItem(parent, u"child"_s, 0, 0);
        const quint32 handle = theTreeItemRegistry.Add(parent, child);
        delete child; // deleted while registered and listed under its parent
        QCOMPARE(theTreeItemRegistry.Lookup(handle), nullptr);
        QCOMPARE(parent->GetChildCount(), 0);
        theTreeItemRegistry.DeleteAll(); // and nothing is deleted twice
    }

    void concurrentLookupsDuringWrites()
    {
        QList<quint32> handles;
        for (int i = 0; i < 50; ++i)
            handles.append(
                theTreeItemRegistry.Add(nullptr, new CFolderTreeItem(nullptr, u"n%1"_s.arg(i), 0, 0)));
        std::atomic<bool> stop{false};
        std::atomic<int> wrong{0}, lookups{0};
        QList<QThread*> readers;
        for (int t = 0; t < 4; ++t) {
            readers.append(QThread::create([&, t] {
                while (!stop) {
                    const int i = (lookups++ + t) % 50;
                    const CTreeItem* found = theTreeItemRegistry.Lookup(handles[i]);
                    if (!found || found->GetName() != u"n%1"_s.arg(i))
                        ++wrong;
                }
            }));
            readers.last()->start();
        }
        QTRY_VERIFY(lookups > 0);
        // The writer adds and removes items while the readers look theirs up.
        for (int i = 0; i < 2000; ++i) {
            auto* extra = new CFolderTreeItem(nullptr, u"extra"_s, 0, 0);
            theTreeItemRegistry.Add(nullptr, extra);
            if (i % 2) {
                theTreeItemRegistry.Remove(extra, true);
                delete extra; // the registry no longer owns it
            }
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
        // The frame's own test covers Open, Open as HTML and Up; these rules guard commands whose
        // windows come later.
        CommandContext area{kNodeArea, 2, true, true, true, false};
        for (Command command :
             {Command::VirusCheck, Command::DeleteFile, Command::RemoveFromArea, Command::TreeProperties})
            QVERIFY(IsCommandEnabled(command, area));
        QVERIFY(!IsCommandEnabled(Command::Properties, area)); // two entries
        QVERIFY(!IsCommandEnabled(Command::Pagewright, area));
        area.listHasFocus = false;
        QVERIFY(!IsCommandEnabled(Command::DeleteFile, area));
        QVERIFY(IsCommandEnabled(Command::RemoveFromArea, area));

        const CommandContext search{kNodeSearchResults, 1, true, false, false, true};
        for (Command command :
             {Command::OpenAsHtml, Command::VirusCheck, Command::RemoveFromArea, Command::TreeProperties})
            QVERIFY(!IsCommandEnabled(command, search));
        QVERIFY(IsCommandEnabled(Command::Pagewright, search));
        QVERIFY(IsCommandEnabled(Command::DeleteFile, search));
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

    void placementFitsTheScreens_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QRect>("expected");
        // The screens below: the primary one (its bottom 40 pixels a panel), one to its right and a
        // smaller one to its left, lower down.
        QTest::newRow("fits") << "0100 0100 0900 0700 0000 0000 0001 0001" << QRect(100, 100, 800, 600);
        QTest::newRow("on the right screen")
            << "2000 0050 2800 0650 0000 0000 0001 0001" << QRect(2000, 50, 800, 600);
        QTest::newRow("on the left screen")
            << "-1200 0200 -0400 0800 0000 0000 0001 0001" << QRect(-1200, 200, 800, 600);
        QTest::newRow("huge") << "-999999999 -999999999 999999999 999999999 0000 0000 0001 0001"
                              << QRect(0, 0, 1920, 1040);
        QTest::newRow("4 GB of pixels")
            << "0000 0000 32767 32767 0000 0000 0001 0001" << QRect(0, 0, 1920, 1040);
        QTest::newRow("monitor gone")
            << "5000 3000 5800 3600 0000 0001 0001 0001" << QRect(1120, 440, 800, 600);
        QTest::newRow("mostly on the right screen")
            << "1800 0100 2600 0700 0000 0000 0001 0001" << QRect(1920, 100, 800, 600);
        QTest::newRow("taller than its screen")
            << "2000 0000 2800 1200 0000 0000 0001 0001" << QRect(2000, 0, 800, 1024);
        QTest::newRow("partly above and left")
            << "-050 -030 0750 0570 0000 0000 0001 0001" << QRect(0, 0, 800, 600);
        QTest::newRow("right equals left") << "0500 0100 0500 0700 0000 0000 0001 0001" << QRect();
        QTest::newRow("right before left") << "0500 0100 0400 0700 0000 0000 0001 0001" << QRect();
        QTest::newRow("bottom above top") << "0100 0700 0900 0100 0000 0000 0001 0001" << QRect();
    }

    void placementFitsTheScreens()
    {
        QFETCH(QString, text);
        QFETCH(QRect, expected);
        const QList<QRect> screens = {QRect(0, 0, 1920, 1040), QRect(1920, 0, 1280, 1024),
                                      QRect(-1280, 100, 1280, 1024)};
        QCOMPARE(FitToScreens(WindowPlacement::Parse(text).normal, screens), expected);
        QCOMPARE(FitToScreens(WindowPlacement::Parse(text).normal, {}), QRect()); // no screen to fit
    }

    void defaultColumnWidthsFollowTheFont()
    {
        // Chosen for 13-pixel lines: unchanged there, in proportion and rounded elsewhere.
        const int chosen[] = {125, 80, 80, 100, 100, 250};
        for (int column = 0; column < 6; ++column)
            QCOMPARE(DefaultListColumnWidth(column, 13), chosen[column]);
        QCOMPARE(DefaultListColumnWidth(3, 17), 131); // 130.77
        QCOMPARE(DefaultListColumnWidth(0, 17), 163); // 163.46
        QCOMPARE(DefaultListColumnWidth(5, 26), 500);
        QCOMPARE(DefaultListColumnWidth(1, 10), 62); // 61.54: smaller fonts shrink them
        QCOMPARE(DefaultListColumnWidth(6, 17), 0);
        QCOMPARE(DefaultListColumnWidth(-1, 17), 0);
        QCOMPARE(ScaleDialogPixels(100, 0), 100); // no line height known: as chosen
        QCOMPARE(ScaleDialogPixels(2000000000, 1000), INT_MAX);
    }

    void cellTexts()
    {
        QCOMPARE(FormatListSize(1234.9), u"1234"_s);
        QCOMPARE(FormatListSize(2147483647.0), u"2147483647"_s);
        QCOMPARE(FormatListSize(2147483648.0), u"-2147483648"_s);
        QCOMPARE(FormatListSize(3000000000.0), u"-1294967296"_s);
        QCOMPARE(FormatListSize(4294967296.0 + 5), u"5"_s);
        // A stored time shows its day in UTC, in every zone the tests run in (and the C locale).
        QCOMPARE(FormatListDate(857563200u), u"March 05, 1997"_s); // noon
        QCOMPARE(FormatListDate(0u), u"January 01, 1970"_s);
        using ZoneSupport::Utc;
        QCOMPARE(FormatListDate(quint32(Utc(2024, 3, 30, 23, 30))), u"March 30, 2024"_s); // Berlin's 31st
        QCOMPARE(FormatListDate(quint32(Utc(2024, 3, 31, 1, 30))), u"March 31, 2024"_s);  // New York's 30th
        QCOMPARE(FormatListDate(quint32(Utc(2024, 11, 3, 5, 59, 59))), u"November 03, 2024"_s);
        QCOMPARE(FormatListDate(4294967295u), u"February 07, 2106"_s);
        // Texts of any length stand on one line, cut without splitting a character.
        QCOMPARE(FormatListText(u"two\r\nlines\ttab"_s), u"two  lines tab"_s);
        const QString huge = QString(kMaxListTextLength - 1, u'a') + QString::fromUcs4(U"\U0001F600") + QString(5000, u'b');
        const QString shown = FormatListText(huge);
        QVERIFY(shown.size() <= kMaxListTextLength + 1 && shown.endsWith(QChar(0x2026)));
        QVERIFY(!shown[shown.size() - 2].isHighSurrogate());
    }
};

QTEST_GUILESS_MAIN(TestExplorerCore)
#include "tst_explorer_core.moc"

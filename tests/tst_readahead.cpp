// Reading a screen of the file list ahead: the rows a range reads are the rows read one by one,
// deleted ones included; rows kept from a read ahead still read fresh; and a screen of each view
// mode on a large display costs at most two statements (on a server, two round trips).

#include "database/CDatabaseManager.h"
#include "database/PostgresKeys.h"
#include "DatabaseSupport.h"
#include "explorer/CFileListModel.h"
#include "explorer/CFileListView.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QListView>
#include <QScrollBar>
#include <QSet>
#include <QTest>
#include <QTreeView>

using namespace Qt::StringLiterals;
using namespace DatabaseSupport;

namespace {

constexpr int kFiles = 3000;

// What a row reads as: its title, or a mark for a deleted row.
QString Read(CFileRecord& cursor, qint64 position)
{
    if (cursor.SetAbsolutePosition(position))
        return cursor.title + u" / "_s + cursor.short_desc;
    return cursor.IsDeleted() ? u"<deleted>"_s : u"<none>"_s;
}

// The list pane alone, in a mode, at a size, on the screen.
bool Show(CFileListView& view, int mode, const QSize& size)
{
    view.resize(size);
    view.SetViewMode(mode);
    view.show();
    return QTest::qWaitForWindowExposed(&view);
}

} // namespace

class TestReadAhead : public QObject
{
    Q_OBJECT

private:
    CFreshDatabase m_db;

    // kFiles files in area 1 with ids 1 to kFiles, written as the web site would (one statement).
    void AddFiles()
    {
        theDatabaseManager.GetConnection(); // makes the tables
        COtherProgram site(m_db.File());
        QVERIFY(site.IsOpen());
        QVERIFY(site.Run(u"WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                         "INSERT INTO files (file_id, title, short_desc) "
                         "SELECT i, 'File ' || i, 'About ' || i FROM n"_s.arg(kFiles)));
        QVERIFY(site.Run(u"INSERT INTO file_area (area_id, file_id) SELECT 1, file_id FROM files"_s));
    }

private slots:
    void initTestCase() { TROVEPORT_REQUIRE_ENGINE(); }

    void init()
    {
        m_db.Reset();
        AddFiles();
    }

    void cleanup() { theDatabaseManager.CloseConnection(); }

    // Ranges over block borders, at either end, beyond the end, and larger than what is kept.
    void rangesReadWhatRowsReadOneByOne_data()
    {
        QTest::addColumn<qint64>("first");
        QTest::addColumn<qint64>("last");
        QTest::newRow("first screen") << qint64(1) << qint64(225);
        QTest::newRow("across borders") << qint64(1000) << qint64(1450);
        QTest::newRow("past the end") << qint64(2900) << qint64(3500);
        QTest::newRow("one row") << qint64(1500) << qint64(1500);
        QTest::newRow("whole area") << qint64(0) << qint64(kFiles);
    }

    void rangesReadWhatRowsReadOneByOne()
    {
        QFETCH(qint64, first);
        QFETCH(qint64, last);
        CFileRecord ahead(&theDatabaseManager), plain(&theDatabaseManager);
        QVERIFY(ahead.GetAllFilesInArea(1));
        QVERIFY(plain.GetAllFilesInArea(1));
        // The site deletes rows inside and around the range after the keys (and, on a server, the
        // first blocks: rows 1 and 200 are kept as they were) were read.
        COtherProgram site(m_db.File());
        for (qint64 id : {qint64(1), qint64(200), qint64(1001), qint64(1450), qint64(2999), qint64(1500)})
            QVERIFY(site.Run(u"DELETE FROM files WHERE file_id = ?"_s, {id}));

        ahead.ReadAhead(first, last);
        const qint64 sent = CDatabaseManager::StatementsSent();
        const qint64 from = std::max<qint64>(first, 1), to = std::min<qint64>(last, kFiles);
        QStringList aheadRows, plainRows;
        for (qint64 p = from; p <= to; ++p)
            aheadRows.append(Read(ahead, p));
        // On a server the range came in one statement (one larger than what is kept, in part).
        if (to - from < 2048)
            QCOMPARE(CDatabaseManager::StatementsSent(), sent);
        for (qint64 p = from; p <= to; ++p)
            plainRows.append(Read(plain, p));
        QCOMPARE(aheadRows, plainRows);
        QCOMPARE(Read(ahead, 1001), u"<deleted>"_s);
        QCOMPARE(Read(ahead, 1501), u"File 1501 / About 1501"_s);
    }

    void aRowDeletedAfterTheReadAheadReadsDeletedWhenReadFresh()
    {
        CFileRecord cursor(&theDatabaseManager);
        QVERIFY(cursor.GetAllFilesInArea(1));
        cursor.ReadAhead(600, 900);
        COtherProgram site(m_db.File());
        QVERIFY(site.Run(u"DELETE FROM files WHERE file_id = 700"_s));
        QVERIFY(site.Run(u"UPDATE files SET title = 'Renamed' WHERE file_id = 701"_s));
        // Before a command acts on a row it reads it fresh: gone, and changed, whatever was kept.
        QVERIFY(!cursor.RereadPosition(700));
        QVERIFY(cursor.IsDeleted());
        QCOMPARE(cursor.title, QString());
        QVERIFY(!cursor.SetAbsolutePosition(700)); // and stays so
        QVERIFY(cursor.RereadPosition(701));
        QCOMPARE(cursor.title, u"Renamed"_s);
        // Reading the range ahead again brings no deleted row back.
        cursor.ReadAhead(600, 900);
        QVERIFY(!cursor.SetAbsolutePosition(700));
        QVERIFY(cursor.SetAbsolutePosition(699));
    }

    // An area's keys are read with PostgreSQL's numbered parameters; a '?' inside a text or a
    // quoted name is no parameter.
    void parametersAreNumberedOutsideQuotes_data()
    {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QString>("numbered");
        QTest::newRow("two") << u"SELECT a FROM t WHERE b = ? AND c = ?"_s
                             << u"SELECT a FROM t WHERE b = $1 AND c = $2"_s;
        QTest::newRow("in a text") << u"WHERE t = 'why?' AND id = ?"_s << u"WHERE t = 'why?' AND id = $1"_s;
        QTest::newRow("doubled quote")
            << u"WHERE t = 'it''s ?' AND id = ?"_s << u"WHERE t = 'it''s ?' AND id = $1"_s;
        QTest::newRow("quoted name") << u"SELECT \"a?\" FROM t WHERE x = ?"_s
                                     << u"SELECT \"a?\" FROM t WHERE x = $1"_s;
        QTest::newRow("none") << u"SELECT 1"_s << u"SELECT 1"_s;
    }

    void parametersAreNumberedOutsideQuotes()
    {
        QFETCH(QString, statement);
        QFETCH(QString, numbered);
        QCOMPARE(NumberPostgresParameters(statement), numbered);
    }

    // A screen of each view mode at 1920x1080, scrolled page by page with the keyboard.
    void aScreenCostsAtMostTwoStatements_data()
    {
        QTest::addColumn<int>("mode");
        QTest::newRow("large icons") << int(CFileListView::kLargeIcons);
        QTest::newRow("small icons") << int(CFileListView::kSmallIcons);
        QTest::newRow("list") << int(CFileListView::kList);
        QTest::newRow("details") << int(CFileListView::kDetails);
    }

    void aScreenCostsAtMostTwoStatements()
    {
        QFETCH(int, mode);
        CFileRecord cursor(&theDatabaseManager);
        CFileListModel model;
        CFileListView view(&model);
        QVERIFY(Show(view, mode, QSize(1920, 1080)));
        // Opening reads the keys and the first rows; laying the list out reads no other row.
        const qint64 beforeOpen = CDatabaseManager::StatementsSent();
        QVERIFY(cursor.GetAllFilesInArea(1));
        model.SetFiles(&cursor, int(cursor.GetRecordCount()));
        QVERIFY(view.GetVisibleRows().second > 0);
        QCOMPARE_LE(CDatabaseManager::StatementsSent() - beforeOpen, 2);
        QAbstractItemView* current = view.GetCurrentView();
        current->setFocus();
        current->setCurrentIndex(model.index(0, 0));
        QCoreApplication::processEvents();

        QSet<int> screens;                                // the first row of each screen shown
        qint64 sent = CDatabaseManager::StatementsSent(); // the first screen: after the open
        for (int key = 0; key < 30; ++key) {
            QCoreApplication::processEvents(); // the scrolling's layout and painting
            current->viewport()->repaint();
            const auto [first, end] = view.GetVisibleRows();
            QVERIFY2(CDatabaseManager::StatementsSent() - sent <= 2,
                     qPrintable(u"rows %1 to %2 cost %3"_s.arg(first).arg(end).arg(
                         CDatabaseManager::StatementsSent() - sent)));
            // Painting read them: reading them again costs nothing.
            const qint64 painted = CDatabaseManager::StatementsSent();
            for (int row = first; row <= end; ++row)
                QCOMPARE(model.index(row, 0).data().toString(), u"File %1"_s.arg(row + 1));
            QCOMPARE(CDatabaseManager::StatementsSent(), painted);
            screens.insert(first);
            if (end == kFiles - 1)
                break;
            sent = CDatabaseManager::StatementsSent();
            // The list mode's columns scroll sideways.
            QTest::keyClick(current, mode == CFileListView::kList ? Qt::Key_Right : Qt::Key_PageDown);
        }
        QVERIFY(screens.size() >= 3); // the keys scrolled in every mode
    }

    // The rows the view reports shown are exactly those whose cells meet the viewport, in every
    // mode, at the top, scrolled, and at the end.
    void visibleRowsAreThoseShown_data() { aScreenCostsAtMostTwoStatements_data(); }

    void visibleRowsAreThoseShown()
    {
        QFETCH(int, mode);
        CFileRecord cursor(&theDatabaseManager);
        CFileListModel model;
        CFileListView view(&model);
        QVERIFY(Show(view, mode, QSize(700, 500)));
        QVERIFY(cursor.GetAllFilesInArea(1));
        model.SetFiles(&cursor, int(cursor.GetRecordCount()));
        QAbstractItemView* current = view.GetCurrentView();
        for (int target : {0, 1234, kFiles / 2 + 17, kFiles - 1}) {
            current->scrollTo(model.index(target, 0), QAbstractItemView::PositionAtCenter);
            QCoreApplication::processEvents();
            int first = -1, last = -1;
            const QRect area = current->viewport()->rect();
            for (int row = 0; row < model.rowCount(); ++row) {
                if (current->visualRect(model.index(row, 0)).intersects(area)) {
                    if (first < 0)
                        first = row;
                    last = row;
                }
            }
            QVERIFY(first >= 0);
            QCOMPARE(view.GetVisibleRows(), qMakePair(first, last));
        }
    }
};

QTEST_MAIN(TestReadAhead)
#include "tst_readahead.moc"

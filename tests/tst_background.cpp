// The explorer's list of an area's or a search's files, filled while a worker reads the keys: the
// list grows, the window goes on answering, a new list stops the old one, and a search that finds
// nothing says so once, when it is over. The worker is held at its chunk boundaries (one key a
// chunk) so that each test looks at a load midway without timing anything.

#include "controls/CMessageBox.h"
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
#include "FrameSupport.h"
#include "TestSupport.h"

#include <QAbstractItemView>
#include <QLabel>
#include <QMessageBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QThread>
#include <QToolButton>

using namespace Qt::StringLiterals;
using namespace FrameSupport;

class TestBackground : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<CMainFrame> m_frame;

    CKeyLoader& Loader() { return *m_frame->GetKeyLoader(); }

    // The titles a search finds, read the way the list read them before it grew in the background.
    static QStringList Found(const QString& text)
    {
        CFileRecord cursor(&theDatabaseManager);
        QStringList titles;
        if (!cursor.Open(BuildSearchStatement(text, kSearchTitle | kSearchShortDesc)))
            return titles;
        for (; !cursor.IsEOF(); cursor.MoveNext())
            titles.append(cursor.title);
        return titles;
    }

    QStringList Listed()
    {
        QStringList titles;
        const CFileListModel* model = m_frame->GetListModel();
        for (int row = 0; row < model->rowCount(); ++row)
            titles.append(model->index(row, CFileListModel::kName).data().toString());
        return titles;
    }

    // Starts a search as the Find command ends, without its dialog. The search is running when
    // this returns, and nothing else has happened meanwhile when the node was already selected.
    void Search(const QString& text)
    {
        m_frame->m_strSearchText = text;
        m_frame->m_dwSearchFields = kSearchTitle | kSearchShortDesc;
        if (m_frame->GetSelectedTreeItem() == m_frame->GetSearchResultsItem()) {
            m_frame->RunCommand(Command::Refresh);
        } else {
            m_frame->SelectTreeItem(m_frame->GetSearchResultsItem());
            QCoreApplication::processEvents(); // the posted refresh
        }
    }

    template<typename T> T* StatusWidget(const QString& accessibleName)
    {
        for (T* widget : m_frame->statusBar()->findChildren<T*>()) {
            if (widget->accessibleName() == accessibleName)
                return widget;
        }
        return nullptr;
    }
    QLabel* LoadStatus() { return StatusWidget<QLabel>(u"Listing status"_s); }
    QToolButton* StopButton() { return StatusWidget<QToolButton>(u"Stop listing files"_s); }

private slots:
    void initTestCase()
    {
        TROVEPORT_OPEN_DEMO_LIBRARY(m_dir);
        CMessageBox::SetAnsweringMode(true);
        QVERIFY(Found(u"e"_s).size() > 5);
    }

    void init()
    {
        m_frame = MakeFrame();
        QVERIFY(m_frame);
        m_frame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_frame.get()));
        Loader().SetChunkSizes(1, 1);
        Loader().HoldChunks(true);
        CMessageBox::TakeRequests();
    }

    void cleanup() { m_frame.reset(); }

    void resultsArriveAndTheListGrows()
    {
        const QStringList expected = Found(u"e"_s);
        Search(u"e"_s);
        QVERIFY(m_frame->IsLoading());
        QCOMPARE(m_frame->GetListModel()->rowCount(), 0);
        // Each chunk after the first is as large as all before it: 1, 1, 2 keys.
        for (int rows : {1, 2, 4}) {
            Loader().ReleaseChunks(1);
            QTRY_COMPARE(m_frame->GetListModel()->rowCount(), rows);
            QCOMPARE(Listed(), expected.mid(0, rows));
        }
        // The busy state: what is going on, with a way to stop it; only the list is busy.
        QVERIFY(m_frame->IsLoading());
        QVERIFY(LoadStatus() && LoadStatus()->isVisible());
        QVERIFY2(LoadStatus()->text().contains(u"4"_s), qPrintable(LoadStatus()->text()));
        QVERIFY(StopButton() && StopButton()->isVisible() && StopButton()->isEnabled());
        QVERIFY(!StopButton()->accessibleName().isEmpty());
        QCOMPARE(m_frame->GetListView()->cursor().shape(), Qt::BusyCursor);
        QCOMPARE(m_frame->GetTreeView()->cursor().shape(), Qt::ArrowCursor);

        Loader().HoldChunks(false);
        WaitForList(*m_frame);
        QCOMPARE(Listed(), expected);
        QVERIFY(!LoadStatus()->isVisible());
        QVERIFY(!StopButton()->isVisible());
        QCOMPARE(m_frame->GetListView()->cursor().shape(), Qt::ArrowCursor);
        QVERIFY(CMessageBox::TakeRequests().isEmpty());
    }

    // What the user does next ends the load running: nothing of it shows afterwards.
    void aNewListEndsTheLoadRunning_data()
    {
        QTest::addColumn<QString>("next");
        QTest::newRow("another search") << u"zip"_s;
        QTest::newRow("an area") << u"Games/Shareware Games"_s;
        QTest::newRow("a group") << u"Games"_s;
    }
    void aNewListEndsTheLoadRunning()
    {
        QFETCH(QString, next);
        Search(u"e"_s);
        Loader().ReleaseChunks(1);
        QTRY_COMPARE(m_frame->GetListModel()->rowCount(), 1);
        // The second key is on its way to the window when the next list starts.
        Loader().ReleaseChunks(1);
        while (Loader().ChunksHandedOver() < 2)
            QThread::yieldCurrentThread();
        const bool search = !next.contains(u'/') && next != u"Games"_s;
        if (search) {
            Search(next);
        } else {
            m_frame->SelectTreeItem(Node(*m_frame, next));
            m_frame->RunCommand(Command::Refresh);
        }
        QCoreApplication::sendPostedEvents(&Loader(), QEvent::MetaCall); // the old key arrives
        QCOMPARE(m_frame->GetListModel()->rowCount(), next == u"Games"_s ? 2 : 0);

        Loader().HoldChunks(false);
        WaitForList(*m_frame);
        QStringList expected;
        if (search)
            expected = Found(next);
        else if (next == u"Games"_s)
            expected = {u"Classic Arcade"_s, u"Shareware Games"_s};
        else
            expected = {u"Chess 88"_s, u"Commander Keen 4"_s, u"Hugo's House of Horrors"_s,
                        u"Jazz Jackrabbit"_s, u"Scorched Earth"_s};
        QStringList listed = Listed();
        if (!search)
            std::sort(listed.begin(), listed.end());
        QCOMPARE(listed, expected);
        QVERIFY(CMessageBox::TakeRequests().isEmpty());
    }

    void emptySearchSaysSoOnceWhenItIsOver()
    {
        Search(u"no such thing"_s);
        QVERIFY(m_frame->IsLoading());
        QVERIFY(CMessageBox::TakeRequests().isEmpty()); // not while it runs
        Loader().ReleaseChunks(1);
        WaitForList(*m_frame);
        const auto requests = CMessageBox::TakeRequests();
        QCOMPARE(requests.size(), 1);
        QCOMPARE(requests[0].text, u"No files were found that match your search criteria."_s);
        QCoreApplication::processEvents();
        QVERIFY(CMessageBox::TakeRequests().isEmpty());

        // A search stopped before it found anything has not found nothing: no message.
        Search(u"no such thing"_s);
        m_frame->StopLoading();
        Loader().HoldChunks(false);
        QCoreApplication::processEvents();
        QVERIFY(!m_frame->IsLoading());
        QVERIFY(CMessageBox::TakeRequests().isEmpty());
    }

    // Esc and the status bar's Stop both end a load; the rows found so far stay and can be used.
    void theWindowAnswersWhileItLoads_data()
    {
        QTest::addColumn<bool>("escape");
        QTest::newRow("Esc") << true;
        QTest::newRow("Stop") << false;
    }
    void theWindowAnswersWhileItLoads()
    {
        QFETCH(bool, escape);
        const QStringList expected = Found(u"e"_s);
        Search(u"e"_s);
        Loader().ReleaseChunks(2);
        QTRY_COMPARE(m_frame->GetListModel()->rowCount(), 2);
        SelectRows(*m_frame, {1});
        QVERIFY(m_frame->GetAction(Command::Open)->isEnabled());
        m_frame->RunCommand(Command::Details);
        QCOMPARE(m_frame->GetListView()->GetViewMode(), int(CFileListView::kDetails));
        const auto file = ReadFileOfListRow(*m_frame->GetFileCursor(), 1);
        QVERIFY(file);
        QCOMPARE(file->title, expected[1]);

        if (escape)
            QTest::keyClick(m_frame->GetListView()->GetCurrentView(), Qt::Key_Escape);
        else
            StopButton()->click();
        QVERIFY(!m_frame->IsLoading());
        Loader().HoldChunks(false);
        QCoreApplication::processEvents();
        QCOMPARE(Listed(), expected.mid(0, 2));
        QVERIFY2(LoadStatus()->text().contains(u"2"_s), qPrintable(LoadStatus()->text()));
        QVERIFY(!StopButton()->isVisible());
        QVERIFY(CMessageBox::TakeRequests().isEmpty());
        QCOMPARE(m_frame->GetListView()->cursor().shape(), Qt::ArrowCursor);
    }

    // A file deleted from a list still growing: the rows listed stay where they are for the
    // command, and the refresh after it lists the search without the file.
    void deleteWhileASearchRuns()
    {
        const QStringList before = Found(u"e"_s);
        Search(u"e"_s);
        Loader().ReleaseChunks(2);
        QTRY_COMPARE(m_frame->GetListModel()->rowCount(), 2);
        SelectRows(*m_frame, {1});
        QVERIFY(m_frame->GetAction(Command::DeleteFile)->isEnabled());
        CMessageBox::QueueAnswer(QMessageBox::Yes);
        m_frame->RunCommand(Command::DeleteFile);
        Loader().HoldChunks(false);
        WaitForList(*m_frame);
        QStringList after = before;
        after.removeAt(1);
        QCOMPARE(Found(u"e"_s), after);
        QCOMPARE(Listed(), after);
    }

    // The window's worker reads a search's keys the engine's way: on SQLite from the search indexes,
    // which it first brings up to date with what the web site wrote meanwhile.
    void theSearchGoesThroughTheSearchIndexes()
    {
        TROVEPORT_SQLITE_ONLY("the search indexes of the SQLite file");
        DatabaseSupport::COtherProgram site(theDatabaseManager.GetDatabaseFile());
        QVERIFY(site.Run(u"INSERT INTO files (title) VALUES ('Wombat Racer')"_s));
        QVERIFY(site.Value(u"SELECT count(*) FROM search_pending"_s).toInt() > 0);
        Loader().HoldChunks(false);
        Search(u"wombat"_s);
        WaitForList(*m_frame);
        QCOMPARE(Listed(), QStringList{u"Wombat Racer"_s});
        QCOMPARE(site.Value(u"SELECT count(*) FROM search_pending"_s).toInt(), 0);
        QVERIFY(site.Run(u"DELETE FROM files WHERE title = 'Wombat Racer'"_s));
    }

    void theWorkersFailureShowsInTheStatusBar()
    {
        TROVEPORT_SQLITE_ONLY("a file that is not a database");
        const QString database = theDatabaseManager.GetDatabaseFile();
        QTemporaryDir other;
        TestSupport::WriteFile(other.filePath(u"troveport.db"_s), QByteArray(4096, 'x'));
        theDatabaseManager.SetDatabaseFile(other.filePath(u"troveport.db"_s));
        Loader().HoldChunks(false);
        Search(u"e"_s);
        WaitForList(*m_frame);
        theDatabaseManager.SetDatabaseFile(database);
        QCOMPARE(m_frame->GetListModel()->rowCount(), 0);
        QVERIFY2(m_frame->GetDatabaseStatus().contains(u"not a database"_s),
                 qPrintable(m_frame->GetDatabaseStatus()));
        QCOMPARE(CMessageBox::TakeRequests().size(), 1); // and nothing was found
        Search(u"e"_s);
        WaitForList(*m_frame);
        QCOMPARE(m_frame->GetDatabaseStatus(), QString());
    }
};

QTEST_MAIN(TestBackground)
#include "tst_background.moc"

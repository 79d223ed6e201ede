// Edits of existing rows under the database lock: the lock is taken nested and always released,
// failures reach the database log and never escape; several threads and programs share the
// database.

#include "DatabaseSupport.h"

#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <atomic>

using namespace Qt::StringLiterals;

using namespace DatabaseSupport;

namespace {

// Counts what the record operations do with the lock, on top of a real recursive lock.
class CCountingLock : public CLockManager
{
public:
    void Lock() override
    {
        m_inner.Lock();
        ++m_locks;
        m_depth = m_depth + 1;
        m_deepest = std::max(m_deepest.load(), m_depth.load());
    }
    void Unlock() override
    {
        ++m_unlocks;
        m_depth = m_depth - 1;
        m_inner.Unlock();
    }
    int Depth() const { return m_depth; }
    int Deepest() const { return m_deepest; }
    int Locks() const { return m_locks; }
    bool IsBalanced() const { return m_locks == m_unlocks && m_depth == 0; }

private:
    CRecursiveLockManager m_inner;
    std::atomic<int> m_locks{0}, m_unlocks{0}, m_depth{0}, m_deepest{0};
};

} // namespace

class TestDbLocking : public QObject
{
    Q_OBJECT

private:
    CFreshDatabase m_db;
    CCountingLock* m_lock = nullptr;
    CLockManager* m_previousLock = nullptr;

    QString DbFile() const { return m_db.File(); }
    QByteArray Log() const { return m_db.Log(); }

private slots:
    void initTestCase() { TROVEPORT_REQUIRE_ENGINE(); }

    void init()
    {
        m_db.Reset();
        m_lock = new CCountingLock;
        m_previousLock = CDatabaseManager::DatabaseLock;
        CDatabaseManager::DatabaseLock = m_lock;
    }

    void cleanup()
    {
        CDatabaseManager::DatabaseLock = m_previousLock;
        delete m_lock;
        theDatabaseManager.CloseConnection();
    }

    void updateTakesTheLockNested()
    {
        const double id = AddFile(u"Before"_s);
        QCOMPARE(m_lock->Locks(), 0); // adding new rows takes no lock
        CFileRecord copy(&theDatabaseManager);
        copy.file_id = id;
        QVERIFY(copy.GetByPrimaryKey(copy));
        copy.title = u"After"_s;
        copy.downloads = 41;
        QVERIFY(copy.Update());
        QVERIFY(m_lock->IsBalanced());
        QCOMPARE(m_lock->Deepest(), 2); // Update holds it while Edit and UpdateRecord take it again
        CFileRecord read(&theDatabaseManager);
        QVERIFY(read.GetByPrimaryKey(copy));
        QCOMPARE(read.title, u"After"_s);
        QCOMPARE(read.downloads, 41.0);
    }

    void updateOfADeletedRowWritesNothing()
    {
        const double id = AddFile(u"Doomed"_s);
        CFileRecord cursor(&theDatabaseManager);
        QVERIFY(cursor.GetAllFilesInArea(1));
        const auto copy = ReadFileOfListRow(cursor, 0);
        COtherProgram site(DbFile());
        QVERIFY(site.Run(u"DELETE FROM files WHERE file_id = ?"_s, {id}));

        copy->title = u"Resurrected"_s;
        QVERIFY(!copy->Update());
        QVERIFY(m_lock->IsBalanced());
        QCOMPARE(site.Value(u"SELECT count(*) FROM files"_s).toInt(), 0);
        QCOMPARE(Log(), QByteArray()); // a vanished row is not a database error
    }

    void rowDeletedDuringTheEditIsNotReportedAsWritten()
    {
        const double id = AddFile(u"Edited"_s);
        CFileRecord record(&theDatabaseManager);
        record.file_id = id;
        QVERIFY(record.GetByPrimaryKey(record));
        QVERIFY(record.Edit());
        COtherProgram site(DbFile());
        QVERIFY(site.Run(u"DELETE FROM files WHERE file_id = ?"_s, {id}));
        record.title = u"Too late"_s;
        QVERIFY(!record.UpdateRecord());
        QCOMPARE(site.Value(u"SELECT count(*) FROM files"_s).toInt(), 0);
        // Deleted before the edit: the edit is refused, logged, and a commit refused as well.
        QVERIFY(!record.Edit());
        QVERIFY2(Log().contains("deleted"), Log().constData());
        QVERIFY(!record.UpdateRecord());
        QVERIFY(m_lock->IsBalanced());
    }

    void windowThreadGivesUpOnADatabaseHeldByAnotherProgram()
    {
        // Another program holds the database; the window thread must not wait for it for minutes.
        QProcess holder;
        std::unique_ptr<COtherProgram> server;
        if (OnPostgres()) {
            // A transaction keeps the table locked against every other use, reads included.
            QVERIFY(AddFile(u"Existing"_s) > 0);
            server = std::make_unique<COtherProgram>(DbFile(), u"holder"_s);
            QVERIFY(server->Run(u"BEGIN"_s));
            QVERIFY(server->Run(u"LOCK TABLE files IN ACCESS EXCLUSIVE MODE"_s));
        } else {
            const QString sqlite = QStandardPaths::findExecutable(u"sqlite3"_s);
            if (sqlite.isEmpty())
                QSKIP("the sqlite3 program is not installed (scripts/install-deps.sh installs it)");
            // A database in rollback-journal mode held for writing cannot be switched to WAL.
            holder.start(sqlite, {DbFile()});
            holder.write(
                "CREATE TABLE t(x);\nBEGIN EXCLUSIVE;\nINSERT INTO t VALUES (1);\nSELECT 'locked';\n");
            QVERIFY(holder.waitForReadyRead(10000));
            QVERIFY(holder.readAll().contains("locked"));
        }

        CFileRecord cursor(&theDatabaseManager);
        QVERIFY(!cursor.GetAllFilesInArea(1));
        QVERIFY2(Log().contains(OnPostgres() ? "lock timeout" : "locked"), Log().constData());

        if (server) {
            QVERIFY(server->Run(u"ROLLBACK"_s));
        } else {
            holder.closeWriteChannel();
            QVERIFY(holder.waitForFinished(10000));
        }
        QVERIFY(cursor.GetAllFilesInArea(1));
    }

    void rejectedCommitKeepsTheOldValues()
    {
        const double id = AddFile(u"Original"_s);
        COtherProgram site(DbFile());
        QVERIFY(site.RefuseWrites(u"UPDATE"_s, u"files"_s, u"true"_s, u"files are frozen"_s));
        CFileRecord record(&theDatabaseManager);
        record.file_id = id;
        QVERIFY(record.GetByPrimaryKey(record));
        record.title = u"Changed"_s;
        QVERIFY(!record.Update());
        QVERIFY(m_lock->IsBalanced());
        QVERIFY2(Log().contains("files are frozen"), Log().constData());
        QCOMPARE(site.Value(u"SELECT title FROM files WHERE file_id = ?"_s, {id}).toString(), u"Original"_s);

        // A field too long for its column is a rejected commit too.
        QVERIFY(site.AllowWrites(u"files"_s));
        QVERIFY(record.Edit());
        record.title = QString(31, QLatin1Char('t'));
        QVERIFY(!record.UpdateRecord());
        // The failed commit ended the edit: a shortened title is not written without a new Edit.
        record.title = u"Short"_s;
        QVERIFY(!record.UpdateRecord());
        QVERIFY(m_lock->IsBalanced());
        QCOMPARE(site.Value(u"SELECT title FROM files WHERE file_id = ?"_s, {id}).toString(), u"Original"_s);
    }

    void twoThreadsAddWhileTheWindowThreadReads()
    {
        // Each thread works on its own connection; the window thread keeps reading meanwhile.
        auto adder = [](int area, int count, std::atomic<int>* failures) {
            for (int i = 0; i < count; ++i) {
                CFileRecord record(&theDatabaseManager);
                record.title = u"T%1 #%2"_s.arg(area).arg(i);
                if (!record.Add() || !record.AddToFileArea(area) ||
                    !record.AddDownloadURL(u"local://%1/f%2.zip"_s.arg(area).arg(i)))
                    ++*failures;
            }
            theDatabaseManager.CloseConnection();
        };
        std::atomic<int> failures{0};
        QThread* a = QThread::create(adder, 10, 150, &failures);
        QThread* b = QThread::create(adder, 11, 150, &failures);
        a->start();
        b->start();
        int reads = 0;
        while (!a->isFinished() || !b->isFinished()) {
            theDatabaseManager.GetNumberOfFilesInArea(10);
            ++reads;
        }
        QVERIFY(a->wait(60000) && b->wait(60000));
        delete a;
        delete b;
        QCOMPARE(failures.load(), 0);
        QVERIFY(reads > 0);
        QCOMPARE(theDatabaseManager.GetNumberOfFilesInArea(10), 150);
        QCOMPARE(theDatabaseManager.GetNumberOfFilesInArea(11), 150);
        CFileRecord cursor(&theDatabaseManager);
        QVERIFY(cursor.GetAllFilesInArea(11));
        QCOMPARE(cursor.GetRecordCount(), 150);
        QVERIFY(!theDatabaseManager.IsDownloadURLUnique(u"local://11/f149.zip"_s));
    }

    void waitsForAnotherProgramsWrite()
    {
        AddFile(u"Existing"_s);
        // The web site holds the write lock for a moment; the explorer's writes, on the window thread
        // and on a worker, wait instead of failing.
        std::atomic<bool> holding{false};
        QThread* site = QThread::create([this, &holding] {
            COtherProgram other(DbFile(), u"site-thread"_s);
            if (OnPostgres()) {
                // What SQLite's write lock is: no other writer, while readers go on.
                other.Run(u"BEGIN"_s);
                other.Run(u"LOCK TABLE files IN EXCLUSIVE MODE"_s);
            } else {
                other.Run(u"BEGIN IMMEDIATE"_s);
            }
            other.Run(u"UPDATE files SET downloads = downloads + 1"_s);
            holding = true;
            QThread::msleep(300);
            other.Run(u"COMMIT"_s);
        });
        site->start();
        while (!holding)
            QThread::msleep(5);
        std::atomic<bool> workerAdded{false};
        QThread* worker = QThread::create([&workerAdded] {
            workerAdded = AddFile(u"Waited on a worker"_s) > 0;
            theDatabaseManager.CloseConnection();
        });
        worker->start();
        // Reads are not blocked by the writer.
        QCOMPARE(theDatabaseManager.GetNumberOfFilesInArea(1), 1);
        QVERIFY(AddFile(u"Waited"_s) > 0);
        QVERIFY(site->wait(10000) && worker->wait(10000));
        delete site;
        delete worker;
        QVERIFY(workerAdded);
        QCOMPARE(theDatabaseManager.GetNumberOfFilesInArea(1), 3);
        QCOMPARE(Log(), QByteArray());
    }
};

QTEST_GUILESS_MAIN(TestDbLocking)
#include "tst_dblocking.moc"

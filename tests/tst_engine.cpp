// The database engine object: chosen when the database is named and kept for the session, whatever
// the machine setting says meanwhile; the shared way to a PostgreSQL server leaves nothing behind
// when it fails.

#include "DatabaseSupport.h"
#include "database/CDBException.h"
#include "database/CSavepoint.h"
#include "database/PostgresEngine.h"

#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

using namespace DatabaseSupport;

class TestEngine : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        TROVEPORT_REQUIRE_ENGINE();
        QVERIFY(m_dir.isValid());
    }

    void cleanup()
    {
        g_strDatabaseConnection.clear();
        g_strDatabasePath.clear();
    }

    void engineChosenOnceForTheSession()
    {
        g_strDatabasePath = m_dir.path();
        const QString file = m_dir.filePath(u"troveport.db"_s);
        const QString server = u"postgresql://nobody@/library?host=/no-such-directory"_s;
        CTroveportDatabaseManager manager(true);
        // Named by the machine setting on first use: the file.
        const CDatabaseEngine& first = manager.Engine();
        QCOMPARE(&first, &CDatabaseEngine::For(QString()));
        manager.Run(u"INSERT INTO files (title) VALUES (?)"_s, {u"Kept"_s});

        // The setting changing meanwhile does not move the session to a server halfway.
        g_strDatabaseConnection = server;
        QCOMPARE(&manager.Engine(), &first);
        QCOMPARE(manager.GetDatabaseName(), file);
        QVariantList titles;
        manager.Run(u"SELECT title FROM files"_s, {}, &titles);
        QCOMPARE(titles, QVariantList{u"Kept"_s});
        {
            CSavepoint savepoint(&manager, u"batch"_s);
            manager.Run(u"INSERT INTO files (title) VALUES (?)"_s, {u"Batched"_s});
            QVERIFY(savepoint.Release());
        }
        titles.clear();
        manager.Run(u"SELECT count(*) FROM files"_s, {}, &titles);
        QCOMPARE(titles.value(0).toInt(), 2);

        // Naming the database anew chooses again.
        manager.SetDatabaseConnection(server);
        QCOMPARE(&manager.Engine(), &CDatabaseEngine::For(server));
        QVERIFY(&manager.Engine() != &first);
        QCOMPARE(manager.GetDatabaseName(), server);
        QVERIFY_THROWS_EXCEPTION(CDBException, manager.GetConnection());
        manager.SetDatabaseFile(file);
        QCOMPARE(&manager.Engine(), &first);
        titles.clear();
        manager.Run(u"SELECT count(*) FROM files"_s, {}, &titles);
        QCOMPARE(titles.value(0).toInt(), 2);
        manager.CloseConnection();
    }

    void failedServerOpenFreesTheName_data()
    {
        QTest::addColumn<QString>("uri");
        QTest::addColumn<QString>("reason");
        QTest::newRow("password") << u"postgresql://ann:secret@db/library"_s << u"holds a password"_s;
        QTest::newRow("not a uri") << u"mysql://ann@db/library"_s << u"not a PostgreSQL connection URI"_s;
        QTest::newRow("no server") << u"postgresql://ann@/library?host=/no-such-directory"_s
                                   << u"/no-such-directory"_s;
    }

    void failedServerOpenFreesTheName()
    {
        QFETCH(QString, uri);
        QFETCH(QString, reason);
        const QString name = u"engine-open"_s;
        try {
            CPostgresEngine::OpenConnection(name, uri, 3);
            QFAIL("the connection should not open");
        } catch (const CDBException& e) {
            QVERIFY2(e.GetErrorText().contains(reason), qPrintable(e.GetErrorText()));
        }
        QVERIFY(!QSqlDatabase::contains(name));
    }

    // The benchmark's and the program's way to the server: notices stay out of the log.
    void serverOpenQuietensNotices()
    {
        if (!OnPostgres())
            QSKIP("needs the PostgreSQL server");
        const QString name = u"engine-server"_s;
        {
            QSqlDatabase db = CPostgresEngine::OpenConnection(name, PostgresDatabaseUri(), 3);
            QSqlQuery query(db);
            QVERIFY2(query.exec(u"SHOW client_min_messages"_s), qPrintable(query.lastError().text()));
            QVERIFY(query.next());
            QCOMPARE(query.value(0).toString(), u"warning"_s);
        }
        QSqlDatabase::database(name, false).close();
        QSqlDatabase::removeDatabase(name);
    }
};

QTEST_GUILESS_MAIN(TestEngine)
#include "tst_engine.moc"

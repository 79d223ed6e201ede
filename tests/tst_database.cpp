// File records on both engines: adding and reading rows, area links and download locations, cursors
// whose positions survive deletion, the search dialect, and stored fields this program ignores.

#include "database/CDBException.h"
#include "database/CSavepoint.h"
#include "database/CSqliteStatement.h"
#include "database/PostgresConnection.h"
#include "database/SearchStatement.h"
#include "DatabaseSupport.h"
#include "TestSupport.h"

#include <QTcpServer>

#include <sqlite3.h>

using namespace Qt::StringLiterals;

using namespace DatabaseSupport;

class TestDatabase : public QObject
{
    Q_OBJECT

private:
    CFreshDatabase m_db;

    QString DbFile() const { return m_db.File(); }
    QByteArray Log() const { return m_db.Log(); }

    QList<double> Ids(CFileRecord& cursor)
    {
        QList<double> ids;
        for (qint64 i = 1; i <= cursor.GetRecordCount(); ++i) {
            cursor.SetAbsolutePosition(i);
            ids.append(cursor.file_id);
        }
        return ids;
    }

    // The File Search's statement for the title and long description, and the URL when asked.
    static QString Search(const QString& text, bool url = false)
    {
        return BuildSearchStatement(text, kSearchTitle | kSearchLongDesc | (url ? quint32(kSearchUrl) : 0u));
    }

private slots:
    void initTestCase() { TROVEPORT_REQUIRE_ENGINE(); }

    void init() { m_db.Reset(); }

    void cleanup() { theDatabaseManager.CloseConnection(); }

    void addedRowsReadBackWholly()
    {
        CFileRecord record(&theDatabaseManager);
        record.title = u"Ünïcödé Commander 書"_s;
        record.file_size = 3000000000.0; // beyond 32 bits
        record.short_desc = QString(60, QLatin1Char('s'));
        record.long_desc = QString(65535, QLatin1Char('l'));
        record.upld_name = u"Ann O'Hara"_s;
        record.downloads = 12;
        record.last_download = 4000000000u; // after 2038
        record.file_date = 700000000u;
        record.version = u"1.2b"_s;
        record.requires_form = 1;
        QVERIFY(record.Add());

        CFileRecord read(&theDatabaseManager);
        QVERIFY(read.GetByPrimaryKey(record));
        QCOMPARE(read.title, record.title);
        QCOMPARE(read.file_size, 3000000000.0);
        QCOMPARE(read.long_desc.size(), 65535);
        QCOMPARE(read.upld_name, u"Ann O'Hara"_s);
        QCOMPARE(read.last_download, 4000000000u);
        QCOMPARE(read.file_date, 700000000u);
        QCOMPARE(read.version, u"1.2b"_s);
        QCOMPARE(read.requires_form, 1);
        QVERIFY(AddFile(u"Second"_s) != record.file_id);
    }

    void fieldsLongerThanTheirColumnsAreRefused()
    {
        CFileRecord record(&theDatabaseManager);
        // Characters, not bytes, are counted: the longest allowed title in a non-Latin script fits.
        record.title = QString(30, QChar(0x4e66));
        QVERIFY(record.Add());
        record.title = QString(31, QLatin1Char('x'));
        QVERIFY(!record.Add());
        QVERIFY2(Log().contains("title"), Log().constData());
        COtherProgram other(DbFile());
        QCOMPARE(other.Value(u"SELECT count(*) FROM files"_s).toInt(), 1);
    }

    void areaLinksAndLocations()
    {
        CFileRecord record(&theDatabaseManager);
        record.title = u"Linked"_s;
        QVERIFY(record.Add());
        QVERIFY(record.AddToFileArea(4294967295.0));
        QVERIFY(record.AddToFileArea(3));
        QVERIFY(record.AddToFileArea(3)); // already linked: nothing changes
        QCOMPARE(AreasOf(record.file_id), (QList<double>{3, 4294967295.0}));
        QCOMPARE(theDatabaseManager.GetNumberOfFilesInArea(4294967295.0), 1);

        const QString local = u"local://3/games/keen.zip"_s;
        QVERIFY(theDatabaseManager.IsDownloadURLUnique(local));
        QVERIFY(record.AddDownloadURL(u"https://example.org/keen.zip"_s));
        QVERIFY(record.AddDownloadURL(local));
        QVERIFY(!record.AddDownloadURL(local)); // the same location twice for one file
        QVERIFY(!theDatabaseManager.IsDownloadURLUnique(local));
        QCOMPARE(LocationsOf(record.file_id), (QStringList{u"https://example.org/keen.zip"_s, local}));
        QVERIFY(record.DeleteDownloadURL(local));
        QVERIFY(record.DeleteFromFileArea(3));
        QCOMPARE(LocationsOf(record.file_id).size(), 1);
        QCOMPARE(theDatabaseManager.GetNumberOfFilesInArea(3), 0);

        CFileRecord ghost(&theDatabaseManager);
        ghost.file_id = 999;
        QVERIFY(!ghost.AddDownloadURL(u"https://example.org/ghost.zip"_s)); // no such file
    }

    void deleteTakesLinksAndLocationsAlong()
    {
        const double keep = AddFile(u"Keep"_s, 1, u"https://a/keep"_s);
        const double drop = AddFile(u"Drop"_s, 1, u"https://a/drop"_s);
        CFileRecord record(&theDatabaseManager);
        record.file_id = drop;
        QVERIFY(record.Delete());
        COtherProgram other(DbFile());
        QCOMPARE(other.Value(u"SELECT count(*) FROM download WHERE file_id = ?"_s, {drop}).toInt(), 0);
        QCOMPARE(other.Value(u"SELECT count(*) FROM file_area WHERE file_id = ?"_s, {drop}).toInt(), 0);
        QCOMPARE(theDatabaseManager.GetNumberOfFilesInArea(1), 1);
        QCOMPARE(LocationsOf(keep), QStringList{u"https://a/keep"_s});
    }

    void aRefusedStatementInABatchTakesBackOnlyItself()
    {
        COtherProgram site(DbFile());
        double kept = 0;
        {
            CSavepoint batch(&theDatabaseManager, u"batch"_s);
            QVERIFY(theDatabaseManager.InTransaction());
            kept = AddFile(u"Kept"_s, 1, u"https://a/kept.zip"_s);
            QVERIFY(kept > 0);
            CFileRecord record(&theDatabaseManager);
            record.file_id = kept;
            QVERIFY(!record.AddDownloadURL(u"https://a/kept.zip"_s)); // the file has it already
            QVERIFY(record.AddToFileArea(2));
            // Nothing is committed before the batch, the adds' own savepoints notwithstanding.
            QCOMPARE(site.Value(u"SELECT count(*) FROM files"_s).toInt(), 0);
            QVERIFY(batch.Release());
        }
        QCOMPARE(AreasOf(kept), (QList<double>{1, 2}));
        QCOMPARE(LocationsOf(kept), QStringList{u"https://a/kept.zip"_s});
        {
            CSavepoint abandoned(&theDatabaseManager, u"batch"_s);
            QVERIFY(AddFile(u"Taken back"_s) > 0);
        }
        QCOMPARE(site.Value(u"SELECT count(*) FROM files"_s).toInt(), 1);
        QVERIFY(!theDatabaseManager.InTransaction());
    }

    void positionsSurviveDeletion()
    {
        QList<double> ids;
        for (int i = 0; i < 5; ++i)
            ids.append(AddFile(u"File %1"_s.arg(i), 7));
        AddFile(u"Other area"_s, 8);

        CFileRecord cursor(&theDatabaseManager);
        QVERIFY(cursor.GetAllFilesInArea(7));
        QCOMPARE(cursor.file_id, ids[0]); // opened on the first row
        QCOMPARE(Ids(cursor), ids);

        // Removing rows as Delete walks a selection by position: later positions keep their files.
        CFileRecord deleter(&theDatabaseManager);
        deleter.file_id = ids[2];
        QVERIFY(deleter.Delete());
        QVERIFY(!cursor.SetAbsolutePosition(3));
        QVERIFY(cursor.IsDeleted());
        QVERIFY(!cursor.IsEOF());
        QCOMPARE(cursor.file_id, ids[2]);
        QCOMPARE(cursor.title, QString());
        QVERIFY(cursor.SetAbsolutePosition(4));
        QCOMPARE(cursor.title, u"File 3"_s);

        // Past the end the cursor is at its end and keeps the last row read.
        QVERIFY(!cursor.SetAbsolutePosition(6));
        QVERIFY(cursor.IsEOF());
        QCOMPARE(cursor.title, u"File 3"_s);
        // A walk with MoveNext visits every position, the deleted one included.
        cursor.SetAbsolutePosition(1);
        int steps = 0;
        while (!cursor.IsEOF()) {
            ++steps;
            cursor.MoveNext();
        }
        QCOMPARE(steps, 5);

        // Reopening shows what the area holds now.
        QVERIFY(cursor.GetAllFilesInArea(7));
        QCOMPARE(cursor.GetRecordCount(), 4);
    }

    void columnsThisProgramDoesNotKnowTravelUnchanged()
    {
        const double id = AddFile(u"Rated"_s, 1);
        COtherProgram site(DbFile());
        QVERIFY(site.Run(u"ALTER TABLE files ADD COLUMN rating INTEGER NOT NULL DEFAULT 0"_s));
        QVERIFY(site.Run(u"UPDATE files SET rating = 7 WHERE file_id = ?"_s, {id}));

        CFileRecord cursor(&theDatabaseManager);
        QVERIFY(cursor.GetAllFilesInArea(1));
        const auto copy = ReadFileOfListRow(cursor, 0);
        // The web site changes the column meanwhile; writing the copy back must not undo that.
        QVERIFY(site.Run(u"UPDATE files SET rating = 9 WHERE file_id = ?"_s, {id}));
        copy->title = u"Rated, renamed"_s;
        QVERIFY(copy->Update());
        QCOMPARE(site.Value(u"SELECT rating FROM files WHERE file_id = ?"_s, {id}).toInt(), 9);
        QCOMPARE(site.Value(u"SELECT title FROM files WHERE file_id = ?"_s, {id}).toString(),
                 u"Rated, renamed"_s);

        // A new row made from a copy carries the column along.
        QVERIFY(copy->Add());
        QVERIFY(copy->file_id != id);
        QCOMPARE(site.Value(u"SELECT rating FROM files WHERE file_id = ?"_s, {copy->file_id}).toInt(), 7);

        // Bytes and NULLs travel as they are, not as text.
        QVERIFY(site.Run(OnPostgres() ? u"ALTER TABLE files ADD COLUMN token BYTEA"_s
                                      : u"ALTER TABLE files ADD COLUMN token BLOB"_s));
        QVERIFY(site.Run(u"ALTER TABLE files ADD COLUMN note TEXT"_s));
        const QByteArray token("\xff\x00\xfe", 3);
        QVERIFY(site.Run(u"UPDATE files SET token = ? WHERE file_id = ?"_s, {token, id}));
        const auto withBytes = ReadFileOfListRow(cursor, 0);
        QVERIFY(withBytes && withBytes->Add());
        if (!OnPostgres()) // a typed column there holds nothing else
            QCOMPARE(site.Value(u"SELECT typeof(token) FROM files WHERE file_id = ?"_s, {withBytes->file_id})
                         .toString(),
                     u"blob"_s);
        QVERIFY(
            site.Value(u"SELECT note IS NULL FROM files WHERE file_id = ?"_s, {withBytes->file_id}).toBool());
        QCOMPARE(
            site.Value(u"SELECT token FROM files WHERE file_id = ?"_s, {withBytes->file_id}).toByteArray(),
            token);
        QVERIFY(site.Run(u"ALTER TABLE files DROP COLUMN token"_s));
        QVERIFY(site.Run(u"ALTER TABLE files DROP COLUMN note"_s));

        // Columns that need quoting, and a table changed under an open cursor.
        QVERIFY(site.Run(u"ALTER TABLE files ADD COLUMN \"group\" TEXT NOT NULL DEFAULT 'g'"_s));
        QVERIFY(site.Run(u"ALTER TABLE files DROP COLUMN rating"_s));
        QVERIFY(site.Run(u"ALTER TABLE files ADD COLUMN stars INTEGER NOT NULL DEFAULT 3"_s));
        QVERIFY(site.Run(u"UPDATE files SET \"group\" = 'mine', stars = 5 WHERE file_id = ?"_s, {id}));
        const auto fresh = ReadFileOfListRow(cursor, 0);
        QVERIFY(fresh);
        QCOMPARE(fresh->title, u"Rated, renamed"_s);
        QVERIFY(fresh->Add());
        QCOMPARE(site.Value(u"SELECT \"group\" FROM files WHERE file_id = ?"_s, {fresh->file_id}).toString(),
                 u"mine"_s);
        QCOMPARE(site.Value(u"SELECT stars FROM files WHERE file_id = ?"_s, {fresh->file_id}).toInt(), 5);
    }

    // A list row past the end, deleted, or unreadable is no file: a command must not take the row the
    // cursor read before for it.
    void aRowThatCannotBeReadIsNoFile()
    {
        AddFile(u"First"_s, 3);
        AddFile(u"Second"_s, 3);
        CFileRecord cursor(&theDatabaseManager);
        QVERIFY(cursor.GetAllFilesInArea(3));
        QVERIFY(!ReadFileOfListRow(cursor, 2));
        COtherProgram site(DbFile());
        QVERIFY(site.Run(u"ALTER TABLE files RENAME TO gone"_s));
        QVERIFY(!ReadFileOfListRow(cursor, 1));
        QCOMPARE(cursor.title, QString()); // not "First" under the second row's position
        QVERIFY(!Log().isEmpty());
        QVERIFY(site.Run(u"ALTER TABLE gone RENAME TO files"_s));
        QVERIFY(ReadFileOfListRow(cursor, 0));
        QVERIFY(site.Run(u"DELETE FROM files"_s));
        QVERIFY(!ReadFileOfListRow(cursor, 0));
    }

    void onlyExistingFilesWithUsableIdsAreListed()
    {
        const double kept = AddFile(u"Kept"_s, 5);
        COtherProgram site(DbFile());
        // The web site deleted a file but not its link, and stored ids no double holds exactly:
        // 2^53 + 1 reads as 2^53, and acting on it would touch the file 2^53.
        if (OnPostgres()) // as a site whose tables lack the explorer's constraints
            QVERIFY(site.Run(u"SET session_replication_role = replica"_s));
        QVERIFY(site.Run(u"INSERT INTO file_area (area_id, file_id) VALUES (5, 999)"_s));
        for (qint64 id : {9007199254740992LL, 9007199254740993LL, 9223372036854775807LL}) {
            QVERIFY(site.Run(u"INSERT INTO files (file_id, title) VALUES (?, 'Huge')"_s, {id}));
            QVERIFY(site.Run(u"INSERT INTO file_area (area_id, file_id) VALUES (5, ?)"_s, {id}));
        }
        CFileRecord cursor(&theDatabaseManager);
        QVERIFY(cursor.GetAllFilesInArea(5));
        QCOMPARE(Ids(cursor), QList<double>{kept});
        QCOMPARE(theDatabaseManager.GetNumberOfFilesInArea(5), 1);
        QVERIFY2(Log().contains("3 rows of files"), Log().constData());
        QVERIFY(cursor.Open(u"select * from files order by file_id"_s));
        QCOMPARE(Ids(cursor), QList<double>{kept});

        // An id that stands for one of them, or for nothing at all, is never used for another file.
        for (double id : {9007199254740992.0, 1e300, 2.5, -9223372036854775808.0}) {
            CFileRecord record(&theDatabaseManager);
            record.file_id = id;
            QVERIFY(!record.Delete());
            QVERIFY(!record.GetByPrimaryKey(record));
            QVERIFY(!record.AddToFileArea(6));
            QVERIFY(!record.AddDownloadURL(u"https://x/huge.zip"_s));
            QStringList urls;
            QVERIFY(!theDatabaseManager.GetDownloadURLs(id, urls));
            QList<double> areas;
            QVERIFY(!theDatabaseManager.GetAreaIDsForFile(id, areas));
        }
        QCOMPARE(site.Value(u"SELECT count(*) FROM files"_s).toInt(), 4);
        QCOMPARE(site.Value(u"SELECT count(*) FROM file_area WHERE area_id = 6"_s).toInt(), 0);

        // A new row would get the id after the highest, which is beyond the exact range: refused.
        QVERIFY(site.Run(u"DELETE FROM files WHERE file_id > 9007199254740991"_s));
        QVERIFY(site.Run(u"INSERT INTO files (file_id, title) VALUES (9007199254740991, 'Last')"_s));
        if (OnPostgres()) // new keys come from the column's sequence there
            QVERIFY(
                site.Run(u"SELECT setval(pg_get_serial_sequence('files', 'file_id'), 9007199254740991)"_s));
        CFileRecord beyond(&theDatabaseManager);
        beyond.title = u"Beyond"_s;
        QVERIFY(!beyond.Add());
        QCOMPARE(site.Value(u"SELECT count(*) FROM files WHERE title = 'Beyond'"_s).toInt(), 0);
    }

    void addSucceedsOnceTheRowIsStored()
    {
        TROVEPORT_SQLITE_ONLY("the read back is made to fail with SQLite's authorizer");
        AddFile(u"First"_s);
        sqlite3* handle = SqliteHandle(theDatabaseManager.GetConnection());
        if (!handle)
            QSKIP("Qt's SQLite driver does not use the system SQLite here");
        // Reading the new row back fails after it has been stored (its new key alone may be read).
        auto denyReads = [](void*, int action, const char* table, const char* column, const char*,
                            const char*) {
            return action == SQLITE_READ && qstrcmp(table, "files") == 0 && qstrcmp(column, "file_id") != 0
                       ? SQLITE_DENY
                       : SQLITE_OK;
        };
        sqlite3_set_authorizer(handle, denyReads, nullptr);
        CFileRecord record(&theDatabaseManager);
        record.title = u"Stored"_s;
        record.version = u"1.0"_s;
        const bool added = record.Add();
        sqlite3_set_authorizer(handle, nullptr, nullptr);

        // A caller that took this for a failure and tried again would store the file twice.
        QVERIFY(added);
        QVERIFY2(Log().contains("prohibited"), Log().constData());
        COtherProgram site(DbFile());
        QCOMPARE(site.Value(u"SELECT count(*) FROM files"_s).toInt(), 2);
        QCOMPARE(site.Value(u"SELECT file_id FROM files WHERE title = 'Stored'"_s).toDouble(),
                 record.file_id);
        QCOMPARE(record.title, u"Stored"_s);
        QCOMPARE(record.version, u"1.0"_s);
        QVERIFY(record.AddToFileArea(1));
        QCOMPARE(theDatabaseManager.GetNumberOfFilesInArea(1), 2);
    }

    void searchStatements()
    {
        const double alpha = AddFile(u"Alpha 50% off"_s, 1, u"https://x/alpha_1.zip"_s);
        CFileRecord alphaRecord(&theDatabaseManager);
        alphaRecord.file_id = alpha;
        QVERIFY(alphaRecord.AddDownloadURL(u"https://mirror/alpha_1.zip"_s));
        const double beta = AddFile(u"beta 500"_s, 1, u"https://x/beta.zip"_s);
        const double gamma = AddFile(u"Gamma distinct"_s, 1, u"https://x/g.zip"_s);

        CFileRecord cursor(&theDatabaseManager);
        // Matched by two locations, a file is still listed once; the order is by title.
        QVERIFY(cursor.Open(Search(u"alpha"_s, true)));
        QCOMPARE(Ids(cursor), QList<double>{alpha});
        QVERIFY(cursor.Open(Search(u".zip"_s, true)));
        QCOMPARE(Ids(cursor), (QList<double>{alpha, beta, gamma}));
        // % and _ typed by the user are wildcards; LIKE ignores case.
        QVERIFY(cursor.Open(Search(u"50%"_s)));
        QCOMPARE(Ids(cursor), (QList<double>{alpha, beta}));
        QVERIFY(cursor.Open(Search(u"a_1"_s, true)));
        QCOMPARE(Ids(cursor), QList<double>{alpha});
        // The keyword inside the user's text is text, not a keyword: rewritten, it would find "distinct".
        QVERIFY(cursor.Open(Search(u"distinctrow"_s)));
        QCOMPARE(cursor.GetRecordCount(), 0);
        QVERIFY(cursor.Open(Search(u"distinct"_s)));
        QCOMPARE(Ids(cursor), QList<double>{gamma});

        // Statements of other shapes list files too: the key is found by its name.
        QVERIFY(cursor.Open(u"select title, downloads, file_id from files order by title"_s));
        QCOMPARE(Ids(cursor), (QList<double>{alpha, beta, gamma}));

        // With the URL field, a file is found only when it has a location, as the join says.
        const double bare = AddFile(u"alpha without location"_s);
        QVERIFY(cursor.Open(Search(u"ALPHA"_s, true)));
        QCOMPARE(Ids(cursor), QList<double>{alpha});
        QVERIFY(cursor.Open(Search(u"ALPHA"_s)));
        QCOMPARE(Ids(cursor), (QList<double>{alpha, bare}));

        // The empty statement and a rejected one fail cleanly; only the rejection is logged.
        QVERIFY(!cursor.Open(QString()));
        QCOMPARE(Log(), QByteArray());
        QVERIFY(!cursor.Open(u"select * from files where title = 'it's'"_s));
        QCOMPARE(cursor.GetRecordCount(), 0);
        QVERIFY(cursor.IsEOF());
        QVERIFY(!Log().isEmpty());
    }

    void aServerThatGoesAwayIsReportedUntilReconnect()
    {
        if (!OnPostgres())
            QSKIP("A database server only");
        for (int i = 0; i < 700; ++i)
            AddFile(u"File %1"_s.arg(i), 2);
        CFileRecord cursor(&theDatabaseManager);
        QVERIFY(cursor.GetAllFilesInArea(2));
        // The server ends the explorer's session, as a restart or an administrator would (and waits
        // until it has ended).
        COtherProgram admin(DbFile());
        const auto endSession = [&admin] {
            return admin.Run(u"SELECT pg_terminate_backend(pid, 10000) FROM pg_stat_activity WHERE "
                             "datname = current_database() AND application_name = 'troveport-explorer'"_s);
        };
        QVERIFY(endSession());
        QVERIFY(cursor.SetAbsolutePosition(2)); // kept from the first blocks
        QVERIFY_THROWS_EXCEPTION(CDBException, cursor.SetAbsolutePosition(600));
        // From now on each use fails at once with the same message, without trying the server.
        const qint64 sent = CDatabaseManager::StatementsSent();
        try {
            cursor.SetAbsolutePosition(550);
            QFAIL("read from a lost connection");
        } catch (const CDBException& e) {
            QVERIFY2(e.GetErrorText().startsWith(u"The connection to the database server was lost"_s),
                     qPrintable(e.GetErrorText()));
        }
        QCOMPARE(theDatabaseManager.GetNumberOfFilesInArea(2), 0);
        QCOMPARE(CDatabaseManager::StatementsSent(), sent);
        theDatabaseManager.Reconnect();
        QVERIFY(cursor.SetAbsolutePosition(600));
        QCOMPARE(cursor.title, u"File 599"_s);
        QCOMPARE(theDatabaseManager.GetNumberOfFilesInArea(2), 700);

        // Ended again while idle: a refresh notices it before any statement fails.
        QVERIFY(endSession());
        theDatabaseManager.Reconnect();
        QCOMPARE(theDatabaseManager.GetNumberOfFilesInArea(2), 700);

        // A server that accepts the connection and never answers is given up on.
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        theDatabaseManager.SetDatabaseConnection(
            u"postgresql://troveport@127.0.0.1:%1/x?connect_timeout=2"_s.arg(silent.serverPort()));
        QVERIFY_THROWS_EXCEPTION(CDBException, theDatabaseManager.GetConnection());
    }

    void aRoleThatMayNotAddExtensionsGetsTablesWithoutSearchIndexes()
    {
        if (!OnPostgres())
            QSKIP("A database server only");
        COtherProgram admin(DbFile());
        // Roles belong to the whole server: the role may be left from an earlier run.
        admin.Run(u"DO $$BEGIN CREATE ROLE limited_role LOGIN; EXCEPTION WHEN duplicate_object THEN END$$"_s);
        QVERIFY(admin.Run(u"GRANT USAGE, CREATE ON SCHEMA public TO limited_role"_s));
        QUrl uri(PostgresDatabaseUri());
        uri.setUserName(u"limited_role"_s);
        theDatabaseManager.SetDatabaseConnection(uri.toString());
        const double id = AddFile(u"Unindexed"_s, 1);
        QVERIFY(id > 0);
        QVERIFY2(Log().contains("The search indexes were not made"), Log().constData());
        CFileRecord cursor(&theDatabaseManager);
        QVERIFY(cursor.Open(Search(u"UNINDEX"_s)));
        QCOMPARE(Ids(cursor), QList<double>{id});
        theDatabaseManager.CloseConnection();
    }

    void searchesFoldTheCaseOfAsciiLettersOnly()
    {
        // As SQLite's LIKE and NOCASE do on both engines: "E" and "e" are one letter to a search and
        // to the order of titles, "É" and "é" two.
        const double accented = AddFile(u"Éclair Édition"_s);
        const double plain = AddFile(u"ECLAIR edition"_s);
        const double lower = AddFile(u"eclair Deluxe"_s);
        CFileRecord cursor(&theDatabaseManager);
        QVERIFY(cursor.Open(BuildSearchStatement(u"éclair"_s, kSearchTitle)));
        QCOMPARE(cursor.GetRecordCount(), 0);
        QVERIFY(cursor.Open(BuildSearchStatement(u"Éclair"_s, kSearchTitle)));
        QCOMPARE(Ids(cursor), QList<double>{accented});
        QVERIFY(cursor.Open(BuildSearchStatement(u"Eclair"_s, kSearchTitle)));
        QCOMPARE(Ids(cursor), (QList<double>{lower, plain}));
        QVERIFY(cursor.Open(BuildSearchStatement(u"EDITION"_s, kSearchTitle)));
        QCOMPARE(Ids(cursor), QList<double>{plain});
    }

    void unusableDatabaseFailsCleanly()
    {
        if (OnPostgres()) {
            // No such database on the server; then no server at all, where one is never waited for.
            for (const QString& uri : {PostgresServer() + u"no_such_library"_s,
                                       u"postgresql://troveport@127.0.0.1:1/x?connect_timeout=2"_s}) {
                theDatabaseManager.SetDatabaseConnection(uri);
                CFileRecord record(&theDatabaseManager);
                record.title = u"Nowhere"_s;
                QVERIFY(!record.Add());
                QVERIFY(!record.GetAllFilesInArea(1));
                QCOMPARE(theDatabaseManager.GetNumberOfFilesInArea(1), 0);
                QVERIFY(!theDatabaseManager.IsDownloadURLUnique(u"x"_s));
                QVERIFY_THROWS_EXCEPTION(CDBException, theDatabaseManager.GetConnection());
            }
            QVERIFY2(Log().contains("no_such_library"), Log().constData());
            QVERIFY2(Log().contains("127.0.0.1:1/x"), Log().constData());
            return;
        }
        theDatabaseManager.SetDatabaseFile(m_db.Path(u"missing/dir/troveport.db"_s));
        CFileRecord record(&theDatabaseManager);
        record.title = u"Nowhere"_s;
        QVERIFY(!record.Add());
        QVERIFY(!record.GetAllFilesInArea(1));
        QCOMPARE(theDatabaseManager.GetNumberOfFilesInArea(1), 0);
        QVERIFY(!theDatabaseManager.IsDownloadURLUnique(u"x"_s));
        QVERIFY_THROWS_EXCEPTION(CDBException, theDatabaseManager.GetConnection());

        // A file that is not a database at all.
        TestSupport::WriteFile(DbFile(), QByteArray(4096, '\x5a'));
        theDatabaseManager.SetDatabaseFile(DbFile());
        QVERIFY(!record.Add());
        QVERIFY(Log().contains("troveport.db"));
    }

    // A password never reaches the connection nor a text that is shown or logged; no server needed.
    void connectionPasswords()
    {
        PostgresParameters parameters;
        QString error;
        for (const QString& uri : {u"postgresql://ann:secret@db/lib"_s, u"postgresql://ann@db/lib?password=secret"_s,
                                   u"postgres://ann@db/lib?sslmode=require&pass%77ord=secret"_s}) {
            QVERIFY2(!ParsePostgresUri(uri, 3, &parameters, &error), qPrintable(uri));
            QVERIFY(error.contains(u"password"_s));
        }
        QVERIFY2(ParsePostgresUri(u"postgresql://ann@db:5433/lib?sslmode=require"_s, 3, &parameters, &error),
                 qPrintable(error));
        QCOMPARE(parameters.host, u"db"_s);
        QCOMPARE(parameters.port, 5433);
        QCOMPARE(parameters.database, u"lib"_s);
        QVERIFY(parameters.options.split(u';').contains(u"sslmode='require'"_s));

        QCOMPARE(DisplayPostgresUri(u"postgresql://ann:secret@db/lib"_s), u"postgresql://ann@db/lib"_s);
        QCOMPARE(DisplayPostgresUri(u"postgresql://ann@db/lib?sslmode=require&password=secret"_s),
                 u"postgresql://ann@db/lib?sslmode=require"_s);
        // Not a URI QUrl can read (a bad port), yet the password is still cut.
        const QString bad = DisplayPostgresUri(u"postgresql://ann:secret@db:port/lib?x=1&password=secret"_s);
        QVERIFY2(!bad.contains(u"secret"_s), qPrintable(bad));
        QVERIFY(bad.contains(u"ann@db"_s));
    }
};

QTEST_GUILESS_MAIN(TestDatabase)
#include "tst_database.moc"

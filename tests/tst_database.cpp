// File records over SQLite: adding and reading rows, area links and download locations, cursors
// whose positions survive deletion, the search dialect, and stored fields this program ignores.

#include "database/CDBException.h"
#include "DatabaseSupport.h"
#include "TestSupport.h"

#include <QTemporaryDir>

using namespace DatabaseSupport;

class TestDatabase : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;

    QString DbFile() const { return m_dir->filePath(QStringLiteral("troveport.db")); }
    QByteArray Log() const
    {
        return TestSupport::ReadFile(m_dir->filePath(QStringLiteral("troveport-db.log")));
    }

    QList<double> Ids(CFileRecord& cursor)
    {
        QList<double> ids;
        for (qint64 i = 1; i <= cursor.GetRecordCount(); ++i) {
            cursor.SetAbsolutePosition(i);
            ids.append(cursor.file_id);
        }
        return ids;
    }

    // The statement the File Search builds for the title, URL and long description fields.
    static QString Search(const QString& text, bool url = false)
    {
        QString sql = QStringLiteral("select distinctrow files.* from files");
        if (url)
            sql += QStringLiteral(" inner join download on files.file_id = download.file_id");
        sql += QStringLiteral(" where files.title like '%%1%' or files.long_desc like '%%1%'").arg(text);
        if (url)
            sql += QStringLiteral(" or download.url like '%%1%'").arg(text);
        return sql + QStringLiteral(" order by files.TITLE");
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        theDatabaseManager.SetDatabaseFile(DbFile());
    }

    void cleanup() { theDatabaseManager.CloseConnection(); }

    void addedRowsReadBackWholly()
    {
        CFileRecord record(&theDatabaseManager);
        record.title = QStringLiteral("Ünïcödé Commander 書");
        record.file_size = 3000000000.0; // beyond 32 bits
        record.short_desc = QString(60, QLatin1Char('s'));
        record.long_desc = QString(65535, QLatin1Char('l'));
        record.upld_name = QStringLiteral("Ann O'Hara");
        record.upld_email = QStringLiteral("ann@example.org");
        record.downloads = 12;
        record.last_download = 4000000000u; // after 2038
        record.file_date = 700000000u;
        record.version = QStringLiteral("1.2b");
        record.requires_form = 1;
        QVERIFY(record.Add());
        QVERIFY(record.file_id > 0);
        QCOMPARE(record.GetRecordCount(), 1);
        QVERIFY(!record.IsEOF());

        CFileRecord read(&theDatabaseManager);
        QVERIFY(read.GetByPrimaryKey(record));
        QCOMPARE(read.title, record.title);
        QCOMPARE(read.file_size, 3000000000.0);
        QCOMPARE(read.long_desc.size(), 65535);
        QCOMPARE(read.upld_name, QStringLiteral("Ann O'Hara"));
        QCOMPARE(read.last_download, 4000000000u);
        QCOMPARE(read.file_date, 700000000u);
        QCOMPARE(read.version, QStringLiteral("1.2b"));
        QCOMPARE(read.requires_form, 1);

        CFileRecord second(&theDatabaseManager);
        second.title = QStringLiteral("Second");
        QVERIFY(second.Add());
        QVERIFY(second.file_id != record.file_id);
    }

    void fieldsLongerThanTheirColumnsAreRefused_data()
    {
        QTest::addColumn<QString>("field");
        QTest::newRow("title") << "title";
        QTest::newRow("short_desc") << "short_desc";
        QTest::newRow("version") << "version";
        QTest::newRow("upld_email") << "upld_email";
    }

    void fieldsLongerThanTheirColumnsAreRefused()
    {
        QFETCH(QString, field);
        CFileRecord record(&theDatabaseManager);
        QString* target = field == QLatin1String("title")        ? &record.title
                          : field == QLatin1String("short_desc") ? &record.short_desc
                          : field == QLatin1String("version")    ? &record.version
                                                                 : &record.upld_email;
        const int limit = field == QLatin1String("title")        ? 30
                          : field == QLatin1String("short_desc") ? 60
                          : field == QLatin1String("version")    ? 15
                                                                 : 254;
        // Characters, not bytes, are counted: the longest allowed text in a non-Latin script fits.
        *target = QString(limit, QChar(0x4e66));
        QVERIFY(record.Add());
        *target = QString(limit + 1, QLatin1Char('x'));
        QVERIFY(!record.Add());
        QVERIFY2(Log().contains(field.toUtf8()), Log().constData());
        COtherProgram other(DbFile());
        QCOMPARE(other.Value(QStringLiteral("SELECT count(*) FROM files")).toInt(), 1);
    }

    void areaLinksAndLocations()
    {
        CFileRecord record(&theDatabaseManager);
        record.title = QStringLiteral("Linked");
        QVERIFY(record.Add());
        QVERIFY(record.AddToFileArea(4294967295.0));
        QVERIFY(record.AddToFileArea(3));
        QVERIFY(record.AddToFileArea(3)); // already linked: nothing changes
        QList<double> areas;
        QVERIFY(theDatabaseManager.GetAreaIDsForFile(record.file_id, areas));
        QCOMPARE(areas, (QList<double>{3, 4294967295.0}));
        QCOMPARE(theDatabaseManager.GetNumberOfFilesInArea(3), 1);
        QCOMPARE(theDatabaseManager.GetNumberOfFilesInArea(4294967295.0), 1);

        const QString local = QStringLiteral("local://3/games/keen.zip");
        QVERIFY(theDatabaseManager.IsDownloadURLUnique(local));
        QVERIFY(record.AddDownloadURL(QStringLiteral("https://example.org/keen.zip")));
        QVERIFY(record.AddDownloadURL(local));
        QVERIFY(!record.AddDownloadURL(local)); // the same location twice for one file
        QVERIFY(!theDatabaseManager.IsDownloadURLUnique(local));
        QStringList urls;
        QVERIFY(theDatabaseManager.GetDownloadURLs(record.file_id, urls));
        QCOMPARE(urls, (QStringList{QStringLiteral("https://example.org/keen.zip"), local}));

        QVERIFY(record.DeleteDownloadURL(local));
        QVERIFY(record.DeleteFromFileArea(3));
        QVERIFY(theDatabaseManager.GetDownloadURLs(record.file_id, urls));
        QCOMPARE(urls.size(), 1);
        QCOMPARE(theDatabaseManager.GetNumberOfFilesInArea(3), 0);

        // A location for a file that is not in the database is refused.
        CFileRecord ghost(&theDatabaseManager);
        ghost.file_id = 999;
        QVERIFY(!ghost.AddDownloadURL(QStringLiteral("https://example.org/ghost.zip")));
    }

    void deleteTakesLinksAndLocationsAlong()
    {
        const double keep = AddFile(QStringLiteral("Keep"), 1, QStringLiteral("https://a/keep"));
        const double drop = AddFile(QStringLiteral("Drop"), 1, QStringLiteral("https://a/drop"));
        CFileRecord record(&theDatabaseManager);
        record.file_id = drop;
        QVERIFY(record.Delete());
        COtherProgram other(DbFile());
        QCOMPARE(
            other.Value(QStringLiteral("SELECT count(*) FROM download WHERE file_id = ?"), {drop}).toInt(),
            0);
        QCOMPARE(
            other.Value(QStringLiteral("SELECT count(*) FROM file_area WHERE file_id = ?"), {drop}).toInt(),
            0);
        QCOMPARE(other.Value(QStringLiteral("SELECT count(*) FROM files")).toInt(), 1);
        QCOMPARE(theDatabaseManager.GetNumberOfFilesInArea(1), 1);
        QVERIFY(theDatabaseManager.IsDownloadURLUnique(QStringLiteral("https://a/drop")));
        QVERIFY(!theDatabaseManager.IsDownloadURLUnique(QStringLiteral("https://a/keep")));
        QVERIFY(keep > 0);
    }

    void positionsSurviveDeletion()
    {
        QList<double> ids;
        for (int i = 0; i < 5; ++i)
            ids.append(AddFile(QStringLiteral("File %1").arg(i), 7));
        AddFile(QStringLiteral("Other area"), 8);

        CFileRecord cursor(&theDatabaseManager);
        QVERIFY(cursor.GetAllFilesInArea(7));
        QCOMPARE(cursor.GetRecordCount(), 5);
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
        QCOMPARE(cursor.file_id, ids[3]);
        QCOMPARE(cursor.title, QStringLiteral("File 3"));
        QCOMPARE(cursor.GetRecordCount(), 5);

        // Past the end the cursor is at its end and keeps the last row read.
        QVERIFY(!cursor.SetAbsolutePosition(6));
        QVERIFY(cursor.IsEOF());
        QCOMPARE(cursor.title, QStringLiteral("File 3"));
        QVERIFY(!cursor.SetAbsolutePosition(0));
        QVERIFY(cursor.IsBOF());

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
        QVERIFY(cursor.GetAllFilesInArea(12345));
        QCOMPARE(cursor.GetRecordCount(), 0);
        QVERIFY(cursor.IsEOF());
    }

    void workingCopiesOfListRows()
    {
        const double first = AddFile(QStringLiteral("First"), 2);
        const double second = AddFile(QStringLiteral("Second"), 2);
        CFileRecord cursor(&theDatabaseManager);
        QVERIFY(cursor.GetAllFilesInArea(2));
        const auto row0 = ReadFileOfListRow(cursor, 0);
        const auto row1 = ReadFileOfListRow(cursor, 1);
        QCOMPARE(row0->file_id, first);
        QCOMPARE(row0->title, QStringLiteral("First"));
        QCOMPARE(row1->file_id, second);
        cursor.SetAbsolutePosition(1);
        QCOMPARE(row1->title, QStringLiteral("Second")); // unaffected by the cursor moving on
        QCOMPARE(row0->GetManager(), &theDatabaseManager);

        // Editing a copy and writing it back changes the row, not the cursor.
        row1->title = QStringLiteral("Second, renamed");
        QVERIFY(row1->Update());
        QVERIFY(cursor.SetAbsolutePosition(2));
        QCOMPARE(cursor.title, QStringLiteral("Second, renamed"));
    }

    void columnsThisProgramDoesNotKnowTravelUnchanged()
    {
        const double id = AddFile(QStringLiteral("Rated"), 1);
        COtherProgram site(DbFile());
        QVERIFY(site.Run(QStringLiteral("ALTER TABLE files ADD COLUMN rating INTEGER NOT NULL DEFAULT 0")));
        QVERIFY(site.Run(QStringLiteral("UPDATE files SET rating = 7 WHERE file_id = ?"), {id}));

        CFileRecord cursor(&theDatabaseManager);
        QVERIFY(cursor.GetAllFilesInArea(1));
        const auto copy = ReadFileOfListRow(cursor, 0);
        // The web site changes the column meanwhile; writing the copy back must not undo that.
        QVERIFY(site.Run(QStringLiteral("UPDATE files SET rating = 9 WHERE file_id = ?"), {id}));
        copy->title = QStringLiteral("Rated, renamed");
        QVERIFY(copy->Update());
        QCOMPARE(site.Value(QStringLiteral("SELECT rating FROM files WHERE file_id = ?"), {id}).toInt(), 9);
        QCOMPARE(site.Value(QStringLiteral("SELECT title FROM files WHERE file_id = ?"), {id}).toString(),
                 QStringLiteral("Rated, renamed"));

        // A new row made from a copy carries the column along.
        QVERIFY(copy->Add());
        QVERIFY(copy->file_id != id);
        QCOMPARE(
            site.Value(QStringLiteral("SELECT rating FROM files WHERE file_id = ?"), {copy->file_id}).toInt(),
            7);

        // Columns that need quoting, and a table changed under an open cursor.
        QVERIFY(site.Run(QStringLiteral("ALTER TABLE files ADD COLUMN \"group\" TEXT NOT NULL DEFAULT 'g'")));
        QVERIFY(site.Run(QStringLiteral("ALTER TABLE files DROP COLUMN rating")));
        QVERIFY(site.Run(QStringLiteral("ALTER TABLE files ADD COLUMN stars INTEGER NOT NULL DEFAULT 3")));
        QVERIFY(site.Run(QStringLiteral("UPDATE files SET \"group\" = 'mine', stars = 5 WHERE file_id = ?"),
                         {id}));
        const auto fresh = ReadFileOfListRow(cursor, 0);
        QVERIFY(fresh);
        QCOMPARE(fresh->title, QStringLiteral("Rated, renamed"));
        QVERIFY(fresh->Add());
        QCOMPARE(site.Value(QStringLiteral("SELECT \"group\" FROM files WHERE file_id = ?"), {fresh->file_id})
                     .toString(),
                 QStringLiteral("mine"));
        QCOMPARE(
            site.Value(QStringLiteral("SELECT stars FROM files WHERE file_id = ?"), {fresh->file_id}).toInt(),
            5);
    }

    void aRowThatCannotBeReadIsNotTakenForAnother()
    {
        AddFile(QStringLiteral("First"), 3);
        AddFile(QStringLiteral("Second"), 3);
        CFileRecord cursor(&theDatabaseManager);
        QVERIFY(cursor.GetAllFilesInArea(3));
        QCOMPARE(cursor.title, QStringLiteral("First"));
        COtherProgram site(DbFile());
        QVERIFY(site.Run(QStringLiteral("ALTER TABLE files RENAME TO gone")));
        QVERIFY(!ReadFileOfListRow(cursor, 1));
        QCOMPARE(cursor.title, QString()); // not "First" under the second row's position
        QVERIFY(!Log().isEmpty());
        QVERIFY(site.Run(QStringLiteral("ALTER TABLE gone RENAME TO files")));
    }

    void searchStatements()
    {
        const double alpha =
            AddFile(QStringLiteral("Alpha 50% off"), 1, QStringLiteral("https://x/alpha_1.zip"));
        CFileRecord alphaRecord(&theDatabaseManager);
        alphaRecord.file_id = alpha;
        QVERIFY(alphaRecord.AddDownloadURL(QStringLiteral("https://mirror/alpha_1.zip")));
        const double beta = AddFile(QStringLiteral("beta 500"), 1, QStringLiteral("https://x/beta.zip"));
        const double gamma =
            AddFile(QStringLiteral("Gamma distinctrow"), 1, QStringLiteral("https://x/g.zip"));

        CFileRecord cursor(&theDatabaseManager);
        // Matched by two locations, a file is still listed once; the order is by title.
        QVERIFY(cursor.Open(Search(QStringLiteral("alpha"), true)));
        QCOMPARE(Ids(cursor), QList<double>{alpha});
        QVERIFY(cursor.Open(Search(QStringLiteral(".zip"), true)));
        QCOMPARE(Ids(cursor), (QList<double>{alpha, beta, gamma}));
        // % and _ typed by the user are wildcards; LIKE ignores case.
        QVERIFY(cursor.Open(Search(QStringLiteral("50%"))));
        QCOMPARE(Ids(cursor), (QList<double>{alpha, beta}));
        QVERIFY(cursor.Open(Search(QStringLiteral("a_1"), true)));
        QCOMPARE(Ids(cursor), QList<double>{alpha});
        QVERIFY(cursor.Open(Search(QStringLiteral("BETA"))));
        QCOMPARE(Ids(cursor), QList<double>{beta});
        // The keyword inside the user's text is text, not a keyword.
        QVERIFY(cursor.Open(Search(QStringLiteral("distinctrow"))));
        QCOMPARE(Ids(cursor), QList<double>{gamma});
        QVERIFY(cursor.Open(Search(QStringLiteral("nothing like it"))));
        QCOMPARE(cursor.GetRecordCount(), 0);
        QVERIFY(cursor.IsEOF());

        // Statements of other shapes still list files.
        QVERIFY(cursor.Open(QStringLiteral("select * from files where title like 'g%'")));
        QCOMPARE(Ids(cursor), QList<double>{gamma});
        QVERIFY(cursor.Open(QStringLiteral("select file_id, title from files order by title desc")));
        QCOMPARE(Ids(cursor), (QList<double>{gamma, beta, alpha}));

        // The empty statement and a rejected one fail cleanly; only the rejection is logged.
        QVERIFY(!cursor.Open(QString()));
        QCOMPARE(cursor.GetRecordCount(), 0);
        QCOMPARE(Log(), QByteArray());
        QVERIFY(!cursor.Open(Search(QStringLiteral("it's"))));
        QCOMPARE(cursor.GetRecordCount(), 0);
        QVERIFY(cursor.IsEOF());
        QVERIFY(!Log().isEmpty());
    }

    void unusableDatabaseFailsCleanly()
    {
        theDatabaseManager.SetDatabaseFile(m_dir->filePath(QStringLiteral("missing/dir/troveport.db")));
        CFileRecord record(&theDatabaseManager);
        record.title = QStringLiteral("Nowhere");
        QVERIFY(!record.Add());
        QVERIFY(!record.GetAllFilesInArea(1));
        QCOMPARE(theDatabaseManager.GetNumberOfFilesInArea(1), 0);
        QStringList urls;
        QVERIFY(!theDatabaseManager.GetDownloadURLs(1, urls));
        QVERIFY(!theDatabaseManager.IsDownloadURLUnique(QStringLiteral("x")));
        QVERIFY_THROWS_EXCEPTION(CDBException, theDatabaseManager.GetConnection());

        // A file that is not a database at all.
        TestSupport::WriteFile(DbFile(), QByteArray(4096, '\x5a'));
        theDatabaseManager.SetDatabaseFile(DbFile());
        QVERIFY(!record.Add());
        QVERIFY(Log().contains("troveport.db"));
    }
};

QTEST_GUILESS_MAIN(TestDatabase)
#include "tst_database.moc"

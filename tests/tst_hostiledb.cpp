// The database as the web site may leave it: NULLs, texts over their limits, bytes that are not
// UTF-8 (where the engine stores them), numbers stored as text, a missing column or table. The
// explorer reads what it can and never writes over what the user did not change.

#include "database/CFileRecord.h"
#include "database/CTroveportDatabaseManager.h"
#include "DatabaseSupport.h"
#include "files/SafeFiles.h"
#include "properties/FileRemoval.h"

using namespace DatabaseSupport;

namespace {

// Records what a deletion reports, and counts the questions it asks.
class CNoDeletePrompts : public CRemovalPrompts
{
public:
    Answer AskDeleteLocalCopies() override { return ++asked, Answer::Yes; }
    bool AskDeleteFileOfLastArea(const QString&) override { return ++asked, true; }
    void ReportNotDeleted(const QString&, const FileFault&) override {}
    void ReportCopyKept(const QString&, const QString&) override {}
    void ReportOutsideArea(const QString&) override {}
    void ReportCannotDelete(const QString& reason) override { refused.append(reason); }
    bool Starting(qint64, qint64, const QString&) override { return true; }

    int asked = 0;
    QStringList refused;
};

} // namespace

class TestHostileDb : public QObject
{
    Q_OBJECT

private:
    CFreshDatabase m_db;

    // Every file of area 1, read as the list reads them, each then edited as the properties sheet
    // edits it: only the brief description changes.
    int ReadAndEditAll()
    {
        CFileRecord cursor(&theDatabaseManager);
        if (!cursor.GetAllFilesInArea(1))
            return -1;
        int edited = 0;
        for (qint64 row = 0; row < cursor.GetRecordCount(); ++row) {
            const auto file = ReadFileOfListRow(cursor, row);
            if (!file)
                return -1;
            file->short_desc = u"Edited"_s;
            edited += file->Update() ? 1 : 0;
        }
        return edited;
    }

private slots:
    void initTestCase() { TROVEPORT_REQUIRE_ENGINE(); }

    void init()
    {
        m_db.Reset();
        theDatabaseManager.GetConnection();
    }

    void cleanup() { theDatabaseManager.CloseConnection(); }

    void strangeRowsKeepWhatWasNotEdited()
    {
        // A site whose tables came before the explorer's, without its NOT NULL rules. A typed column
        // on PostgreSQL holds nothing else, so there the site made its numbers text.
        m_db.Reset();
        COtherProgram site(theDatabaseManager.GetDatabaseFile());
        const QString number = OnPostgres() ? u"TEXT"_s : u"INTEGER"_s;
        QVERIFY(site.Run(
            u"CREATE TABLE files (file_id INTEGER PRIMARY KEY, title TEXT, file_size %1, "
            "short_desc TEXT, long_desc TEXT, upld_name TEXT, upld_email TEXT, downloads %1, "
            "last_download INTEGER, file_date INTEGER, version TEXT, requires_form INTEGER)"_s.arg(number)));
        QVERIFY(site.Run(u"CREATE TABLE file_area (area_id INTEGER, file_id INTEGER)"_s));
        const QString longTitle(200, u'T');
        // Only SQLite stores bytes that are not UTF-8 in a text.
        const QString oddTitle = OnPostgres() ? u"'\u00c3\u00ff'"_s : u"CAST(X'C3FF41' AS TEXT)"_s;
        QVERIFY(site.Run(u"INSERT INTO files (file_id) VALUES (1)"_s));
        QVERIFY(site.Run(u"INSERT INTO files (file_id, title, file_size, downloads, version) "
                         "VALUES (2, %1, '12abc', 'many', ?)"_s.arg(oddTitle),
                         {QString(100, u'v')}));
        QVERIFY(site.Run(u"INSERT INTO files (file_id, title) VALUES (3, ?)"_s, {longTitle}));
        for (int id : {1, 2, 3})
            QVERIFY(site.Run(u"INSERT INTO file_area (area_id, file_id) VALUES (1, ?)"_s, {id}));

        QCOMPARE(ReadAndEditAll(), 3);
        const auto value = [&](const char* expression, int id) {
            return site.Value(u"SELECT %1 FROM files WHERE file_id = ?"_s.arg(QLatin1String(expression)), {id})
                .toString();
        };
        QCOMPARE(value("short_desc", 1), u"Edited"_s);
        const QVariant stillNull =
            site.Value(u"SELECT title IS NULL AND long_desc IS NULL AND version IS NULL "
                       "AND file_size IS NULL FROM files WHERE file_id = 1"_s);
        QVERIFY(stillNull.toBool());
        QCOMPARE(value(OnPostgres() ? "title" : "hex(title)", 2),
                 OnPostgres() ? u"\u00c3\u00ff"_s : u"C3FF41"_s);
        QCOMPARE(value("file_size || downloads", 2), u"12abcmany"_s);
        QCOMPARE(value("length(version)", 2), u"100"_s);
        QCOMPARE(value("title", 3), longTitle);
        QCOMPARE(value("short_desc", 3), u"Edited"_s);
    }

    // A files table the site made without a key, holding id 7 twice: the explorer cannot tell the
    // rows apart, so an edit or a delete of "file 7" changes none of them and says why.
    void duplicateIdsChangeNothing()
    {
        m_db.Reset();
        COtherProgram site(theDatabaseManager.GetDatabaseFile());
        QVERIFY(site.Run(u"CREATE TABLE files (file_id INTEGER, title TEXT, file_size INTEGER, short_desc TEXT, "
                         "long_desc TEXT, upld_name TEXT, upld_email TEXT, downloads INTEGER, "
                         "last_download INTEGER, file_date INTEGER, version TEXT, requires_form INTEGER)"_s));
        QVERIFY(site.Run(u"CREATE TABLE file_area (area_id INTEGER, file_id INTEGER)"_s));
        QVERIFY(site.Run(u"CREATE TABLE download (file_id INTEGER, url TEXT)"_s));
        QVERIFY(site.Run(u"INSERT INTO files (file_id, title) VALUES (7, 'First'), (7, 'Second'), (8, 'Alone')"_s));
        QVERIFY(site.Run(u"INSERT INTO download (file_id, url) VALUES (7, 'http://example.org/7.zip')"_s));
        const auto rows = [&](const QString& where) {
            return site.Value(u"SELECT count(*) FROM files WHERE %1"_s.arg(where)).toInt();
        };

        QCOMPARE(DuplicateFileIdMessage(theDatabaseManager, 7),
                 u"The database holds 2 files with the id 7: change them with the web site's tools."_s);
        QCOMPARE(DuplicateFileIdMessage(theDatabaseManager, 8), QString());

        CFileRecord seven(&theDatabaseManager);
        seven.file_id = 7;
        seven.title = u"Edited"_s;
        QVERIFY(!seven.Update());
        QVERIFY(!seven.Delete());
        // Deleting it from the list asks nothing about its copies and says why it stays.
        CNoDeletePrompts prompts;
        DeleteLibraryFile(seven, prompts);
        QCOMPARE(prompts.asked, 0);
        QCOMPARE(prompts.refused, QStringList{DuplicateFileIdMessage(theDatabaseManager, 7)});
        QCOMPARE(rows(u"file_id = 7 AND title IN ('First', 'Second')"_s), 2);
        QCOMPARE(site.Value(u"SELECT count(*) FROM download WHERE file_id = 7"_s).toInt(), 1);

        // A file whose id is its own is edited and deleted as ever.
        CFileRecord eight(&theDatabaseManager);
        eight.file_id = 8;
        eight.title = u"Edited"_s;
        QVERIFY(eight.Update());
        QCOMPARE(rows(u"file_id = 8 AND title = 'Edited'"_s), 1);
        QVERIFY(eight.Delete());
        QCOMPARE(rows(u"file_id = 8"_s), 0);
    }

    void missingColumnOrTable()
    {
        COtherProgram site(theDatabaseManager.GetDatabaseFile());
        const double id = AddFile(u"Kept"_s, 1, u"local://1/kept.zip"_s);
        QVERIFY(id > 0);
        theDatabaseManager.CloseConnection();
        QVERIFY(site.Run(u"ALTER TABLE files DROP COLUMN version"_s));
        QVERIFY(site.Run(u"DROP TABLE download"_s));

        // The file still lists and can be edited; what needs the missing parts fails, logged.
        QCOMPARE(ReadAndEditAll(), 1);
        QStringList urls;
        QVERIFY(!theDatabaseManager.GetDownloadURLs(id, urls));
        CFileRecord cursor(&theDatabaseManager);
        QVERIFY(cursor.GetAllFilesInArea(1));
        const auto file = ReadFileOfListRow(cursor, 0);
        QVERIFY(file);
        QCOMPARE(file->version, QString());
        file->version = u"2.0"_s;
        QVERIFY(!file->Update());
        QCOMPARE(site.Value(u"SELECT short_desc FROM files"_s).toString(), u"Edited"_s);
        QVERIFY(m_db.Log().contains("version"));
    }
};

QTEST_MAIN(TestHostileDb)
#include "tst_hostiledb.moc"

// Reading upload description files, scanning the upload areas, posting and deleting uploads.

#include "adding/SiteTextLines.h"
#include "ArchiveSupport.h"
#include "database/CTroveportDatabaseManager.h"
#include "DatabaseSupport.h"
#include "startup/Globals.h"
#include "startup/Registry.h"
#include "TestSupport.h"
#include "uploads/UploadScan.h"

#include <QDir>
#include <QTemporaryDir>

using namespace TestSupport;
using namespace DatabaseSupport;

namespace {

CPendingUpload Parse(const QByteArray& text)
{
    CPendingUpload upload;
    ParseUploadDescription(SplitSiteTextLines(text, kUploadLinePieceBytes), upload);
    return upload;
}

const CPendingUpload* Find(const CPendingUploadArray& list, const QString& descriptionName)
{
    for (const CPendingUpload& upload : list) {
        if (upload.description_path.endsWith(u'/' + descriptionName))
            return &upload;
    }
    return nullptr;
}

} // namespace

class TestUploads : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString Path(const QString& relative) const { return m_dir.filePath(relative); }
    QString Up(const QString& name) const { return Path(u"areas/up/"_s + name); }
    void Upload(const QString& name, const QByteArray& description, const QByteArray& content = "data")
    {
        WriteFile(Up(name), content);
        WriteFile(Up(name + u".desc"_s), description);
    }
    QStringList CheckedFiles() const
    {
        QStringList files;
        for (const QByteArray& line : ReadFile(Path(u"checker.log"_s)).split('\n')) {
            if (!line.isEmpty())
                files.append(QString::fromUtf8(line.chopped(1).split('\0').constLast()));
        }
        return files;
    }
    int FileCount()
    {
        return COtherProgram(theDatabaseManager.GetDatabaseFile())
            .Value(u"SELECT count(*) FROM files"_s)
            .toInt();
    }

private slots:
    void initTestCase()
    {
        TROVEPORT_REQUIRE_ENGINE();
        QVERIFY(m_dir.isValid());
        UseSettingsFilesIn(m_dir.path());
        qputenv("FAKE_VIRUSCHECK_LOG", QFile::encodeName(Path(u"checker.log"_s)));
        QCOMPARE(RegWriteString(u"VirusChecker"_s, QStringLiteral(TROVEPORT_FAKE_VIRUSCHECK), g_pszRegKey),
                 kRegSuccess);
        QCOMPARE(RegWriteDword(u"VirusExitCode"_s, 1, g_pszRegKey), kRegSuccess);
        for (const char* dir : {"areas/up", "areas/other", "areas/closed", "outside"})
            QVERIFY(QDir(m_dir.path()).mkpath(QLatin1String(dir)));
        WriteFile(Path(u"Filearea.dat"_s),
                  HeaderRecord() + AreaRecord(3, "Uploads", QFile::encodeName(Up(QString())), 3) +
                      AreaRecord(4, "More uploads", QFile::encodeName(Path(u"areas/other"_s)), 2) +
                      AreaRecord(5, "Closed", QFile::encodeName(Path(u"areas/closed"_s)), 1));
        QVERIFY(theFileAreaTable.Open(Path(u"Filearea.dat"_s)));
        UseFreshDatabase(m_dir.path());
    }

    void init()
    {
        for (const QString& dir : {u"areas/up"_s, u"areas/other"_s, u"areas/closed"_s}) {
            QDir(Path(dir)).removeRecursively();
            QVERIFY(QDir().mkpath(Path(dir)));
        }
        QFile::remove(Path(u"checker.log"_s));
    }

    void cleanupTestCase() { theFileAreaTable.Close(); }

    // The header's keys, case and limits; the body's pieces, trailing spaces and room.
    void descriptionRules()
    {
        const CPendingUpload keys = Parse("title: lower case\nVersion:1.0\nTitle: \nReqForm: yes\n"
                                          "Title: A title that is far longer than thirty characters\n"
                                          "Version: 2.5 beta  \nCompany: Acme: Tools\nNoSeparator\n");
        QCOMPARE(keys.title, u"A title that is far longer tha"_s);
        QCOMPARE(keys.version, u"2.5 beta  "_s);
        QCOMPARE(keys.company, u"Acme: Tools"_s);
        QVERIFY(keys.requires_form);
        QCOMPARE(keys.long_desc, QString()); // no empty line: no body even though text follows
        for (const auto& [value, expected] :
             {std::pair{"1", true}, {"Y", true}, {"true", false}, {"0", false}, {"", false}})
            QCOMPARE(Parse(QByteArray("ReqForm: ") + value + "\n").requires_form, expected);

        const QByteArray longLine = QByteArray(250, 'a') + "    " + QByteArray(42, 'b') + "    ";
        const CPendingUpload body = Parse("Title: T\r\n\r\nFirst paragraph   \r\nTitle: not a key\r\n\r\n" +
                                          longLine + "\nlast line");
        QCOMPARE(body.title, u"T"_s);
        QCOMPARE(body.long_desc, u"First paragraph\r\nTitle: not a key\r\n\r\n"_s + QString(250, u'a') +
                                     u"\r\n"_s + QString(42, u'b') + u"\r\nlast line\r\n"_s);

        // The body holds at most 65,534 characters, however long the file.
        QByteArray huge = "\n";
        for (int i = 0; i < 400; ++i)
            huge += QByteArray(200, 'x') + '\n';
        QCOMPARE(Parse(huge).long_desc.size(), CPendingUpload::kLongDescLength - 1);
        QVERIFY(Parse(huge).long_desc.endsWith(u'x'));
    }

    // Uploads in name order per area, in table order; descriptions from an archive; orphans gone;
    // areas without uploads left alone; the checker run on each upload; progress and stopping.
    void scanningTheAreas()
    {
        QVERIFY(ArchiveSupport::WriteArchive(Up(u"b.zip"_s),
                                             {{"FILE_ID.DIZ", "From the archive\r\nSecond\r\n"}}));
        WriteFile(Up(u"b.zip.desc"_s), "Filename: b.zip\nTitle: Bee\n");
        Upload(u"a.txt"_s, "Filename: a.txt\nShortDesc: Brief\n\nBody\n", QByteArray(1234, 'a'));
        WriteFile(Up(u"orphan.zip.desc"_s), "Filename: orphan.zip\n");
        QVERIFY(QDir().mkpath(Up(u"folder"_s)));
        WriteFile(Up(u"folder.desc"_s), "Filename: folder\n");
        WriteFile(Path(u"areas/other/c.bin"_s), "c");
        WriteFile(Path(u"areas/other/c.bin.desc"_s), "Title: No name\n");
        WriteFile(Path(u"areas/closed/d.bin"_s), "d");
        WriteFile(Path(u"areas/closed/d.bin.desc"_s), "Filename: d.bin\n");

        CPendingUploadArray list;
        QList<int> totals;
        QVERIFY(ScanUploadAreas(list, [&](const QString&, int index, int total) {
            totals.append(index * 100 + total);
            return true;
        }));
        QCOMPARE(totals, (QList<int>{5, 105, 205, 305, 405}));
        QCOMPARE(list.size(), 3);
        QCOMPARE(list[0].file_name, u"a.txt"_s);
        QCOMPARE(list[1].file_name, u"b.zip"_s);
        QCOMPARE(list[2].title, u"No name"_s);
        QCOMPARE(list[0].file_size, 1234.0);
        QCOMPARE(list[0].long_desc, u"Body\r\n"_s);
        QCOMPARE(list[1].short_desc, u"From the archive"_s);
        QCOMPARE(list[1].long_desc, u"From the archive\r\nSecond\r\n"_s);
        QCOMPARE(list[1].urls, QStringList{u"local://3/b.zip"_s});
        QCOMPARE(list[1].area_ids, QList<quint32>{3});
        QCOMPARE(list[2].urls, QStringList{u"local://4/"_s}); // no Filename: the area's directory
        QVERIFY(list[2].IsSafe());
        QCOMPARE(CheckedFiles(), (QStringList{Up(u"a.txt"_s), Up(u"b.zip"_s), Path(u"areas/other/c.bin"_s)}));
        QVERIFY(!QFile::exists(Up(u"orphan.zip.desc"_s)));
        QVERIFY(!QFile::exists(Up(u"folder.desc"_s)));
        QVERIFY(QFileInfo(Up(u"folder"_s)).isDir());
        QVERIFY(QFile::exists(Path(u"areas/closed/d.bin.desc"_s)));

        CPendingUploadArray stopped;
        QVERIFY(!ScanUploadAreas(stopped, [](const QString&, int index, int) { return index < 1; }));
        QCOMPARE(stopped.size(), 1);
    }

    // Visitors write the description files: names that leave the area, links out of it and
    // garbage are listed with a warning, never posted, and deleting them touches nothing outside.
    void hostileUploads()
    {
        WriteFile(Path(u"outside/secret.txt"_s), "secret");
        Upload(u"up.zip"_s, "Filename: ../../outside/secret.txt\n");
        Upload(u"abs.zip"_s, "Filename: " + QFile::encodeName(Path(u"outside/secret.txt"_s)) + "\n");
        Upload(u"dots.zip"_s, "Filename: ..\n");
        WriteFile(Up(u"keep.zip"_s), "a posted file");
        Upload(u"other.zip"_s, "Filename: keep.zip\n");
        QVERIFY(QFile::link(Path(u"outside/secret.txt"_s), Up(u"link.zip"_s)));
        WriteFile(Up(u"link.zip.desc"_s), "Filename: link.zip\n");
        WriteFile(Up(u"linked"_s), "x");
        QVERIFY(QFile::link(Path(u"outside/secret.txt"_s), Up(u"linked.desc"_s)));
        static const char header[] =
            "Filename: garbage.bin\nTitle: \xff\xfe\x80 caf\xc3\xa9\x00hidden\nVersion: ";
        QByteArray garbage(header, sizeof header - 1);
        garbage += QByteArray(3 * 1024 * 1024, '\x01') + "\n\n" + QByteArray(5000, '\0') + "\xc3";
        Upload(u"garbage.bin"_s, garbage);

        CPendingUploadArray list;
        QVERIFY(ScanUploadAreas(list));
        QCOMPARE(list.size(), 6); // the linked description file is not read
        QVERIFY(QFile::exists(Up(u"linked.desc"_s)));
        for (const char* name :
             {"up.zip.desc", "abs.zip.desc", "dots.zip.desc", "other.zip.desc", "link.zip.desc"}) {
            const CPendingUpload* upload = Find(list, QLatin1String(name));
            QVERIFY2(upload && !upload->IsSafe(), name);
            QVERIFY(!PostPendingUpload(*upload));
        }
        QCOMPARE(FileCount(), 0);
        QVERIFY(!CheckedFiles().contains(Up(u"link.zip"_s)));
        const CPendingUpload* garbled = Find(list, u"garbage.bin.desc"_s);
        QVERIFY(garbled && garbled->IsSafe());
        QCOMPARE(garbled->title, u"\u00ff\u00fe\u20ac caf\u00e9"_s);
        QCOMPARE(garbled->version.size(), CPendingUpload::kVersionLength);

        for (const CPendingUpload& upload : list)
            DeleteUploadFiles(upload);
        QCOMPARE(QDir(Up(QString())).entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot),
                 (QStringList{u"keep.zip"_s, u"linked"_s, u"linked.desc"_s}));
        QCOMPARE(ReadFile(Path(u"outside/secret.txt"_s)), QByteArray("secret"));
    }

    // A post creates the record with its areas and locations and leaves the upload in place; one
    // that fails part-way leaves no record behind.
    void posting()
    {
        Upload(u"tool.zip"_s, "Filename: tool.zip\nTitle: Tool\nVersion: 1.2\nCompany: Ann\nEmail: a@b.c\n"
                              "ReqForm: 1\nShortDesc: Brief\n\nLine one\nLine two\n");
        CPendingUploadArray list;
        QVERIFY(ScanUploadAreas(list));
        QCOMPARE(list.size(), 1);
        CPendingUpload upload = list[0];
        upload.area_ids.append(5);
        upload.urls.append(u"http://mirror.example.com/tool.zip"_s);
        QVERIFY(PostPendingUpload(upload));
        RemovePostedDescription(upload);
        QVERIFY(!QFile::exists(Up(u"tool.zip.desc"_s)));
        QVERIFY(QFile::exists(Up(u"tool.zip"_s)));

        COtherProgram site(theDatabaseManager.GetDatabaseFile());
        QCOMPARE(
            site.Value(u"SELECT title || '|' || version || '|' || upld_name || '|' || upld_email || '|' || "
                       "requires_form || '|' || short_desc || '|' || long_desc FROM files"_s)
                .toString(),
            u"Tool|1.2|Ann|a@b.c|1|Brief|Line one\nLine two\n"_s);
        QCOMPARE(site.Value(JoinedValues(u"area_id"_s, u"file_area"_s)).toString(), u"3,5"_s);
        QCOMPARE(site.Value(u"SELECT count(*) FROM download"_s).toInt(), 2);

        QVERIFY(site.RefuseWrites(u"INSERT"_s, u"download"_s, u"NEW.url LIKE 'http:%'"_s, u"refused"_s));
        upload.title = u"Refused"_s;
        QVERIFY(!PostPendingUpload(upload));
        QVERIFY(site.AllowWrites(u"download"_s));
        QCOMPARE(site.Value(u"SELECT count(*) FROM files"_s).toInt(), 1);
        QCOMPARE(site.Value(u"SELECT count(*) FROM file_area"_s).toInt(), 2);
        QCOMPARE(site.Value(u"SELECT count(*) FROM download"_s).toInt(), 2);
    }
};

QTEST_MAIN(TestUploads)
#include "tst_uploads.moc"

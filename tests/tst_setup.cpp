// troveport-setup: making and changing libraries, refusing bad input without damaging anything,
// and keeping away from a table that the explorer has open.

#include "CLibraryEditor.h"
#include "database/CFileRecord.h"
#include "database/CTroveportDatabaseManager.h"
#include "SetupCommands.h"
#include "startup/CFileAreaTable.h"
#include "startup/CGroupFile.h"
#include "startup/Globals.h"
#include "startup/Registry.h"
#include "TestSupport.h"

#include <QTemporaryDir>

using namespace TestSupport;

class TestSetup : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_out, m_err;

    QString Db() const { return m_dir->filePath(QStringLiteral("db")); }
    QString Table() const { return CLibraryEditor::TableName(Db()); }

    int Run(const QStringList& arguments)
    {
        m_out.clear();
        m_err.clear();
        QTextStream out(&m_out), err(&m_err);
        return RunSetup(arguments, out, err);
    }

    QList<quint32> GroupIds(const QString& name) const
    {
        CGroupFile group;
        QList<quint32> ids;
        if (group.Open(Db() + QLatin1Char('/') + name + QStringLiteral(".group")))
            for (quint32 i = 0; i < group.GetRecordCount(); ++i)
                ids.append(group.GetAreaId(i));
        return ids;
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        UseSettingsFilesIn(m_dir->path());
    }

    void initAddAndList()
    {
        QCOMPARE(Run({QStringLiteral("init"), Db(), QStringLiteral("--http-path"),
                      m_dir->filePath(QStringLiteral("web"))}),
                 0);
        QCOMPARE(RegGetString(QStringLiteral("DatabasePath"), g_pszRegKey), Db());
        QCOMPARE(QFileInfo(Table()).size(), 868);

        const QString games = m_dir->filePath(QStringLiteral("areas/games"));
        QCOMPARE(Run({QStringLiteral("area"), QStringLiteral("add"), QStringLiteral("Games"), games,
                      QStringLiteral("--downloads"), QStringLiteral("--local"), QStringLiteral("--group=Fun"),
                      QStringLiteral("--group"), QStringLiteral("All")}),
                 0);
        QCOMPARE(Run({QStringLiteral("area"), QStringLiteral("add"), QStringLiteral("Incoming"),
                      games + QStringLiteral("/../in"), QStringLiteral("--uploads"), QStringLiteral("--id"),
                      QStringLiteral("4294967295"), QStringLiteral("--ftp-alias"), QStringLiteral("/pub/in"),
                      QStringLiteral("--group"), QStringLiteral("All")}),
                 0);
        QVERIFY(QFileInfo(games).isDir());

        CFileAreaTable table;
        QVERIFY(table.Open(Table()));
        QCOMPARE(table.GetRecordCount(), 3u);
        const FileAreaRecord* first = table.FindArea(1u);
        QVERIFY(first);
        QCOMPARE(first->Name(), QStringLiteral("Games"));
        QCOMPARE(first->Flags(), quint32(kAreaAllowDownloads | kAreaHostsLocalFiles));
        const FileAreaRecord* incoming = table.FindArea(4294967295u);
        QVERIFY(incoming);
        QCOMPARE(incoming->Path(), m_dir->filePath(QStringLiteral("areas/in"))); // made absolute and clean
        QCOMPARE(incoming->FtpAlias(), QStringLiteral("/pub/in"));
        QCOMPARE(GroupIds(QStringLiteral("Fun")), QList<quint32>{1});
        QCOMPARE(GroupIds(QStringLiteral("All")), (QList<quint32>{1, 4294967295u}));

        // Listing only reads, so it works while the explorer has the table open.
        QCOMPARE(Run({QStringLiteral("area"), QStringLiteral("list")}), 0);
        QVERIFY(m_out.contains(QStringLiteral("4294967295\t-U-\tIncoming")));
        QCOMPARE(Run({QStringLiteral("group"), QStringLiteral("list")}), 0);
        QVERIFY(m_out.contains(QStringLiteral("All: 1 (Games) 4294967295 (Incoming)")));
    }

    void badInputChangesNothing_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::newRow("no command") << QStringList{} << 2 << "No command given";
        QTest::newRow("unknown option")
            << QStringList{"area", "add", "X", "/tmp/x", "--colour"} << 2 << "Unknown option --colour";
        QTest::newRow("option of another command")
            << QStringList{"area", "list", "--dword"} << 2 << "does not apply";
        QTest::newRow("missing path") << QStringList{"area", "add", "X"} << 2 << "Wrong number of arguments";
        QTest::newRow("id not a number") << QStringList{"area", "set", "abc"} << 2 << "is not an area id";
        QTest::newRow("id zero") << QStringList{"area", "remove", "0"} << 2 << "is not an area id";
        QTest::newRow("id too large")
            << QStringList{"group", "set", "G", "4294967296"} << 2 << "is not an area id";
        QTest::newRow("value missing")
            << QStringList{"area", "add", "X", "/tmp/x", "--id"} << 2 << "needs a value";
        QTest::newRow("name too long")
            << QStringList{"area", "add", QString(80, 'n'), "/tmp/x"} << 1 << "longer than 79 bytes";
        QTest::newRow("empty name") << QStringList{"area", "add", "  ", "/tmp/x"} << 1 << "needs a name";
        QTest::newRow("alias too long")
            << QStringList{"area", "add", "X", "/tmp/x", "--http-alias", QString(260, 'a')} << 1
            << "HTTP alias";
        QTest::newRow("id in use") << QStringList{"area", "add", "X", "/tmp/x", "--id", "1"} << 1
                                   << "already used";
        QTest::newRow("unknown area")
            << QStringList{"area", "set", "77", "--name", "Y"} << 1 << "no area with id 77";
        QTest::newRow("group of unknown area")
            << QStringList{"group", "set", "G", "1", "77"} << 1 << "no area with id 77";
        QTest::newRow("group name leaving the directory")
            << QStringList{"group", "set", "../evil", "1"} << 1 << "cannot be a group name";
        QTest::newRow("bad group for a new area")
            << QStringList{"area", "add", "X", "/tmp/x", "--group", ".hidden"} << 1
            << "cannot be a group name";
        QTest::newRow("library path too long")
            << QStringList{"--library", "/" + QString(300, 'l'), "area", "add", "X", "/tmp/x"} << 1
            << "shorter than 260 bytes";
        QTest::newRow("contradicting flags")
            << QStringList{"area", "set", "1", "--local", "--no-local"} << 2 << "contradict";
    }

    void badInputChangesNothing()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, message);
        QCOMPARE(Run({QStringLiteral("init"), Db()}), 0);
        QCOMPARE(
            Run({QStringLiteral("area"), QStringLiteral("add"), QStringLiteral("One"),
                 m_dir->filePath(QStringLiteral("one")), QStringLiteral("--group"), QStringLiteral("G")}),
            0);
        const QByteArray before = ReadFile(Table());
        const QStringList filesBefore = QDir(Db()).entryList(QDir::Files, QDir::Name);

        QCOMPARE(Run(arguments), status);
        QVERIFY2(m_err.contains(message), qPrintable(m_err));
        QCOMPARE(ReadFile(Table()), before);
        QCOMPARE(QDir(Db()).entryList(QDir::Files, QDir::Name), filesBefore);
        QCOMPARE(GroupIds(QStringLiteral("G")), QList<quint32>{1});
    }

    void refusesATableInUse()
    {
        QCOMPARE(Run({QStringLiteral("init"), Db()}), 0);
        const QByteArray before = ReadFile(Table());
        CFileAreaTable explorer; // as the explorer holds it while it runs
        QVERIFY(explorer.Open(Table()));
        QCOMPARE(Run({QStringLiteral("area"), QStringLiteral("add"), QStringLiteral("X"),
                      m_dir->filePath(QStringLiteral("x"))}),
                 1);
        QVERIFY2(m_err.contains(QStringLiteral("Close it and try again")), qPrintable(m_err));
        QCOMPARE(Run({QStringLiteral("group"), QStringLiteral("set"), QStringLiteral("G")}), 1);
        QVERIFY(!QFileInfo::exists(Db() + QStringLiteral("/G.group")));
        explorer.Close();
        QCOMPARE(ReadFile(Table()), before);
        QCOMPARE(Run({QStringLiteral("area"), QStringLiteral("add"), QStringLiteral("X"),
                      m_dir->filePath(QStringLiteral("x"))}),
                 0);
    }

    void rewriteKeepsWhatTheExplorerIgnores()
    {
        // A header and flag bits written by another set-up program survive changes.
        QVERIFY(QDir().mkpath(Db()));
        WriteFile(Table(), HeaderRecord() + AreaRecord(10, "Old", "/srv/old", 0x100 | kAreaAllowDownloads) +
                               AreaRecord(11, "Other", "/srv/other") + QByteArray(17, 'z'));
        QCOMPARE(Run({QStringLiteral("--library"), Db(), QStringLiteral("area"), QStringLiteral("set"),
                      QStringLiteral("10"), QStringLiteral("--name"), QStringLiteral("Renamed"),
                      QStringLiteral("--path"), m_dir->filePath(QStringLiteral("renamed")),
                      QStringLiteral("--uploads"), QStringLiteral("--no-downloads")}),
                 0);
        const QByteArray after = ReadFile(Table());
        QCOMPARE(after.size(), 868 * 3); // the damaged tail is gone
        QCOMPARE(after.left(868), HeaderRecord());
        CFileAreaTable table;
        QVERIFY(table.Open(Table()));
        QCOMPARE(table.FindArea(10u)->Name(), QStringLiteral("Renamed"));
        QCOMPARE(table.FindArea(10u)->Flags(), quint32(0x100 | kAreaAllowUploads));
        QCOMPARE(table.FindArea(11u)->Path(), QStringLiteral("/srv/other"));
    }

    void removingAnAreaRemovesItFromGroups()
    {
        QCOMPARE(Run({QStringLiteral("init"), Db()}), 0);
        for (const char* name : {"A", "B"})
            QCOMPARE(Run({QStringLiteral("area"), QStringLiteral("add"), QLatin1String(name),
                          m_dir->filePath(QLatin1String(name))}),
                     0);
        QCOMPARE(Run({QStringLiteral("group"), QStringLiteral("set"), QStringLiteral("Both"),
                      QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("1")}),
                 0);
        QCOMPARE(Run({QStringLiteral("group"), QStringLiteral("add"), QStringLiteral("Both"),
                      QStringLiteral("2")}),
                 0);
        QCOMPARE(GroupIds(QStringLiteral("Both")), (QList<quint32>{1, 2, 1, 2}));
        QCOMPARE(Run({QStringLiteral("area"), QStringLiteral("remove"), QStringLiteral("1")}), 0);
        QCOMPARE(GroupIds(QStringLiteral("Both")), (QList<quint32>{2, 2}));
        CFileAreaTable table;
        QVERIFY(table.Open(Table()));
        QCOMPARE(table.GetRecordCount(), 2u);
        QVERIFY(!table.FindArea(1u));
    }

    void machineSettings()
    {
        QCOMPARE(Run({QStringLiteral("set"), QStringLiteral("VirusExitCode"), QStringLiteral("0x10"),
                      QStringLiteral("--dword")}),
                 0);
        QCOMPARE(Run({QStringLiteral("set"), QStringLiteral("VirusCmdLine"), QStringLiteral("--"),
                      QStringLiteral("--no-summary \"a b\"")}),
                 0);
        quint32 code = 0;
        QVERIFY(RegReadDword(QStringLiteral("VirusExitCode"), &code, g_pszRegKey));
        QCOMPARE(code, 16u);
        QCOMPARE(Run({QStringLiteral("get"), QStringLiteral("viruscmdline")}), 0);
        QCOMPARE(m_out, QStringLiteral("--no-summary \"a b\"\n"));
        QCOMPARE(Run({QStringLiteral("get"), QStringLiteral("Missing")}), 1);
        QCOMPARE(Run({QStringLiteral("set"), QStringLiteral("X"), QStringLiteral("ten"),
                      QStringLiteral("--dword")}),
                 2);
        // Without a library in the settings, area commands say how to make one.
        QCOMPARE(Run({QStringLiteral("area"), QStringLiteral("list")}), 1);
        QVERIFY(m_err.contains(QStringLiteral("troveport-setup init DIR")));
    }

    void generatedFiles()
    {
        QCOMPARE(Run({QStringLiteral("init"), Db()}), 0);
        QCOMPARE(Run({QStringLiteral("area"), QStringLiteral("add"), QStringLiteral("Big"),
                      m_dir->filePath(QStringLiteral("big"))}),
                 0);
        QCOMPARE(Run({QStringLiteral("files"), QStringLiteral("generate"), QStringLiteral("1"),
                      QStringLiteral("250")}),
                 0);
        QCOMPARE(Run({QStringLiteral("files"), QStringLiteral("generate"), QStringLiteral("2"),
                      QStringLiteral("5")}),
                 1);
        QVERIFY(m_err.contains(QStringLiteral("no area with id 2")));
        QCOMPARE(Run({QStringLiteral("files"), QStringLiteral("generate"), QStringLiteral("1"),
                      QStringLiteral("lots")}),
                 2);

        theDatabaseManager.SetDatabaseFile(Db() + QStringLiteral("/troveport.db"));
        QCOMPARE(theDatabaseManager.GetNumberOfFilesInArea(1), 250);
        CFileRecord cursor(&theDatabaseManager);
        QVERIFY(cursor.GetAllFilesInArea(1));
        QVERIFY(cursor.SetAbsolutePosition(250));
        QVERIFY(!cursor.title.isEmpty() && cursor.title.size() <= 30);
        QStringList urls;
        QVERIFY(theDatabaseManager.GetDownloadURLs(cursor.file_id, urls));
        QCOMPARE(urls.size(), 1);
        theDatabaseManager.CloseConnection();
    }

    void demoLibrary()
    {
        const QString base = m_dir->filePath(QStringLiteral("demo"));
        QCOMPARE(Run({QStringLiteral("--demo"), base}), 0);
        QCOMPARE(RegGetString(QStringLiteral("DatabasePath"), g_pszRegKey), base + QStringLiteral("/db"));

        CFileAreaTable table;
        QVERIFY(table.Open(RegGetString(QStringLiteral("DatabasePath"), g_pszRegKey) +
                           QStringLiteral("/Filearea.dat")));
        QVERIFY(table.GetRecordCount() >= 4);
        bool hostsLocal = false, acceptsUploads = false;
        for (quint32 i = 1; i < table.GetRecordCount(); ++i) {
            const FileAreaRecord* area = table.GetRecord(i);
            QVERIFY2(QFileInfo(area->Path()).isDir(), qPrintable(area->Path()));
            hostsLocal |= area->HasFlag(kAreaHostsLocalFiles);
            acceptsUploads |= area->HasFlag(kAreaAllowUploads);
        }
        QVERIFY(hostsLocal && acceptsUploads);
        const QStringList groups =
            QDir(base + QStringLiteral("/db")).entryList({QStringLiteral("*.group")}, QDir::Files);
        QVERIFY(groups.size() >= 2);
        for (const QString& group : groups) {
            CGroupFile file;
            QVERIFY(file.Open(base + QStringLiteral("/db/") + group));
            QVERIFY(file.GetRecordCount() > 0);
            for (quint32 i = 0; i < file.GetRecordCount(); ++i)
                QVERIFY(table.FindArea(file.GetAreaId(i)));
        }
        QVERIFY(QFileInfo(RegGetString(QStringLiteral("HttpPath"), g_pszRegKey)).isDir());

        // Every file is in an area the table knows, and every local location names a file that is there.
        theDatabaseManager.SetDatabaseFile(base + QStringLiteral("/db/troveport.db"));
        int files = 0;
        for (quint32 i = 1; i < table.GetRecordCount(); ++i) {
            const FileAreaRecord* area = table.GetRecord(i);
            CFileRecord cursor(&theDatabaseManager);
            QVERIFY(cursor.GetAllFilesInArea(area->AreaId()));
            for (qint64 row = 1; row <= cursor.GetRecordCount(); ++row, ++files) {
                QVERIFY(cursor.SetAbsolutePosition(row));
                QVERIFY(!cursor.title.isEmpty() && !cursor.short_desc.isEmpty());
                QStringList urls;
                QVERIFY(theDatabaseManager.GetDownloadURLs(cursor.file_id, urls));
                QCOMPARE(urls.size(), 1);
                const QString local = QStringLiteral("local://%1/").arg(area->AreaId());
                if (area->HasFlag(kAreaHostsLocalFiles)) {
                    QVERIFY2(urls[0].startsWith(local), qPrintable(urls[0]));
                    QCOMPARE(QFileInfo(area->Path() + QLatin1Char('/') + urls[0].mid(local.size())).size(),
                             qint64(cursor.file_size));
                }
            }
        }
        QVERIFY(files >= 20);
        theDatabaseManager.CloseConnection();
        table.Close();

        // A demonstration elsewhere would take the machine's settings from this library: refused.
        QCOMPARE(Run({QStringLiteral("--demo"), m_dir->filePath(QStringLiteral("other"))}), 1);
        QVERIFY(m_err.contains(QStringLiteral("already name the library")));
        QCOMPARE(RegGetString(QStringLiteral("DatabasePath"), g_pszRegKey), base + QStringLiteral("/db"));
        QVERIFY(!QFileInfo::exists(m_dir->filePath(QStringLiteral("other"))));

        // A second demonstration in the same place would overwrite the first: refused.
        const QByteArray before = ReadFile(base + QStringLiteral("/db/Filearea.dat"));
        QCOMPARE(Run({QStringLiteral("--demo"), base}), 1);
        QVERIFY(m_err.contains(QStringLiteral("already exists")));
        QCOMPARE(ReadFile(base + QStringLiteral("/db/Filearea.dat")), before);
    }
};

QTEST_GUILESS_MAIN(TestSetup)
#include "tst_setup.moc"

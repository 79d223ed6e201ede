// troveport-setup: making and changing libraries, refusing bad input without damaging anything,
// and keeping away from a table that the explorer has open.

#include "CLibraryEditor.h"
#include "database/CFileRecord.h"
#include "database/CTroveportDatabaseManager.h"
#include "DatabaseSupport.h"
#include "reviews/ReviewFile.h"
#include "settings/CFileAreaTable.h"
#include "settings/CGroupFile.h"
#include "settings/Globals.h"
#include "settings/Registry.h"
#include "SetupCommands.h"
#include "TestSupport.h"

#include <QProcess>
#include <QScopeGuard>
#include <QSqlRecord>
#include <QTemporaryDir>

#include <algorithm>
#include <csignal>
#include <sys/resource.h>

using namespace Qt::StringLiterals;

using namespace TestSupport;

// For the cases about PostgreSQL, which need a server to copy to.
#define REQUIRE_POSTGRES()                                                                                   \
    do {                                                                                                     \
        if (DatabaseSupport::PostgresServer().isEmpty())                                                     \
            QSKIP("No PostgreSQL server: TROVEPORT_TEST_POSTGRES is not set (scripts/with-postgres.sh "      \
                  "starts one)");                                                                            \
    } while (false)

class TestSetup : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_out, m_err;

    QString Db() const { return m_dir->filePath(u"db"_s); }
    QString Table() const { return CLibraryEditor::TableName(Db()); }

    // A command line in one text, split as a shell would (no test path holds a blank).
    int Run(const QString& commandLine) { return Run(QProcess::splitCommand(commandLine)); }

    int Run(const QStringList& arguments)
    {
        m_out.clear();
        m_err.clear();
        QTextStream out(&m_out), err(&m_err);
        return RunSetup(arguments, out, err);
    }

    // A new, empty database of the case's own on the test server; its URI.
    QString FreshPostgresDatabase(const QString& name)
    {
        const QString database = u"setup_%1_%2"_s.arg(name).arg(QCoreApplication::applicationPid());
        bool made = false;
        if (DatabaseSupport::OpenAdminConnection(u"setup-admin"_s, u"postgres"_s)) {
            QSqlQuery query(QSqlDatabase::database(u"setup-admin"_s));
            query.exec(u"DROP DATABASE IF EXISTS %1 WITH (FORCE)"_s.arg(database));
            made = query.exec(u"CREATE DATABASE %1"_s.arg(database));
        }
        QSqlDatabase::removeDatabase(u"setup-admin"_s);
        if (!made)
            return QString();
        m_databases.append(database);
        return DatabaseSupport::PostgresServer() + database;
    }

    // Every row a statement gives, one text per row, values told apart by type: bytes in hex,
    // NULL as such.
    static QStringList Rows(const QString& connection, const QString& statement)
    {
        QSqlQuery query(QSqlDatabase::database(connection));
        if (!query.exec(statement))
            return {u"failed: "_s + query.lastError().text()};
        QStringList rows;
        while (query.next()) {
            QStringList values;
            for (int i = 0; i < query.record().count(); ++i) {
                const QVariant value = query.value(i);
                values.append(value.isNull() ? u"NULL"_s
                              : value.typeId() == QMetaType::QByteArray
                                  ? u"0x"_s + value.toByteArray().toHex()
                                  : value.toString());
            }
            rows.append(values.join(u'|'));
        }
        return rows;
    }

    // What the statement gives on the SQLite file and on the server, in that order.
    static std::pair<QStringList, QStringList> BothRows(const QString& statement)
    {
        return {Rows(u"sqlite"_s, statement), Rows(u"server"_s, statement)};
    }

    static int SearchIndexes(const QString& connection)
    {
        QSqlQuery query(QSqlDatabase::database(connection));
        query.exec(u"SELECT count(*) FROM pg_indexes WHERE indexname LIKE '%\\_trgm'"_s);
        return query.next() ? query.value(0).toInt() : -1;
    }

    QStringList m_databases;

    QList<quint32> GroupIds(const QString& name) const
    {
        CGroupFile group;
        QList<quint32> ids;
        if (group.Open(Db() + QLatin1Char('/') + name + u".group"_s))
            for (quint32 i = 0; i < group.GetRecordCount(); ++i)
                ids.append(group.GetAreaId(i));
        return ids;
    }

    // The built tool in a process of its own, as administrators and scripts run it.
    static void StartProgram(QProcess& process, const QStringList& arguments)
    {
        process.start(QStringLiteral(TROVEPORT_SETUP_PROGRAM), arguments);
    }

    // sh runs the tool as "$0", the arguments as "$1"...: for bytes that are not UTF-8.
    int RunInShell(const QString& script, const QStringList& arguments)
    {
        QProcess shell;
        shell.start(u"sh"_s,
                    QStringList{u"-c"_s, script, QStringLiteral(TROVEPORT_SETUP_PROGRAM)} + arguments);
        if (!shell.waitForFinished(60000))
            return -1;
        m_err = QString::fromUtf8(shell.readAllStandardError());
        return shell.exitStatus() == QProcess::NormalExit ? shell.exitCode() : -1;
    }

private slots:
    void initTestCase() { TROVEPORT_REQUIRE_ENGINE(); }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        UseSettingsFilesIn(m_dir->path());
    }

    void cleanup()
    {
        theDatabaseManager.CloseConnection();
        for (const char* name : {"sqlite", "server"})
            QSqlDatabase::removeDatabase(QLatin1String(name));
        if (m_databases.isEmpty() || !DatabaseSupport::OpenAdminConnection(u"setup-admin"_s, u"postgres"_s))
            return;
        QSqlQuery query(QSqlDatabase::database(u"setup-admin"_s));
        for (const QString& database : std::as_const(m_databases))
            query.exec(u"DROP DATABASE IF EXISTS %1 WITH (FORCE)"_s.arg(database));
        query = QSqlQuery();
        QSqlDatabase::removeDatabase(u"setup-admin"_s);
        m_databases.clear();
    }

    void initAddAndList()
    {
        QCOMPARE(Run(u"init %1 --http-path %2"_s.arg(Db()).arg(m_dir->filePath(u"web"_s))), 0);
        QCOMPARE(RegGetString(u"DatabasePath"_s, g_pszRegKey), Db());
        QCOMPARE(QFileInfo(Table()).size(), 868);

        const QString games = m_dir->filePath(u"areas/games"_s);
        QCOMPARE(Run(u"area add Games %1 --downloads --local --group=Fun --group All"_s.arg(games)), 0);
        QCOMPARE(Run(QStringLiteral(
                         "area add Incoming %1 --uploads --id 4294967295 --ftp-alias /pub/in --group All")
                         .arg(games + u"/../in"_s)),
                 0);
        QVERIFY(QFileInfo(games).isDir());

        CFileAreaTable table;
        QVERIFY(table.Open(Table()));
        QCOMPARE(table.GetRecordCount(), 3u);
        const FileAreaRecord* first = table.FindArea(1u);
        QVERIFY(first);
        QCOMPARE(first->Name(), u"Games"_s);
        QCOMPARE(first->Flags(), quint32(kAreaAllowDownloads | kAreaHostsLocalFiles));
        const FileAreaRecord* incoming = table.FindArea(4294967295u);
        QVERIFY(incoming);
        QCOMPARE(incoming->Path(), m_dir->filePath(u"areas/in"_s)); // made absolute and clean
        QCOMPARE(incoming->FtpAlias(), u"/pub/in"_s);
        QCOMPARE(GroupIds(u"Fun"_s), QList<quint32>{1});
        QCOMPARE(GroupIds(u"All"_s), (QList<quint32>{1, 4294967295u}));

        // Listing only reads, so it works while the explorer has the table open.
        QCOMPARE(Run(u"area list"_s), 0);
        QVERIFY(m_out.contains(u"4294967295\t-U-\tIncoming"_s));
        QCOMPARE(Run(u"group list"_s), 0);
        QVERIFY(m_out.contains(u"All: 1 (Games) 4294967295 (Incoming)"_s));
    }

    void badInputChangesNothing_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown option")
            << QStringList{"area", "add", "X", "/tmp/x", "--colour"} << 2 << "Unknown option --colour";
        QTest::newRow("missing path") << QStringList{"area", "add", "X"} << 2 << "Wrong number of arguments";
        QTest::newRow("id zero") << QStringList{"area", "remove", "0"} << 2 << "is not an area id";
        QTest::newRow("name too long")
            << QStringList{"area", "add", QString(80, 'n'), "/tmp/x"} << 1 << "longer than 79 bytes";
        QTest::newRow("alias too long")
            << QStringList{"area", "add", "X", "/tmp/x", "--http-alias", QString(260, 'a')} << 1
            << "HTTP alias";
        QTest::newRow("id in use") << QStringList{"area", "add", "X", "/tmp/x", "--id", "1"} << 1
                                   << "already used";
        QTest::newRow("unknown area")
            << QStringList{"area", "set", "77", "--name", "Y"} << 1 << "no area with id 77";
        QTest::newRow("group name leaving the directory")
            << QStringList{"group", "set", "../evil", "1"} << 1 << "cannot be a group name";
        QTest::newRow("bad group for a new area")
            << QStringList{"area", "add", "X", "/tmp/x", "--group", ".hidden"} << 1
            << "cannot be a group name";
        QTest::newRow("empty library")
            << QStringList{"--library=", "area", "add", "X", "/tmp/x"} << 2 << "--library needs a value";
        QTest::newRow("library path too long")
            << QStringList{"--library", "/" + QString(300, 'l'), "area", "add", "X", "/tmp/x"} << 1
            << "shorter than 260 bytes";
    }

    void badInputChangesNothing()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, message);
        QCOMPARE(Run(u"init %1"_s.arg(Db())), 0);
        QCOMPARE(Run(u"area add One %1 --group G"_s.arg(m_dir->filePath(u"one"_s))), 0);
        const QByteArray before = ReadFile(Table());
        const QStringList filesBefore = QDir(Db()).entryList(QDir::Files, QDir::Name);

        QCOMPARE(Run(arguments), status);
        QVERIFY2(m_err.contains(message), qPrintable(m_err));
        QCOMPARE(ReadFile(Table()), before);
        QCOMPARE(QDir(Db()).entryList(QDir::Files, QDir::Name), filesBefore);
        QCOMPARE(GroupIds(u"G"_s), QList<quint32>{1});
    }

    void refusesATableInUse()
    {
        QCOMPARE(Run(u"init %1"_s.arg(Db())), 0);
        const QByteArray before = ReadFile(Table());
        CFileAreaTable explorer; // as the explorer holds it while it runs
        QVERIFY(explorer.Open(Table()));
        QCOMPARE(Run(u"area add X %1"_s.arg(m_dir->filePath(u"x"_s))), 1);
        QVERIFY2(m_err.contains(u"Close it and try again"_s), qPrintable(m_err));
        QCOMPARE(Run(u"group set G"_s), 1);
        QVERIFY(!QFileInfo::exists(Db() + u"/G.group"_s));
        explorer.Close();
        QCOMPARE(ReadFile(Table()), before);
        QCOMPARE(Run(u"area add X %1"_s.arg(m_dir->filePath(u"x"_s))), 0);
    }

    void rewriteKeepsWhatTheExplorerIgnores()
    {
        // A header and flag bits written by another set-up program survive changes.
        QVERIFY(QDir().mkpath(Db()));
        WriteFile(Table(), HeaderRecord() + AreaRecord(10, "Old", "/srv/old", 0x100 | kAreaAllowDownloads) +
                               AreaRecord(11, "Other", "/srv/other") + QByteArray(17, 'z'));
        QCOMPARE(
            Run(u"--library %1 area set 10 --name Renamed --path %2 --uploads --no-downloads"_s.arg(Db()).arg(
                m_dir->filePath(u"renamed"_s))),
            0);
        const QByteArray after = ReadFile(Table());
        QCOMPARE(after.size(), 868 * 3); // the damaged tail is gone
        QCOMPARE(after.left(868), HeaderRecord());
        CFileAreaTable table;
        QVERIFY(table.Open(Table()));
        QCOMPARE(table.FindArea(10u)->Name(), u"Renamed"_s);
        QCOMPARE(table.FindArea(10u)->Flags(), quint32(0x100 | kAreaAllowUploads));
        QCOMPARE(table.FindArea(11u)->Path(), u"/srv/other"_s);
    }

    void removingAnAreaRemovesItFromGroups()
    {
        QCOMPARE(Run(u"init %1"_s.arg(Db())), 0);
        for (const char* name : {"A", "B"})
            QCOMPARE(Run(u"area add %1 %2"_s.arg(QLatin1String(name), m_dir->filePath(QLatin1String(name)))),
                     0);
        QCOMPARE(Run(u"group set Both 2 1 2"_s), 0);
        QCOMPARE(Run(u"group add Both 1"_s), 0);
        QCOMPARE(GroupIds(u"Both"_s), (QList<quint32>{2, 1, 2, 1}));
        QCOMPARE(Run(u"area remove 2"_s), 0);
        QCOMPARE(GroupIds(u"Both"_s), (QList<quint32>{1, 1}));
        CFileAreaTable table;
        QVERIFY(table.Open(Table()));
        QCOMPARE(table.GetRecordCount(), 2u);
        QVERIFY(!table.FindArea(2u));
        table.Close(); // an open table is refused as in use
        // The removed id may still be linked to files in the database: it is not given again.
        QCOMPARE(Run(u"area add C %1"_s.arg(m_dir->filePath(u"C"_s))), 0);
        QVERIFY2(m_out.startsWith(u"Added area 3 "_s), qPrintable(m_out));
    }

    void retiredIdsAreNotGivenAgain()
    {
        // As a removal left it when it was cut short between the table and a group: id 7 is gone
        // from the table but still listed in a group.
        QVERIFY(QDir().mkpath(Db()));
        WriteFile(Table(), HeaderRecord() + AreaRecord(2, "Two") + AreaRecord(6, "Six"));
        WriteFile(Db() + u"/G.group"_s, TestSupport::GroupIds({2, 7}));
        QCOMPARE(Run(u"--library %1 area add New %2"_s.arg(Db(), m_dir->filePath(u"new"_s))), 0);
        QVERIFY2(m_out.startsWith(u"Added area 8 "_s), qPrintable(m_out));
        QCOMPARE(Run(u"--library %1 area add Other %2 --id 7"_s.arg(Db(), m_dir->filePath(u"other"_s))), 1);
        QVERIFY2(m_err.contains(u"still listed in the group \"G\""_s), qPrintable(m_err));
        QCOMPARE(GroupIds(u"G"_s), (QList<quint32>{2, 7}));
    }

    void interruptedRemovalChangesNothing_data()
    {
        QTest::addColumn<bool>("killed");
        // A file size limit stops the run while it writes the group file, which it writes first.
        QTest::newRow("run killed midway") << true;
        QTest::newRow("write fails") << false;
    }

    void interruptedRemovalChangesNothing()
    {
        QFETCH(bool, killed);
        QCOMPARE(Run(u"init %1"_s.arg(Db())), 0);
        QCOMPARE(Run(u"area add One %1"_s.arg(m_dir->filePath(u"one"_s))), 0);
        QCOMPARE(Run(u"area add Seven %1 --id 7"_s.arg(m_dir->filePath(u"seven"_s))), 0);
        // Large enough that the group, even without 7, cannot be written under the limit below.
        QStringList members{u"group"_s, u"set"_s, u"G"_s, u"7"_s};
        for (int i = 0; i < 4000; ++i)
            members.append(u"1"_s);
        QCOMPARE(Run(members), 0);
        const QByteArray table = ReadFile(Table()), group = ReadFile(Db() + u"/G.group"_s);
        QVERIFY(table.size() < 8192 && group.size() > 8192);

        QProcess process;
        process.setChildProcessModifier([killed] {
            const struct rlimit size = {8192, 8192}, core = {0, 0};
            ::setrlimit(RLIMIT_FSIZE, &size);
            ::setrlimit(RLIMIT_CORE, &core);
            std::signal(SIGXFSZ, killed ? SIG_DFL : SIG_IGN);
        });
        StartProgram(process, {u"--library"_s, Db(), u"area"_s, u"remove"_s, u"7"_s});
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitStatus(), killed ? QProcess::CrashExit : QProcess::NormalExit);
        if (!killed) {
            QCOMPARE(process.exitCode(), 1);
            QVERIFY(process.readAllStandardError().contains("Cannot write"));
        }
        QCOMPARE(ReadFile(Table()), table);
        QCOMPARE(ReadFile(Db() + u"/G.group"_s), group);

        // The next run gives a new id, and clears away what the cut-short run left behind.
        QCOMPARE(Run(u"area add New %1"_s.arg(m_dir->filePath(u"new"_s))), 0);
        QVERIFY2(m_out.startsWith(u"Added area 8 "_s), qPrintable(m_out));
        QCOMPARE(Entries(Db()), (QStringList{u"Filearea.dat"_s, u"Filearea.lock"_s, u"G.group"_s}));
    }

    void parallelRunsAllLandInTheirGroup()
    {
        QCOMPARE(Run(u"init %1"_s.arg(Db())), 0);
        constexpr int kRuns = 8;
        std::vector<std::unique_ptr<QProcess>> runs;
        for (int i = 0; i < kRuns; ++i) {
            runs.push_back(std::make_unique<QProcess>());
            StartProgram(*runs.back(), {u"--library"_s, Db(), u"area"_s, u"add"_s, u"Area%1"_s.arg(i),
                                        m_dir->filePath(u"a%1"_s.arg(i)), u"--group"_s, u"G"_s});
        }
        for (auto& run : runs) {
            QVERIFY(run->waitForFinished(120000));
            QVERIFY2(run->exitStatus() == QProcess::NormalExit && run->exitCode() == 0,
                     run->readAllStandardError().constData());
        }
        CFileAreaTable table;
        QVERIFY(table.Open(Table()));
        QCOMPARE(table.GetRecordCount(), quint32(kRuns + 1));
        QList<quint32> ids;
        for (quint32 i = 1; i < table.GetRecordCount(); ++i)
            ids.append(table.GetRecord(i)->AreaId());
        QList<quint32> grouped = GroupIds(u"G"_s);
        std::sort(ids.begin(), ids.end());
        std::sort(grouped.begin(), grouped.end());
        QCOMPARE(grouped, ids);
        QCOMPARE(QSet<quint32>(ids.begin(), ids.end()).size(), kRuns);
    }

    void refusesATableThatCannotBeReal_data()
    {
        QTest::addColumn<QByteArray>("areas");
        QTest::addColumn<qint64>("size"); // grown to this size with a hole when not 0
        QTest::addColumn<QString>("message");
        const QByteArray one = AreaRecord(1, "One");
        QTest::newRow("far too many records") << one << qint64(868) * 70000 << "more than the 65536";
        QByteArray noNul = AreaRecord(2, QByteArray(80, 'n'));
        QTest::newRow("name without its NUL")
            << one + noNul << qint64(0) << "record 2 has a name without its terminating NUL";
        noNul = AreaRecord(2, "Two");
        std::memset(noNul.data() + 604, 'h', 260);
        QTest::newRow("alias without its NUL") << one + noNul << qint64(0) << "record 2 has an HTTP alias";
        QTest::newRow("id 0") << one + AreaRecord(0, "Zero") << qint64(0) << "record 2 has area id 0";
        QTest::newRow("id twice") << one + AreaRecord(3, "Three") + AreaRecord(1, "Again") << qint64(0)
                                  << "record 3 has area id 1, as record 1 has";
    }

    void refusesATableThatCannotBeReal()
    {
        QFETCH(QByteArray, areas);
        QFETCH(qint64, size);
        QFETCH(QString, message);
        QVERIFY(QDir().mkpath(Db()));
        WriteFile(Table(), HeaderRecord() + areas);
        if (size)
            QVERIFY(QFile::resize(Table(), size));
        WriteFile(Db() + u"/G.group"_s, TestSupport::GroupIds({1}));
        const QByteArray before = ReadFile(Table());

        QCOMPARE(Run(u"--library %1 area add X %2 --group G"_s.arg(Db(), m_dir->filePath(u"x"_s))), 1);
        QVERIFY2(m_err.contains(message) && m_err.contains(u"Nothing was changed"_s), qPrintable(m_err));
        QCOMPARE(ReadFile(Table()), before);
        QCOMPARE(GroupIds(u"G"_s), QList<quint32>{1});
        QVERIFY(!QFileInfo::exists(m_dir->filePath(u"x"_s)));
    }

    void refusesPathsThatAreNotUtf8_data()
    {
        QTest::addColumn<QString>("script");
        QTest::newRow("argument") << uR"sh(exec "$0" init "$1$(printf '\377')")sh"_s;
        QTest::newRow("current directory")
            << uR"sh(d="$1$(printf '\377')"; cd "$d" && exec "$0" init db)sh"_s;
    }

    void refusesPathsThatAreNotUtf8()
    {
        QFETCH(QString, script);
        // Made beforehand, with the same bytes; QTemporaryDir could not remove it.
        const QString base = m_dir->filePath(u"bad"_s);
        const auto removeBad =
            qScopeGuard([&] { RunInShell(uR"sh(rm -rf "$1$(printf '\377')")sh"_s, {base}); });
        QCOMPARE(RunInShell(uR"sh(mkdir "$1$(printf '\377')")sh"_s, {base}), 0);
        const QStringList before = Entries(m_dir->path());

        QCOMPARE(RunInShell(script, {base}), script.contains(u"cd"_s) ? 1 : 2);
        QVERIFY2(m_err.contains(u"is not valid UTF-8"_s), qPrintable(m_err));
        QCOMPARE(Entries(m_dir->path()), before);
        QCOMPARE(RunInShell(uR"sh(test -z "$(ls -A "$1$(printf '\377')")")sh"_s, {base}), 0); // still empty
        QCOMPARE(RegGetString(u"DatabasePath"_s, g_pszRegKey), QString());
    }

    void machineSettings()
    {
        QCOMPARE(Run(u"set VirusExitCode 0x10 --dword"_s), 0);
        QCOMPARE(Run({u"set"_s, u"VirusCmdLine"_s, u"--"_s, u"--no-summary \"a b\""_s}), 0);
        quint32 code = 0;
        QVERIFY(RegReadDword(u"VirusExitCode"_s, &code, g_pszRegKey) && code == 16u);
        QCOMPARE(Run(u"get viruscmdline"_s), 0);
        QCOMPARE(m_out, u"--no-summary \"a b\"\n"_s);
        QCOMPARE(Run(u"get Missing"_s), 1);
        QCOMPARE(Run(u"set X ten --dword"_s), 2);
        // Without a library in the settings, area commands say how to make one.
        QCOMPARE(Run(u"area list"_s), 1);
        QVERIFY(m_err.contains(u"troveport-setup init DIR"_s));
    }

    void copyToPostgresKeepsEverything()
    {
        REQUIRE_POSTGRES();
        const QString uri = FreshPostgresDatabase(u"copy"_s);
        QVERIFY(!uri.isEmpty());
        QCOMPARE(Run(u"init %1"_s.arg(Db())), 0);
        theDatabaseManager.SetDatabaseFile(Db() + u"/troveport.db"_s);
        QVERIFY(theDatabaseManager.GetConnection().isOpen()); // the explorer's tables
        theDatabaseManager.CloseConnection();
        {
            DatabaseSupport::COtherProgram site(Db() + u"/troveport.db"_s, u"sqlite"_s);
            // Columns the web site added, values COPY's text format must escape, ids with a gap.
            QVERIFY(site.Run(u"ALTER TABLE files ADD COLUMN rating INTEGER NOT NULL DEFAULT 0"_s));
            QVERIFY(site.Run(u"ALTER TABLE files ADD COLUMN token BLOB"_s));
            const QString insert =
                u"INSERT INTO files (file_id, title, short_desc, long_desc, file_size, rating, "
                "token) VALUES (?, ?, ?, ?, ?, ?, ?)"_s;
            QVERIFY(site.Run(insert, {7, u"Tab\there"_s, u"\\N is text"_s, u"One\r\ntwo \\ three"_s, 123,
                                      u"many"_s, QByteArray("\xff\x00\xfe\x80", 4)}));
            QVERIFY(site.Run(insert, {40, u"Ünïcode 日本"_s, u""_s, u""_s, 0, 2,
                                      QVariant(QMetaType(QMetaType::QByteArray))}));
            // Locations in an order of their own, with a gap where one was removed.
            for (const auto& [file, url] :
                 {std::pair(40, "https://b.example.org/b.zip"),
                  std::pair(7, "https://x.example.org/gone.zip"), std::pair(7, "https://z.example.org/z.zip"),
                  std::pair(7, "ftp://a.example.org/a.zip")})
                QVERIFY(site.Run(u"INSERT INTO download (file_id, url) VALUES (?, ?)"_s,
                                 {file, QLatin1String(url)}));
            QVERIFY(site.Run(u"DELETE FROM download WHERE url LIKE '%gone%'"_s));
            for (const auto& [area, file] : {std::pair(1, 7), std::pair(3, 7), std::pair(2, 40)})
                QVERIFY(site.Run(u"INSERT INTO file_area (area_id, file_id) VALUES (?, ?)"_s, {area, file}));

            // A value the server's column cannot take stops the copy whole, added column included.
            QCOMPARE(Run({u"database"_s, u"copy"_s, uri, u"--use"_s}), 1);
            QVERIFY2(m_err.contains(u"bigint"_s) && m_err.contains(u"rating"_s), qPrintable(m_err));
            QVERIFY(DatabaseSupport::OpenAdminConnection(u"server"_s, uri.section(u'/', -1)));
            QCOMPARE(Rows(u"server"_s, u"SELECT count(*) FROM files"_s), QStringList{u"0"_s});
            QCOMPARE(Rows(u"server"_s, u"SELECT count(*) FROM pg_attribute WHERE attname = 'rating'"_s),
                     QStringList{u"0"_s});
            QCOMPARE(SearchIndexes(u"server"_s), 6);
            QCOMPARE(RegGetString(u"DatabaseConnection"_s, g_pszRegKey), QString());
            QVERIFY(site.Run(u"UPDATE files SET rating = 5 WHERE file_id = 7"_s));
        }

        QCOMPARE(Run({u"--library"_s, Db(), u"database"_s, u"copy"_s, uri, u"--use"_s}), 0);
        QCOMPARE(RegGetString(u"DatabaseConnection"_s, g_pszRegKey), uri);
        {
            DatabaseSupport::COtherProgram site(Db() + u"/troveport.db"_s, u"sqlite"_s);
            for (const char* statement :
                 {"SELECT * FROM files ORDER BY file_id",
                  "SELECT rowid, file_id, url FROM download ORDER BY rowid",
                  "SELECT area_id, file_id FROM file_area ORDER BY area_id, file_id"}) {
                const auto [sqlite, server] = BothRows(QLatin1String(statement));
                QCOMPARE(server, sqlite);
                QVERIFY(!sqlite.isEmpty());
            }
            QCOMPARE(Rows(u"sqlite"_s, u"SELECT typeof(token) FROM files"_s),
                     (QStringList{u"blob"_s, u"null"_s}));
        }
        QCOMPARE(SearchIndexes(u"server"_s), 6);

        // The explorer goes on where SQLite would: new ids above the copied ones, locations in the
        // order they were added, the site's default for its column.
        theDatabaseManager.SetDatabaseConnection(uri);
        CFileRecord added(&theDatabaseManager);
        added.title = u"Added later"_s;
        QVERIFY(DatabaseSupport::AddLibraryFile(added, {2}, {u"https://n.example.org/n.zip"_s}) > 40);
        QStringList urls;
        QVERIFY(theDatabaseManager.GetDownloadURLs(7, urls));
        QCOMPARE(urls, (QStringList{u"https://z.example.org/z.zip"_s, u"ftp://a.example.org/a.zip"_s}));
        QCOMPARE(Rows(u"server"_s, u"SELECT rowid, rating FROM download JOIN files USING (file_id) "
                                   "WHERE title = 'Added later'"_s),
                 QStringList{u"5|0"_s});

        // Only into a database without files.
        QCOMPARE(Run({u"--library"_s, Db(), u"database"_s, u"copy"_s, uri}), 1);
        QVERIFY2(m_err.contains(u"already holds files"_s), qPrintable(m_err));
    }

    void useAndSearchIndexes()
    {
        REQUIRE_POSTGRES();
        const QString uri = FreshPostgresDatabase(u"use"_s);
        QVERIFY(!uri.isEmpty());
        QCOMPARE(Run(u"database search-indexes on"_s), 1); // neither a server nor a library
        QVERIFY2(m_err.contains(u"No library is set up"_s), qPrintable(m_err));
        // A password in the setting is refused, and nothing is stored.
        QUrl withPassword(uri);
        withPassword.setPassword(u"secret"_s);
        QCOMPARE(Run({u"database"_s, u"use"_s, withPassword.toString()}), 1);
        QVERIFY2(m_err.contains(u"pgpass"_s), qPrintable(m_err));
        QCOMPARE(RegGetString(u"DatabaseConnection"_s, g_pszRegKey), QString());

        QCOMPARE(Run({u"database"_s, u"use"_s, uri}), 0);
        QCOMPARE(RegGetString(u"DatabaseConnection"_s, g_pszRegKey), uri);
        QVERIFY(DatabaseSupport::OpenAdminConnection(u"server"_s, uri.section(u'/', -1)));
        QCOMPARE(SearchIndexes(u"server"_s), 6); // made with the tables
        QCOMPARE(Run(u"database search-indexes off"_s), 0);
        QCOMPARE(SearchIndexes(u"server"_s), 0);
        QCOMPARE(Run(u"database search-indexes on"_s), 0);
        QCOMPARE(SearchIndexes(u"server"_s), 6);

        QCOMPARE(Run(u"database use sqlite"_s), 0);
        QCOMPARE(RegGetString(u"DatabaseConnection"_s, g_pszRegKey), QString());
    }

    // On the library's SQLite file: dropped and made again over the files there, which the index
    // then finds.
    void searchIndexesOfTheSqliteFile()
    {
        TROVEPORT_SQLITE_ONLY("the indexes of the library's own file");
        QCOMPARE(Run(u"init %1"_s.arg(Db())), 0);
        QCOMPARE(Run(u"area add A %1"_s.arg(m_dir->filePath(u"a"_s))), 0);
        QCOMPARE(Run(u"files generate 1 1500"_s), 0);
        DatabaseSupport::COtherProgram site(Db() + u"/troveport.db"_s, u"sqlite"_s);
        const auto count = [](const QString& statement) {
            QSqlQuery query(QSqlDatabase::database(u"sqlite"_s));
            return query.exec(statement) && query.next() ? query.value(0).toInt() : -1;
        };
        const QString indexParts =
            u"SELECT count(*) FROM sqlite_master WHERE name LIKE 'files_search%' OR name LIKE 'download_search%'"_s;
        const QString castles =
            u"SELECT count(*) FROM files WHERE title || short_desc || long_desc || upld_name || "
            "upld_email LIKE '%castle%'"_s;
        // The files the index names for the word's trigrams, among them: all of them.
        const QString indexedCastles =
            castles + u" AND file_id IN (SELECT rowid FROM files_search WHERE files_search MATCH "
                      "'\"cas\" AND \"ast\" AND \"stl\" AND \"tle\"')"_s;
        const QString pending = u"SELECT count(*) FROM search_pending"_s;
        QVERIFY(count(castles) > 0);
        // Made with the tables; the command brought them up to date with the files the triggers noted.
        QVERIFY2(m_out.contains(u"Indexed the new files for searches"_s), qPrintable(m_out));
        QCOMPARE(count(pending), 0);
        QCOMPARE(count(indexedCastles), count(castles));
        QCOMPARE(Run(u"database search-indexes off"_s), 0);
        QVERIFY2(m_out.startsWith(u"Dropped the search indexes"_s), qPrintable(m_out));
        QCOMPARE(count(u"SELECT count(*) FROM sqlite_master WHERE name LIKE '%search%'"_s), 0);
        QCOMPARE(count(pending), -1);
        QCOMPARE(Run(u"database search-indexes on"_s), 0);
        QVERIFY2(m_out.contains(u"Indexing the files: 100%"_s), qPrintable(m_out));
        QVERIFY(count(indexParts) >= 8); // two tables (and FTS5's own), six triggers
        QCOMPARE(count(pending), 0);
        QCOMPARE(count(indexedCastles), count(castles));
        QCOMPARE(
            count(
                u"SELECT count(*) FROM download_search WHERE download_search MATCH '\"499\" AND \"e14\"'"_s),
            1);
    }

    void generatedFilesAreTheSameOnPostgres()
    {
        REQUIRE_POSTGRES();
        const QString uri = FreshPostgresDatabase(u"generate"_s);
        QVERIFY(!uri.isEmpty());
        QCOMPARE(Run(u"init %1"_s.arg(Db())), 0);
        QCOMPARE(Run(u"area add A %1"_s.arg(m_dir->filePath(u"a"_s))), 0);
        // More than one batch on the server, the last one short.
        QCOMPARE(Run(u"files generate 1 2500"_s), 0);
        QCOMPARE(Run({u"database"_s, u"use"_s, uri}), 0);
        QCOMPARE(Run(u"files generate 1 2500"_s), 0);

        DatabaseSupport::COtherProgram site(Db() + u"/troveport.db"_s, u"sqlite"_s);
        QVERIFY(DatabaseSupport::OpenAdminConnection(u"server"_s, uri.section(u'/', -1)));
        for (const char* statement :
             {"SELECT * FROM files ORDER BY file_id", "SELECT file_id, url FROM download ORDER BY rowid",
              "SELECT area_id, file_id FROM file_area ORDER BY file_id"}) {
            const auto [sqlite, server] = BothRows(QLatin1String(statement));
            QCOMPARE(sqlite.size(), 2500);
            QCOMPARE(server, sqlite);
        }
        QCOMPARE(SearchIndexes(u"server"_s), 6); // made anew after the rows

        // The explorer's list of the area shows them.
        theDatabaseManager.SetDatabaseConnection(uri);
        CFileRecord cursor(&theDatabaseManager);
        QVERIFY(cursor.GetAllFilesInArea(1));
        QCOMPARE(cursor.GetRecordCount(), 2500);
        QVERIFY(cursor.SetAbsolutePosition(2500));
        QCOMPARE(cursor.file_id, 2500.0);
        QCOMPARE(cursor.title, site.Value(u"SELECT title FROM files WHERE file_id = 2500"_s).toString());
    }

    void demoLibrary()
    {
        const QString base = m_dir->filePath(u"demo"_s);
        // On PostgreSQL the files go into the test's database, which the settings then name.
        const QString connection =
            DatabaseSupport::OnPostgres() ? DatabaseSupport::PostgresDatabaseUri() : QString();
        if (connection.isEmpty())
            QCOMPARE(Run(u"--demo %1"_s.arg(base)), 0);
        else
            QCOMPARE(Run(u"--demo %1 --database-connection %2"_s.arg(base, connection)), 0);
        QCOMPARE(RegGetString(u"DatabasePath"_s, g_pszRegKey), base + u"/db"_s);
        QCOMPARE(RegGetString(u"DatabaseConnection"_s, g_pszRegKey), connection);

        CFileAreaTable table;
        QVERIFY(table.Open(RegGetString(u"DatabasePath"_s, g_pszRegKey) + u"/Filearea.dat"_s));
        QVERIFY(table.GetRecordCount() >= 4);
        bool hostsLocal = false, acceptsUploads = false;
        for (quint32 i = 1; i < table.GetRecordCount(); ++i) {
            const FileAreaRecord* area = table.GetRecord(i);
            QVERIFY2(QFileInfo(area->Path()).isDir(), qPrintable(area->Path()));
            hostsLocal |= area->HasFlag(kAreaHostsLocalFiles);
            acceptsUploads |= area->HasFlag(kAreaAllowUploads);
        }
        QVERIFY(hostsLocal && acceptsUploads);
        const QStringList groups = QDir(base + u"/db"_s).entryList({u"*.group"_s}, QDir::Files);
        QVERIFY(groups.size() >= 2);
        for (const QString& group : groups) {
            CGroupFile file;
            QVERIFY(file.Open(base + u"/db/"_s + group));
            QVERIFY(file.GetRecordCount() > 0);
            for (quint32 i = 0; i < file.GetRecordCount(); ++i)
                QVERIFY(table.FindArea(file.GetAreaId(i)));
        }
        QVERIFY(QFileInfo(RegGetString(u"HttpPath"_s, g_pszRegKey)).isDir());

        // Every file is in an area the table knows and can be downloaded; where its area hosts
        // files, its copy is there. Some files have reviews.
        if (connection.isEmpty())
            theDatabaseManager.SetDatabaseFile(base + u"/db/troveport.db"_s);
        else
            theDatabaseManager.SetDatabaseConnection(connection);
        const QString web = RegGetString(u"HttpPath"_s, g_pszRegKey) + u'/';
        int files = 0, reviewed = 0;
        for (quint32 i = 1; i < table.GetRecordCount(); ++i) {
            const FileAreaRecord* area = table.GetRecord(i);
            CFileRecord cursor(&theDatabaseManager);
            QVERIFY(cursor.GetAllFilesInArea(area->AreaId()));
            for (qint64 row = 1; row <= cursor.GetRecordCount(); ++row, ++files) {
                QVERIFY(cursor.SetAbsolutePosition(row));
                QStringList urls;
                QVERIFY(theDatabaseManager.GetDownloadURLs(cursor.file_id, urls));
                QVERIFY(!urls.isEmpty());
                QList<CReview> reviews;
                QVERIFY(ReadReviewFile(ReviewFilePath(web, qint32(cursor.file_id)), reviews));
                reviewed += !reviews.isEmpty();
                const QString local = u"local://%1/"_s.arg(area->AreaId());
                if (area->HasFlag(kAreaHostsLocalFiles)) {
                    const auto copy = std::find_if(urls.cbegin(), urls.cend(),
                                                   [&](const QString& url) { return url.startsWith(local); });
                    QVERIFY2(copy != urls.cend(), qPrintable(urls.join(u' ')));
                    QVERIFY(QFileInfo(area->Path() + QLatin1Char('/') + copy->mid(local.size())).isFile());
                }
            }
        }
        QVERIFY(files >= 20);
        QVERIFY(reviewed >= 3);
        theDatabaseManager.CloseConnection();
        table.Close();

        // A demonstration elsewhere would take the machine's settings from this library: refused.
        QCOMPARE(Run(u"--demo %1"_s.arg(m_dir->filePath(u"other"_s))), 1);
        QVERIFY(m_err.contains(u"already name the library"_s));
        QCOMPARE(RegGetString(u"DatabasePath"_s, g_pszRegKey), base + u"/db"_s);
        QVERIFY(!QFileInfo::exists(m_dir->filePath(u"other"_s)));

        // A second demonstration in the same place would overwrite the first: refused.
        const QByteArray before = ReadFile(base + u"/db/Filearea.dat"_s);
        QCOMPARE(Run(u"--demo %1"_s.arg(base)), 1);
        QVERIFY(m_err.contains(u"already exists"_s));
        QCOMPARE(ReadFile(base + u"/db/Filearea.dat"_s), before);
    }
};

QTEST_GUILESS_MAIN(TestSetup)
#include "tst_setup.moc"

// The virus checker: its start from the settings, its exit status, the walk over a file's local
// copies and the Virus Check command, with a fake checker (clamscan too when installed).

#include "CheckerSupport.h"
#include "controls/CMessageBox.h"
#include "database/CFileRecord.h"
#include "database/CTroveportDatabaseManager.h"
#include "DatabaseSupport.h"
#include "explorer/CMainFrame.h"
#include "FrameSupport.h"
#include "startup/Globals.h"
#include "startup/Registry.h"
#include "startup/Startup.h"
#include "TestSupport.h"
#include "viruscheck/VirusChecker.h"

#include <QAbstractItemView>
#include <QDir>
#include <QGuiApplication>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace TestSupport;
using namespace FrameSupport;
using CheckerSupport::FileIdentity;

using Outcome = VirusCheckResult::Outcome;

class TestVirusCheck : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString Path(const QString& relative) const { return m_dir.filePath(relative); }
    QString LogFile() const { return Path(u"checker.log"_s); }

    // Machine settings with only the checker's values that are given.
    void Configure(const QString& program, const std::optional<QString>& cmdLine,
                   const std::optional<quint32>& exitCode)
    {
        QFile::remove(Path(u"machine.reg"_s));
        if (!program.isEmpty())
            QCOMPARE(RegWriteString(u"VirusChecker"_s, program, g_pszRegKey), kRegSuccess);
        if (cmdLine)
            QCOMPARE(RegWriteString(u"VirusCmdLine"_s, *cmdLine, g_pszRegKey), kRegSuccess);
        if (exitCode)
            QCOMPARE(RegWriteDword(u"VirusExitCode"_s, *exitCode, g_pszRegKey), kRegSuccess);
    }
    void ConfigureFake() { Configure(QStringLiteral(TROVEPORT_FAKE_VIRUSCHECK), QString(), 1); }

    // The checker's runs since the last init(): its current directory, then its arguments.
    QList<QStringList> Runs() const
    {
        QList<QStringList> runs;
        for (const QByteArray& line : ReadFile(LogFile()).split('\n')) {
            if (line.isEmpty())
                continue;
            QStringList fields;
            for (const QByteArray& field : line.chopped(1).split('\0'))
                fields.append(QString::fromUtf8(field));
            runs.append(fields);
        }
        return runs;
    }
    // The files the checker read, as FileIdentity gives them.
    QList<QByteArray> Checked() const { return CheckerSupport::ReadIdentities(Path(u"checker-read.log"_s)); }
    QList<QByteArray> Identities(const QStringList& files) const
    {
        QList<QByteArray> identities;
        for (const QString& file : files)
            identities.append(FileIdentity(Path(file)));
        return identities;
    }

    // Shows the area's files and highlights one row.
    static void SelectFile(CMainFrame& frame, const QString& area, int row)
    {
        QVERIFY(Node(frame, u"Library/"_s + area));
        Select(frame, u"Library/"_s + area);
        SelectRows(frame, {row});
    }

private slots:
    void initTestCase()
    {
        TROVEPORT_REQUIRE_ENGINE();
        QVERIFY(m_dir.isValid());
        UseSettingsFilesIn(m_dir.path());
        qputenv("FAKE_VIRUSCHECK_LOG", QFile::encodeName(LogFile()));
        qputenv("FAKE_VIRUSCHECK_READ", QFile::encodeName(Path(u"checker-read.log"_s)));
        QDir root(m_dir.path());
        for (const char* dir : {"db", "areas/games/sub", "areas/tools", "areas/mirror", "outside"})
            QVERIFY(root.mkpath(QLatin1String(dir)));
        const struct
        {
            const char* path;
            const char* content;
        } files[] = {
            {"areas/games/clean.zip", "CLEAN"},    {"areas/games/virus.zip", "VIRUS"},
            {"areas/games/exit7.zip", "EXIT 7"},   {"areas/games/kill.zip", "KILL"},
            {"areas/games/sub/deep.zip", "VIRUS"}, {"areas/games/noise.zip", "NOISE 3000000"},
            {"areas/tools/both.zip", "EXIT 3"},    {"areas/mirror/both.zip", "VIRUS"},
            {"outside/secret.zip", "VIRUS"},       {"areas/games/spaced name.zip", "CLEAN"},
        };
        for (const auto& file : files)
            WriteFile(Path(QLatin1String(file.path)), file.content);
        QVERIFY(QFile::link(Path(u"outside"_s), Path(u"areas/games/out"_s)));
        QVERIFY(QFile::link(Path(u"areas/games/virus.zip"_s), Path(u"areas/games/alias.zip"_s)));
        QCOMPARE(::mkfifo(QFile::encodeName(Path(u"areas/games/fifo.zip"_s)).constData(), 0644), 0);

        // Area 5 stands in the table twice, each record with a directory of its own.
        WriteFile(Path(u"db/Filearea.dat"_s),
                  HeaderRecord() + AreaRecord(3, "Games", QFile::encodeName(Path(u"areas/games"_s)), 7) +
                      AreaRecord(5, "Tools", QFile::encodeName(Path(u"areas/tools"_s)), 7) +
                      AreaRecord(5, "Mirror", QFile::encodeName(Path(u"areas/mirror"_s)), 7));
        WriteFile(Path(u"db/Library.group"_s), GroupIds({3, 5}));
        QCOMPARE(RegWriteString(u"DatabasePath"_s, Path(u"db"_s), g_pszRegKey), kRegSuccess);
        LoadStartupPaths();
        QCOMPARE(OpenFileAreaTable(), AreaTableStatus::Ready);
        DatabaseSupport::UseFreshDatabase(Path(u"db"_s));
        CMessageBox::SetAnsweringMode(true);
    }

    void init()
    {
        QFile::remove(LogFile());
        QFile::remove(Path(u"checker-read.log"_s));
        ConfigureFake();
        CMessageBox::TakeRequests();
    }

    void walkOverLocalCopies_data()
    {
        QTest::addColumn<QStringList>("locations");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>("failedPath"); // below the test's directory
        QTest::addColumn<int>("code");           // -1: no run gave one
        QTest::addColumn<QStringList>("checked");
        const int none = int(Outcome::NoLocalCopies), passed = int(Outcome::Passed),
                  failed = int(Outcome::Failed);
        const QString games = u"areas/games/"_s;
        QTest::newRow("first found stops the walk")
            << QStringList{u"local://3/virus.zip"_s, u"local://3/clean.zip"_s} << failed
            << games + u"virus.zip"_s << 1 << QStringList{games + u"virus.zip"_s};
        QTest::newRow("two clean: the last code")
            << QStringList{u"local://3/clean.zip"_s, u"local://3/exit7.zip"_s} << passed << QString() << 7
            << QStringList{games + u"clean.zip"_s, games + u"exit7.zip"_s};
        QTest::newRow("every record of the id")
            << QStringList{u"local://5/both.zip"_s} << failed << u"areas/mirror/both.zip"_s << 1
            << QStringList{u"areas/tools/both.zip"_s, u"areas/mirror/both.zip"_s};
        QTest::newRow("capital prefix") << QStringList{u"LOCAL://3/virus.zip"_s} << failed
                                        << games + u"virus.zip"_s << 1 << QStringList{games + u"virus.zip"_s};
        QTest::newRow("subdirectory, backslash")
            << QStringList{u"Local://3/sub\\deep.zip"_s} << failed << games + u"sub/deep.zip"_s << 1
            << QStringList{games + u"sub/deep.zip"_s};
        QTest::newRow("malformed skipped") << QStringList{u"local://abc/virus.zip"_s, u"local://3virus.zip"_s,
                                                          u"local:///virus.zip"_s, u"local://3/clean.zip"_s}
                                           << passed << QString() << 0 << QStringList{games + u"clean.zip"_s};
        QTest::newRow("only remote") << QStringList{u"https://example.org/a.zip"_s,
                                                    u"ftp://example.org/b.zip"_s}
                                     << none << QString() << -1 << QStringList{};
        QTest::newRow("no locations") << QStringList{} << none << QString() << -1 << QStringList{};
        QTest::newRow("unknown area")
            << QStringList{u"local://9/virus.zip"_s} << none << QString() << -1 << QStringList{};
        QTest::newRow("leaving the area is never checked")
            << QStringList{u"local://3/../mirror/both.zip"_s, u"local://3/out/secret.zip"_s,
                           u"local://3//etc/passwd"_s}
            << none << QString() << -1 << QStringList{};
        QTest::newRow("leaving, then a copy")
            << QStringList{u"local://3/out/secret.zip"_s, u"local://3/clean.zip"_s} << passed << QString()
            << 0 << QStringList{games + u"clean.zip"_s};
        QTest::newRow("killed: no code") << QStringList{u"local://3/kill.zip"_s} << passed << QString() << -1
                                         << QStringList{games + u"kill.zip"_s};
        QTest::newRow("killed after a code")
            << QStringList{u"local://3/exit7.zip"_s, u"local://3/kill.zip"_s} << passed << QString() << 7
            << QStringList{games + u"exit7.zip"_s, games + u"kill.zip"_s};
        QTest::newRow("a link inside the area is not followed either")
            << QStringList{u"local://3/alias.zip"_s} << none << QString() << -1 << QStringList{};
        // A copy the checker cannot be given counts as one it did not report, as when it cannot run.
        QTest::newRow("missing copy: nothing to run")
            << QStringList{u"local://3/gone.zip"_s} << passed << QString() << -1 << QStringList{};
        QTest::newRow("a FIFO is not waited for")
            << QStringList{u"local://3/fifo.zip"_s, u"local://3/sub/gone/x.zip"_s} << passed << QString()
            << -1 << QStringList{};
        QTest::newRow("much output") << QStringList{u"local://3/noise.zip"_s} << passed << QString() << 0
                                     << QStringList{games + u"noise.zip"_s};
    }

    void walkOverLocalCopies()
    {
        QFETCH(QStringList, locations);
        QFETCH(int, outcome);
        QFETCH(QString, failedPath);
        QFETCH(int, code);
        QFETCH(QStringList, checked);
        const VirusCheckResult result = CheckLocalCopies(locations);
        QCOMPARE(int(result.outcome), outcome);
        QCOMPARE(result.failedPath, failedPath.isEmpty() ? QString() : Path(failedPath));
        QCOMPARE(result.exitCode ? int(*result.exitCode) : -1, code);
        QCOMPARE(Checked(), Identities(checked));
        // Each run was handed the file it read, open, never by a name.
        for (const QStringList& run : Runs())
            QVERIFY2(run.constLast().startsWith(u"/dev/fd/"_s), qPrintable(run.constLast()));
    }

    void messages()
    {
        VirusCheckResult result;
        QCOMPARE(VirusCheckMessage(result), u"No local copies of the selected file were found."_s);
        result.outcome = Outcome::Passed;
        QCOMPARE(VirusCheckMessage(result),
                 u"The selected file passed virus checking.\n(Virus checker return code: -1)"_s);
        result.exitCode = 2;
        result.outcome = Outcome::Failed;
        result.failedPath = u"/srv/%s 100%d/a.zip"_s; // a path is never read as a format
        QCOMPARE(VirusCheckMessage(result),
                 u"File /srv/%s 100%d/a.zip failed virus checking!\n(Virus checker return code: 2)"_s);
    }

    void settingsDecideWhatRuns_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<std::optional<QString>>("cmdLine");
        QTest::addColumn<std::optional<quint32>>("virusCode");
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("reported");
        QTest::addColumn<int>("code");              // -1: none written
        QTest::addColumn<QStringList>("arguments"); // null: the checker did not run
        const QString fake = QStringLiteral(TROVEPORT_FAKE_VIRUSCHECK);
        const QString clean = u"areas/games/clean.zip"_s, virus = u"areas/games/virus.zip"_s;
        const std::optional<QString> noCmdLine;
        QTest::newRow("virus") << fake << noCmdLine << std::optional<quint32>(1) << virus << true << 1
                               << QStringList{virus};
        QTest::newRow("clean") << fake << noCmdLine << std::optional<quint32>(1) << clean << false << 0
                               << QStringList{clean};
        QTest::newRow("exit code 0 means a virus")
            << fake << noCmdLine << std::optional<quint32>(0) << clean << true << 0 << QStringList{clean};
        QTest::newRow("no checker") << QString() << std::optional<QString>(u"-x"_s)
                                    << std::optional<quint32>(1) << virus << false << -1 << QStringList();
        QTest::newRow("no exit code")
            << fake << noCmdLine << std::optional<quint32>() << virus << false << -1 << QStringList();
        QTest::newRow("missing program")
            << Path(u"no-such-checker"_s) << noCmdLine << std::optional<quint32>(1) << virus << false << -1
            << QStringList();
        QTest::newRow("program is a directory") << Path(u"areas"_s) << noCmdLine << std::optional<quint32>(1)
                                                << virus << false << -1 << QStringList();
        QTest::newRow("killed") << fake << noCmdLine << std::optional<quint32>(9) << u"areas/games/kill.zip"_s
                                << false << -1 << QStringList{u"areas/games/kill.zip"_s};
        QTest::newRow("empty command line")
            << fake << std::optional<QString>(QString()) << std::optional<quint32>(1) << virus << true << 1
            << QStringList{virus};
        QTest::newRow("quoted words")
            << fake << std::optional<QString>(u"--no-summary  -d \"/my sigs/a.hdb\" --x=\"1 2\" %s"_s)
            << std::optional<quint32>(1) << u"areas/games/spaced name.zip"_s << false << 0
            << QStringList{u"--no-summary"_s, u"-d"_s, u"/my sigs/a.hdb"_s,
                           u"--x=1 2"_s,      u"%s"_s, u"areas/games/spaced name.zip"_s};
    }

    void settingsDecideWhatRuns()
    {
        QFETCH(QString, program);
        QFETCH(std::optional<QString>, cmdLine);
        QFETCH(std::optional<quint32>, virusCode);
        QFETCH(QString, file);
        QFETCH(bool, reported);
        QFETCH(int, code);
        QFETCH(QStringList, arguments);
        Configure(program, cmdLine, virusCode);
        const int fd = ::open(QFile::encodeName(Path(file)).constData(), O_RDONLY | O_CLOEXEC);
        QVERIFY(fd >= 0);
        // The checker runs where the caller does.
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_dir.path()));
        quint32 exitCode = 12345;
        const bool result = RunVirusChecker(fd, &exitCode);
        QVERIFY(QDir::setCurrent(before));
        // The caller's descriptor is its own still: open, and not inherited by later programs.
        QCOMPARE(::fcntl(fd, F_GETFD), FD_CLOEXEC);
        ::close(fd);
        QCOMPARE(result, reported);
        QCOMPARE(exitCode, code < 0 ? 12345u : quint32(code));
        const QList<QStringList> runs = Runs();
        if (arguments.isEmpty()) {
            QCOMPARE(runs.size(), 0);
            return;
        }
        QCOMPARE(runs.size(), 1);
        QCOMPARE(runs[0].mid(1, arguments.size() - 1), arguments.mid(0, arguments.size() - 1));
        QCOMPARE(runs[0].size(), arguments.size() + 1);
        QVERIFY2(runs[0].constLast().startsWith(u"/dev/fd/"_s), qPrintable(runs[0].constLast()));
        QCOMPARE(Checked(), Identities({file}));
        QCOMPARE(runs[0][0], QDir(m_dir.path()).canonicalPath());
    }

    void wrongTypeOfExitCodeRunsNothing()
    {
        Configure(QStringLiteral(TROVEPORT_FAKE_VIRUSCHECK), QString(), std::nullopt);
        QCOMPARE(RegWriteString(u"VirusExitCode"_s, u"1"_s, g_pszRegKey), kRegSuccess);
        quint32 exitCode = 12345;
        const int fd =
            ::open(QFile::encodeName(Path(u"areas/games/virus.zip"_s)).constData(), O_RDONLY | O_CLOEXEC);
        QVERIFY(!RunVirusChecker(fd, &exitCode));
        ::close(fd);
        QCOMPARE(exitCode, 12345u);
        QCOMPARE(Runs().size(), 0);
    }

    void realClamscan()
    {
        const QString clamscan = QStandardPaths::findExecutable(u"clamscan"_s);
        const QString sigtool = QStandardPaths::findExecutable(u"sigtool"_s);
        if (clamscan.isEmpty() || sigtool.isEmpty())
            QSKIP("clamscan and sigtool (package clamav) are not both on PATH");
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(QDir(dir.path()).mkpath(u"sig nature"_s));
        const QString infected = dir.filePath(u"infected.zip"_s), clean = dir.filePath(u"clean.zip"_s);
        WriteFile(infected, "This content stands for a virus in the explorer's tests.\n");
        WriteFile(clean, "This content is harmless.\n");
        // A signature of the test's own: the MD5 of the "infected" file.
        QProcess process;
        process.setStandardOutputFile(dir.filePath(u"sig nature/test.hdb"_s));
        process.start(sigtool, {u"--md5"_s, infected});
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), 0);
        Configure(clamscan, u"--no-summary -d \"%1\""_s.arg(dir.filePath(u"sig nature/test.hdb"_s)), 1);

        auto check = [](const QString& path, quint32* code) {
            const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
            const bool reported = RunVirusChecker(fd, code);
            ::close(fd);
            return reported;
        };
        quint32 code = 12345;
        QVERIFY(check(infected, &code));
        QCOMPARE(code, 1u);
        QVERIFY(!check(clean, &code));
        QCOMPARE(code, 0u);
    }

    void commandInTheWindow()
    {
        CFileRecord cleanFile(&theDatabaseManager), infectedFile(&theDatabaseManager),
            remoteFile(&theDatabaseManager);
        const double cleanId = DatabaseSupport::AddFile(u"Clean"_s, 3, u"local://3/clean.zip"_s);
        const double infectedId = DatabaseSupport::AddFile(u"Infected"_s, 3, u"https://example.org/i.zip"_s);
        const double remoteId = DatabaseSupport::AddFile(u"Remote"_s, 3, u"https://example.org/r.zip"_s);
        QVERIFY(cleanId && infectedId && remoteId);
        infectedFile.file_id = infectedId;
        QVERIFY(infectedFile.AddDownloadURL(u"local://3/virus.zip"_s));
        QVERIFY(infectedFile.AddDownloadURL(u"local://3/clean.zip"_s));

        const auto frame = MakeFrame();
        QVERIFY(frame);
        const struct
        {
            int row;
            QString text;
        } cases[] = {
            {0, u"The selected file passed virus checking.\n(Virus checker return code: 0)"_s},
            {1, u"File "_s + Path(u"areas/games/virus.zip"_s) +
                    u" failed virus checking!\n(Virus checker return code: 1)"_s},
            {2, u"No local copies of the selected file were found."_s},
        };
        for (const auto& c : cases) {
            SelectFile(*frame, u"Games"_s, c.row);
            QCOMPARE(frame->GetListModel()->rowCount(), 3);
            frame->RunCommand(Command::VirusCheck);
            QCOMPARE(QGuiApplication::overrideCursor(), nullptr); // the wait cursor is gone again
            const QList<CMessageBox::Request> requests = CMessageBox::TakeRequests();
            QCOMPARE(requests.size(), 1);
            QCOMPARE(requests[0].text, c.text);
            QCOMPARE(requests[0].owner.data(), frame.get());
            QCOMPARE(requests[0].cursor, std::optional<Qt::CursorShape>(Qt::ArrowCursor));
        }
        QCOMPARE(Checked(), Identities({u"areas/games/clean.zip"_s, u"areas/games/virus.zip"_s}));

        // A file deleted since the list was read: nothing to check, and nothing said.
        SelectFile(*frame, u"Games"_s, 2);
        remoteFile.file_id = remoteId;
        QVERIFY(remoteFile.Delete());
        frame->RunCommand(Command::VirusCheck);
        QCOMPARE(CMessageBox::TakeRequests().size(), 0);

        // Without a checker the command is off and its key does nothing.
        Configure(QString(), QString(), 1);
        SelectFile(*frame, u"Games"_s, 0);
        QVERIFY(!frame->GetAction(Command::VirusCheck)->isEnabled());
        frame->RunCommand(Command::VirusCheck);
        QCOMPARE(CMessageBox::TakeRequests().size(), 0);
        QCOMPARE(Runs().size(), 2);
        cleanFile.file_id = cleanId;
        QVERIFY(cleanFile.Delete() && infectedFile.Delete());
    }
};

QTEST_MAIN(TestVirusCheck)
#include "tst_viruscheck.moc"

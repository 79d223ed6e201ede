// The virus checker: its start from the settings, its exit status, the walk over a file's local
// copies and the Virus Check command, with a fake checker (clamscan too when installed).

#include "CheckerSupport.h"
#include "CommandHostSupport.h"
#include "controls/CMessageBox.h"
#include "controls/CModalRun.h"
#include "database/CFileRecord.h"
#include "database/CTroveportDatabaseManager.h"
#include "DatabaseSupport.h"
#include "FrameSupport.h"
#include "settings/Globals.h"
#include "settings/Registry.h"
#include "startup/Startup.h"
#include "TestSupport.h"
#include "viruscheck/VirusCheckCommand.h"
#include "viruscheck/VirusChecker.h"

#include <QDeadlineTimer>
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
using namespace CommandHostSupport;
using CheckerSupport::FileIdentity;

using Outcome = VirusCheckResult::Outcome;
using Kind = VirusVerdict::Kind;

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

    // Runs the command on a file whose one copy is clean.zip, with a checker script of that body (an
    // empty one: a program that does not exist) and that VirusTimeout; the message it shows.
    QString CheckWithScript(const QByteArray& body, quint32 timeout = 1)
    {
        const QString script = Path(u"checker.sh"_s);
        if (!CheckerSupport::PlaceChecker(script, body))
            return u"cannot write the script"_s;
        Configure(script, QString(), 1);
        RegWriteDword(u"VirusTimeout"_s, timeout, g_pszRegKey);
        CFileRecord file(&theDatabaseManager);
        file.file_id = DatabaseSupport::AddFile(u"Scripted"_s, 3, u"local://3/clean.zip"_s);
        const QString text = CheckTitle(u"Scripted"_s);
        file.Delete();
        return text;
    }

    // Runs the command on the file of this title in Library/Games; the one message it shows, the
    // number of them otherwise. Each message belongs to the window and shows the arrow, not the
    // wait cursor, which is gone again afterwards.
    static QString CheckTitle(const QString& title)
    {
        CFakeCommandHost host;
        if (!host.Show(u"Library/Games"_s) || !host.SelectTitles({title}))
            return title + u" is not listed"_s;
        RunVirusCheckCommand(host);
        const QList<CMessageBox::Request> requests = CMessageBox::TakeRequests();
        if (QGuiApplication::overrideCursor())
            return u"the wait cursor stayed"_s;
        if (requests.size() != 1)
            return u"%1 messages"_s.arg(requests.size());
        if (requests[0].owner.data() != host.GetWindow() ||
            requests[0].cursor != std::optional<Qt::CursorShape>(Qt::ArrowCursor))
            return u"a message beside the window or under the wait cursor"_s;
        return requests[0].text;
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
            {"areas/tools/both.zip", "CLEAN"},     {"areas/mirror/both.zip", "VIRUS"},
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
        QTest::addColumn<QString>("path");   // the copy reported or not checked, below the test's directory
        QTest::addColumn<QString>("reason"); // a part of why it was not checked
        QTest::addColumn<int>("code");       // -1: no run gave one
        QTest::addColumn<QStringList>("checked");
        const int none = int(Outcome::NoLocalCopies), passed = int(Outcome::Passed),
                  failed = int(Outcome::Failed), notChecked = int(Outcome::NotChecked);
        const QString games = u"areas/games/"_s;
        QTest::newRow("first found stops the walk")
            << QStringList{u"local://3/virus.zip"_s, u"local://3/clean.zip"_s} << failed
            << games + u"virus.zip"_s << QString() << 1 << QStringList{games + u"virus.zip"_s};
        QTest::newRow("two clean") << QStringList{u"local://3/clean.zip"_s, u"local://3/spaced name.zip"_s}
                                   << passed << QString() << QString() << 0
                                   << QStringList{games + u"clean.zip"_s, games + u"spaced name.zip"_s};
        QTest::newRow("every record of the id")
            << QStringList{u"local://5/both.zip"_s} << failed << u"areas/mirror/both.zip"_s << QString() << 1
            << QStringList{u"areas/tools/both.zip"_s, u"areas/mirror/both.zip"_s};
        QTest::newRow("capital prefix")
            << QStringList{u"LOCAL://3/virus.zip"_s} << failed << games + u"virus.zip"_s << QString() << 1
            << QStringList{games + u"virus.zip"_s};
        QTest::newRow("subdirectory, backslash")
            << QStringList{u"Local://3/sub\\deep.zip"_s} << failed << games + u"sub/deep.zip"_s << QString()
            << 1 << QStringList{games + u"sub/deep.zip"_s};
        QTest::newRow("malformed skipped")
            << QStringList{u"local://abc/virus.zip"_s, u"local://3virus.zip"_s, u"local:///virus.zip"_s,
                           u"local://3/clean.zip"_s}
            << passed << QString() << QString() << 0 << QStringList{games + u"clean.zip"_s};
        QTest::newRow("only remote") << QStringList{u"https://example.org/a.zip"_s,
                                                    u"ftp://example.org/b.zip"_s}
                                     << none << QString() << QString() << -1 << QStringList{};
        QTest::newRow("no locations")
            << QStringList{} << none << QString() << QString() << -1 << QStringList{};
        QTest::newRow("unknown area")
            << QStringList{u"local://9/virus.zip"_s} << none << QString() << QString() << -1 << QStringList{};
        QTest::newRow("leaving the area is never checked")
            << QStringList{u"local://3/../mirror/both.zip"_s, u"local://3/out/secret.zip"_s,
                           u"local://3//etc/passwd"_s}
            << none << QString() << QString() << -1 << QStringList{};
        QTest::newRow("leaving, then a copy")
            << QStringList{u"local://3/out/secret.zip"_s, u"local://3/clean.zip"_s} << passed << QString()
            << QString() << 0 << QStringList{games + u"clean.zip"_s};
        QTest::newRow("a link inside the area is not followed either")
            << QStringList{u"local://3/alias.zip"_s} << none << QString() << QString() << -1 << QStringList{};
        // A copy that is not clean stops the walk, whatever the copies after it would say.
        QTest::newRow("exit status of its own")
            << QStringList{u"local://3/exit7.zip"_s, u"local://3/virus.zip"_s} << notChecked
            << games + u"exit7.zip"_s << u"exit code 7"_s << 7 << QStringList{games + u"exit7.zip"_s};
        QTest::newRow("killed") << QStringList{u"local://3/clean.zip"_s, u"local://3/kill.zip"_s}
                                << notChecked << games + u"kill.zip"_s << u"signal 9"_s << 0
                                << QStringList{games + u"clean.zip"_s, games + u"kill.zip"_s};
        QTest::newRow("missing copy")
            << QStringList{u"local://3/gone.zip"_s, u"local://3/clean.zip"_s} << notChecked
            << games + u"gone.zip"_s << u"could not be opened"_s << -1 << QStringList{};
        QTest::newRow("a FIFO is not waited for")
            << QStringList{u"local://3/fifo.zip"_s} << notChecked << games + u"fifo.zip"_s
            << u"is not a regular file"_s << -1 << QStringList{};
        QTest::newRow("much output") << QStringList{u"local://3/noise.zip"_s} << passed << QString()
                                     << QString() << 0 << QStringList{games + u"noise.zip"_s};
    }

    void walkOverLocalCopies()
    {
        QFETCH(QStringList, locations);
        QFETCH(int, outcome);
        QFETCH(QString, path);
        QFETCH(QString, reason);
        QFETCH(int, code);
        QFETCH(QStringList, checked);
        const VirusCheckResult result = CheckLocalCopies(locations);
        QCOMPARE(int(result.outcome), outcome);
        if (!path.isEmpty())
            QCOMPARE(result.path, Path(path));
        QVERIFY2(result.reason.contains(reason), qPrintable(result.reason));
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
        result.exitCode = 0;
        QCOMPARE(VirusCheckMessage(result),
                 u"The selected file passed virus checking.\n(Virus checker return code: 0)"_s);
        result.exitCode = 2;
        result.outcome = Outcome::Failed;
        result.path = u"/srv/%s 100%d/a.zip"_s; // a path is never read as a format
        QCOMPARE(VirusCheckMessage(result),
                 u"File /srv/%s 100%d/a.zip failed virus checking!\n(Virus checker return code: 2)"_s);
        result.outcome = Outcome::NotChecked;
        result.reason = u"the checker %s was killed."_s;
        QCOMPARE(
            VirusCheckMessage(result),
            u"The virus check of /srv/%s 100%d/a.zip could not be completed: the checker %s was killed."_s);
    }

    void settingsDecideWhatRuns_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<std::optional<QString>>("cmdLine");
        QTest::addColumn<std::optional<quint32>>("virusCode");
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("code");              // -1: none
        QTest::addColumn<QStringList>("arguments"); // null: the checker did not run
        const QString fake = QStringLiteral(TROVEPORT_FAKE_VIRUSCHECK);
        const QString clean = u"areas/games/clean.zip"_s, virus = u"areas/games/virus.zip"_s;
        const std::optional<QString> noCmdLine;
        const int infected = int(Kind::Infected), notChecked = int(Kind::NotChecked);
        QTest::newRow("virus") << fake << noCmdLine << std::optional<quint32>(1) << virus << infected << 1
                               << QStringList{virus};
        QTest::newRow("clean") << fake << noCmdLine << std::optional<quint32>(1) << clean << int(Kind::Clean)
                               << 0 << QStringList{clean};
        // Both rules hold for 0: a file is never called clean by a status that means infected.
        QTest::newRow("exit code 0 means a virus")
            << fake << noCmdLine << std::optional<quint32>(0) << clean << infected << 0 << QStringList{clean};
        QTest::newRow("no checker") << QString() << std::optional<QString>(u"-x"_s)
                                    << std::optional<quint32>(1) << virus << int(Kind::NoChecker) << -1
                                    << QStringList();
        QTest::newRow("no exit code")
            << fake << noCmdLine << std::optional<quint32>() << virus << notChecked << -1 << QStringList();
        QTest::newRow("missing program")
            << Path(u"no-such-checker"_s) << noCmdLine << std::optional<quint32>(1) << virus << notChecked
            << -1 << QStringList();
        QTest::newRow("program is a directory") << Path(u"areas"_s) << noCmdLine << std::optional<quint32>(1)
                                                << virus << notChecked << -1 << QStringList();
        QTest::newRow("killed") << fake << noCmdLine << std::optional<quint32>(9) << u"areas/games/kill.zip"_s
                                << notChecked << -1 << QStringList{u"areas/games/kill.zip"_s};
        QTest::newRow("empty command line")
            << fake << std::optional<QString>(QString()) << std::optional<quint32>(1) << virus << infected
            << 1 << QStringList{virus};
        QTest::newRow("quoted words")
            << fake << std::optional<QString>(u"--no-summary  -d \"/my sigs/a.hdb\" --x=\"1 2\" %s"_s)
            << std::optional<quint32>(1) << u"areas/games/spaced name.zip"_s << int(Kind::Clean) << 0
            << QStringList{u"--no-summary"_s, u"-d"_s, u"/my sigs/a.hdb"_s,
                           u"--x=1 2"_s,      u"%s"_s, u"areas/games/spaced name.zip"_s};
    }

    void settingsDecideWhatRuns()
    {
        QFETCH(QString, program);
        QFETCH(std::optional<QString>, cmdLine);
        QFETCH(std::optional<quint32>, virusCode);
        QFETCH(QString, file);
        QFETCH(int, kind);
        QFETCH(int, code);
        QFETCH(QStringList, arguments);
        Configure(program, cmdLine, virusCode);
        const int fd = ::open(QFile::encodeName(Path(file)).constData(), O_RDONLY | O_CLOEXEC);
        QVERIFY(fd >= 0);
        // The checker runs where the caller does.
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_dir.path()));
        const VirusVerdict verdict = RunVirusChecker(fd);
        QVERIFY(QDir::setCurrent(before));
        // The caller's descriptor is its own still: open, and not inherited by later programs.
        QCOMPARE(::fcntl(fd, F_GETFD), FD_CLOEXEC);
        ::close(fd);
        QCOMPARE(int(verdict.kind), kind);
        QCOMPARE(verdict.exitCode ? int(*verdict.exitCode) : -1, code);
        // Whatever is not an answer says why.
        QCOMPARE(verdict.reason.isEmpty(), verdict.kind == Kind::Clean || verdict.kind == Kind::Infected);
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
        const int fd =
            ::open(QFile::encodeName(Path(u"areas/games/virus.zip"_s)).constData(), O_RDONLY | O_CLOEXEC);
        const VirusVerdict verdict = RunVirusChecker(fd);
        ::close(fd);
        QCOMPARE(verdict.kind, Kind::NotChecked);
        QVERIFY2(verdict.reason.contains(u"VirusExitCode"_s), qPrintable(verdict.reason));
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

        auto check = [](const QString& path) {
            const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
            const VirusVerdict verdict = RunVirusChecker(fd);
            ::close(fd);
            return verdict;
        };
        QCOMPARE(check(infected).kind, Kind::Infected);
        QCOMPARE(check(clean).kind, Kind::Clean);
        // Without its signature database clamscan ends with its error status, 2.
        Configure(clamscan, u"--no-summary -d \"%1\""_s.arg(dir.filePath(u"no such database"_s)), 1);
        const VirusVerdict broken = check(clean);
        QCOMPARE(broken.kind, Kind::NotChecked);
        QCOMPARE(broken.exitCode, std::optional<quint32>(2));
    }

    // Each way a checker can end, through the command as the user runs it: only a clean run
    // passes, and a checker that ends any other way is reported as such, never as passed.
    void commandReportsEachCheckerOutcome_data() { CheckerSupport::AddScriptCaseRows(); }
    void commandReportsEachCheckerOutcome()
    {
        QFETCH(int, index);
        const CheckerSupport::ScriptCase c = CheckerSupport::ScriptCases().at(index);
        const QString path = Path(u"areas/games/clean.zip"_s);
        const QString text = CheckWithScript(c.body);
        switch (c.expect) {
        case CheckerSupport::Expect::Clean:
            QCOMPARE(text, u"The selected file passed virus checking.\n(Virus checker return code: 0)"_s);
            break;
        case CheckerSupport::Expect::Infected:
            QCOMPARE(text, u"File "_s + path + u" failed virus checking!\n(Virus checker return code: 1)"_s);
            break;
        case CheckerSupport::Expect::NotChecked:
            QVERIFY2(text.startsWith(u"The virus check of "_s + path + u" could not be completed: "_s) &&
                         text.contains(c.reasonPart),
                     qPrintable(text));
            break;
        }
    }

    // Cancel in the progress window stops the checker and what it started, and the file counts as
    // not checked.
    void cancelStopsTheCheckerAndWhatItStarted()
    {
        const QString pidFile = Path(u"sleeper.pid"_s);
        QFile::remove(pidFile);
        CModalRun::QueueProgressHandler([pidFile](QDialog& progress) {
            // Once the checker has started its own program.
            QDeadlineTimer started(20000);
            while (QFileInfo(pidFile).size() == 0 && !started.hasExpired())
                QTest::qWait(20);
            progress.reject();
            return int(QDialog::Rejected);
        });
        const QString text =
            CheckWithScript("sleep 30 &\necho $! > '" + QFile::encodeName(pidFile) + "'\nwait\nexit 0", 600);
        QCOMPARE(CModalRun::PendingHandlers(), 0);
        QCOMPARE(text, u"The virus check of "_s + Path(u"areas/games/clean.zip"_s) +
                           u" could not be completed: the check was cancelled."_s);
        const QByteArray pid = ReadFile(pidFile).trimmed();
        QVERIFY(!pid.isEmpty());
        // Gone, or a zombie that nobody has reaped yet.
        QTRY_VERIFY(ReadFile(u"/proc/"_s + QLatin1String(pid) + u"/stat"_s).split(' ').value(2, "Z") == "Z");
    }

    void commandOnTheSelectedFile()
    {
        CFileRecord cleanFile(&theDatabaseManager), infectedFile(&theDatabaseManager),
            remoteFile(&theDatabaseManager);
        cleanFile.file_id = DatabaseSupport::AddFile(u"Clean"_s, 3, u"local://3/clean.zip"_s);
        infectedFile.file_id = DatabaseSupport::AddFile(u"Infected"_s, 3, u"https://example.org/i.zip"_s);
        remoteFile.file_id = DatabaseSupport::AddFile(u"Remote"_s, 3, u"https://example.org/r.zip"_s);
        QVERIFY(cleanFile.file_id && infectedFile.file_id && remoteFile.file_id);
        QVERIFY(infectedFile.AddDownloadURL(u"local://3/virus.zip"_s));
        QVERIFY(infectedFile.AddDownloadURL(u"local://3/clean.zip"_s));

        QCOMPARE(CheckTitle(u"Clean"_s), u"The selected file passed virus checking.\n(Virus checker return code: 0)"_s);
        QCOMPARE(CheckTitle(u"Infected"_s), u"File "_s + Path(u"areas/games/virus.zip"_s) +
                                                u" failed virus checking!\n(Virus checker return code: 1)"_s);
        QCOMPARE(CheckTitle(u"Remote"_s), u"No local copies of the selected file were found."_s);
        QCOMPARE(Checked(), Identities({u"areas/games/clean.zip"_s, u"areas/games/virus.zip"_s}));

        // A file deleted since the list was read: nothing to check, and nothing said.
        CFakeCommandHost host;
        QVERIFY(host.Show(u"Library/Games"_s) && host.SelectTitles({u"Remote"_s}));
        QVERIFY(remoteFile.Delete());
        RunVirusCheckCommand(host);
        QCOMPARE(CMessageBox::TakeRequests().size(), 0);
        QVERIFY(cleanFile.Delete() && infectedFile.Delete());
    }

    // Without a checker the explorer turns the command off, and its key does nothing.
    void noCheckerNoCommand()
    {
        CFileRecord file(&theDatabaseManager);
        file.file_id = DatabaseSupport::AddFile(u"Unchecked"_s, 3, u"local://3/clean.zip"_s);
        Configure(QString(), QString(), 1);
        const auto frame = FrameSupport::MakeFrame();
        QVERIFY(frame);
        FrameSupport::SelectNamed(*frame, u"Library/Games"_s, u"Unchecked"_s);
        QVERIFY(!frame->GetAction(Command::VirusCheck)->isEnabled());
        frame->RunCommand(Command::VirusCheck);
        QCOMPARE(CMessageBox::TakeRequests().size(), 0);
        QCOMPARE(Runs().size(), 0);
        QVERIFY(file.Delete());
    }
};

QTEST_MAIN(TestVirusCheck)
#include "tst_viruscheck.moc"

// The Add Files wizard on a demonstration library: the title rule, whole runs with the worker
// thread, what a failed record or commit leaves behind, the dates kept, a cancel in the middle and
// a window that does not answer while the worker runs. tst_collectfiles tests which files a directory text collects.

#include "AddFilesSupport.h"
#include "adding/addfiles/AddFilesCommand.h"
#include "adding/addfiles/AddFilesImport.h"
#include "ArchiveSupport.h"
#include "FrameSupport.h"
#include "startup/Startup.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QThread>

#include <atomic>

#include <sys/stat.h>

using namespace Qt::StringLiterals;
using namespace AddFilesSupport;
using namespace ArchiveSupport;
using namespace DialogSupport;

class TestAddFiles : public QObject, public CWizardRunner
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        TROVEPORT_REQUIRE_ENGINE();
        QString error;
        QVERIFY2(Open(&error), qPrintable(error));
    }

    void init()
    {
        CMessageBox::TakeRequests();
        CModalRun::ClearHandlers();
    }

    void cleanup() { QCOMPARE(CModalRun::PendingHandlers(), 0); }

    // The record's date is the file's modification time, and the copy keeps it. A file already in
    // the host directory is not copied, asks nothing, and keeps its subdirectory in the location.
    void keepsTheModificationTime_data()
    {
        QTest::addColumn<bool>("inHost");
        QTest::newRow("copied into the host area") << false;
        QTest::newRow("already in the host area") << true;
    }
    void keepsTheModificationTime()
    {
        QFETCH(bool, inHost);
        const QString directory = inHost ? m_hostDirectory + u"/dated"_s : m_dir.filePath(u"dated"_s);
        const QString name = inHost ? u"in-host.txt"_s : u"copied.txt"_s;
        QVERIFY(WriteFile(directory + u'/' + name, "dated"));
        const QDateTime modified = QDateTime::fromSecsSinceEpoch(981173106); // 2001-02-03
        {
            QFile file(directory + u'/' + name);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(modified, QFileDevice::FileModificationTime));
        }
        auto w = MakeWizard();
        QVERIFY(Choose(*w, directory, false, false));
        QCOMPARE(RunToResults(*w, !inHost), u"1 file(s) added successfully.\r\n"_s);
        QCOMPARE(TakeTexts().size(), inHost ? 0 : 1); // the copy question, only for a copy
        const auto record = FileWithLocation(u"local://1/"_s + (inHost ? u"dated/"_s : QString()) + name);
        QVERIFY(record);
        QCOMPARE(record->file_date, quint32(modified.toSecsSinceEpoch()));
        const QString published = m_hostDirectory + (inHost ? u"/dated/"_s : u"/"_s) + name;
        QCOMPARE(QFileInfo(published).lastModified(), modified);
    }

    // A batch the database refuses at its commit adds nothing: every file of it is an error line,
    // none is counted, and no copy stays that no record names (one that took the place of a file of
    // its name cannot be taken back, and says so).
    void refusedCommitAddsNothing()
    {
        const QString source = m_dir.filePath(u"refused"_s);
        QVERIFY(WriteFile(source + u"/refused-new.txt"_s, "new") && WriteFile(source + u"/refused-old.txt"_s, "new"));
        QVERIFY(WriteFile(m_hostDirectory + u"/refused-old.txt"_s, "old")); // no record names it
        const QStringList hostBefore = FilesUnder(m_hostDirectory);
        DatabaseSupport::COtherProgram site(g_strDatabasePath + u"/troveport.db"_s);
        QVERIFY(site.IsOpen());
        // A check of the site's own that holds until the commit, and then fails it.
        const bool postgres = DatabaseSupport::OnPostgres();
        QVERIFY(site.Run(u"CREATE TABLE site_parent (id INTEGER PRIMARY KEY)"_s));
        QVERIFY(site.Run(u"CREATE TABLE site_child (parent INTEGER REFERENCES site_parent (id) "
                         u"DEFERRABLE INITIALLY DEFERRED)"_s));
        QVERIFY(postgres ? site.Run(u"CREATE FUNCTION site_check() RETURNS trigger LANGUAGE plpgsql AS "
                                    u"$$BEGIN INSERT INTO site_child VALUES (-1); RETURN NEW; END$$"_s) &&
                               site.Run(u"CREATE TRIGGER site_check AFTER INSERT ON files FOR EACH ROW "
                                        u"EXECUTE FUNCTION site_check()"_s)
                         : site.Run(u"CREATE TRIGGER site_check AFTER INSERT ON files "
                                    u"BEGIN INSERT INTO site_child VALUES (-1); END"_s));
        auto w = MakeWizard();
        QVERIFY(Choose(*w, source, false, false));
        const QString log = RunToResults(*w, true);
        QVERIFY(site.Run(postgres ? u"DROP TRIGGER site_check ON files"_s : u"DROP TRIGGER site_check"_s));

        QCOMPARE(log, u"Error adding refused-new to database: 5 (Input/output error)\r\n"
                      u"Error adding refused-old to database: 5 (Input/output error)\r\n"
                      u"The copy "_s + m_hostDirectory + u"/refused-old.txt took the place of a file of that name and "
                      u"stays, though no file record names it.\r\n"
                      u"0 file(s) added successfully.\r\n"_s);
        QCOMPARE(FilesUnder(m_hostDirectory), hostBefore);
        QVERIFY(!FileWithLocation(u"local://1/refused-new.txt"_s));
        QVERIFY(!FileWithLocation(u"local://1/refused-old.txt"_s));
    }

    void titleRule_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("title");
        QTest::newRow("capitals") << u"DOOM2.ZIP"_s << u"Doom2"_s;
        QTest::newRow("capitals, no extension") << u"README"_s << u"Readme"_s;
        QTest::newRow("mixed case kept") << u"TetrisDX.ZIP"_s << u"TetrisDX"_s;
        QTest::newRow("last dot") << u"pkg.tar.gz"_s << u"pkg.tar"_s;
        QTest::newRow("lowercase extension only") << u"GAME.zip"_s << u"Game"_s;
    }
    void titleRule()
    {
        QFETCH(QString, name);
        QTEST(MakeFileTitle(name), "title");
    }

    // The first page's checks, and No to the copy question leading to empty results.
    void firstPageChecksAndNoCopy()
    {
        const QString source = m_dir.filePath(u"checks"_s);
        QVERIFY(WriteFile(source + u"/one.txt"_s, "1"));
        auto w = MakeWizard();
        QCOMPARE(w->GetInfoPage()->GetHostAreaList()->currentIndex(), -1);
        w->GetInfoPage()->GetDirectoryEdit()->setText(source);
        QVERIFY(!w->PressNext());
        QVERIFY(!Choose(*w, m_dir.filePath(u"nowhere"_s), false, false));
        QCOMPARE(TakeTexts(), (QStringList{u"You must select a file area to host these files."_s,
                                           u"There were no files found to add in that directory."_s}));
        QVERIFY(Choose(*w, source, false, false));
        QCOMPARE(w->GetSummaryPage()->GetAreaNameEdit()->text(), m_hostName);
        QCOMPARE(w->GetSummaryPage()->GetFileListEdit()->toPlainText(), source + u"/one.txt"_s);
        CMessageBox::QueueAnswer(QMessageBox::No);
        QVERIFY(w->PressNext());
        QCOMPARE(w->GetActivePage(), w->GetDonePage());
        QCOMPARE(TakeTexts(),
                 QStringList{u"One or more of the files selected must be copied to the host file "
                             u"area. Do you wish to continue?"_s});
        QCOMPARE(w->GetDonePage()->GetResultsEdit()->toPlainText(), QString());
        QVERIFY(!QFileInfo::exists(m_hostDirectory + u"/one.txt"_s));
    }

    // A directory with a subdirectory and archives: copies into the host directory under their
    // names, descriptions from the archives, the title rule; a second run finds them all there.
    void importAndAlreadyExists()
    {
        const QString source = m_dir.filePath(u"import"_s);
        QVERIFY(
            WriteArchive(source + u"/ARCADE.ZIP"_s, {{"FILE_ID.DIZ", "Arcade classics.\r\nTen games.\r\n"}}));
        QVERIFY(WriteArchive(source + u"/sub/puzzle.zip"_s, {{"FILE_ID.DIZ", "Puzzles for all.\r\n"}}));
        QVERIFY(WriteFile(source + u"/Notes.txt"_s, "12345"));
        const QStringList hostBefore = FilesUnder(m_hostDirectory);

        auto w = MakeWizard();
        QVERIFY(Choose(*w, source, true, true));
        QCOMPARE(w->GetFileList().size(), 3);
        QCOMPARE(RunToResults(*w, true), u"3 file(s) added successfully.\r\n"_s);
        QCOMPARE(TakeTexts().size(), 1);
        QCOMPARE(w->GetDoitPage()->GetCountField()->text(), CAddFilesDoitPage::CountText(3, 3));

        QStringList expected = hostBefore + QStringList{u"ARCADE.ZIP"_s, u"Notes.txt"_s, u"puzzle.zip"_s};
        expected.sort();
        QCOMPARE(FilesUnder(m_hostDirectory), expected);
        const auto arcade = FileWithLocation(u"local://1/ARCADE.ZIP"_s);
        QVERIFY(arcade);
        const QFileInfo arcadeInfo(source + u"/ARCADE.ZIP"_s);
        QCOMPARE((QVariantList{arcade->title, arcade->long_desc, arcade->file_size, arcade->file_date}),
                 (QVariantList{u"Arcade"_s, u"Arcade classics.\nTen games."_s, double(arcadeInfo.size()),
                               quint32(arcadeInfo.lastModified().toSecsSinceEpoch())}));
        const auto puzzle = FileWithLocation(u"local://1/puzzle.zip"_s);
        QVERIFY(puzzle);
        QCOMPARE(puzzle->long_desc, u"Puzzles for all."_s);
        const auto notes = FileWithLocation(u"local://1/Notes.txt"_s);
        QVERIFY(notes);
        QCOMPARE((QVariantList{notes->title, notes->file_size, notes->long_desc}),
                 (QVariantList{u"Notes"_s, 5.0, QString()}));

        // Again: every file exists with its location registered, so none is added.
        auto again = MakeWizard();
        QVERIFY(Choose(*again, source, true, false));
        QCOMPARE(RunToResults(*again, true), u"The file ARCADE.ZIP already exists.\r\n"
                                             u"The file Notes.txt already exists.\r\n"
                                             u"The file puzzle.zip already exists.\r\n"
                                             u"0 file(s) added successfully.\r\n"_s);
        QCOMPARE(again->GetDonePage()->GetResultsEdit()->toPlainText(),
                 u"The file ARCADE.ZIP already exists.\nThe file Notes.txt already exists.\n"
                 u"The file puzzle.zip already exists.\n0 file(s) added successfully.\n"_s);
    }

    // Files in an area are read through the file layer: a link in the file's place or on its way
    // is refused with the reason, in the host area (nothing to copy) as in another area (copied
    // from). Descriptions come from the file that was opened.
    void linksInAreasAreRefused()
    {
        const QString outside = m_dir.filePath(u"outside-areas"_s);
        QVERIFY(WriteFile(outside + u"/secret.txt"_s, "secret") && WriteFile(outside + u"/more.txt"_s, "more"));
        const QString inside = m_hostDirectory + u"/linked"_s;
        QVERIFY(WriteArchive(inside + u"/ok.zip"_s, {{"FILE_ID.DIZ", "Read from the file.\r\n"}}));
        QVERIFY(QFile::link(outside + u"/secret.txt"_s, inside + u"/key.txt"_s));
        QVERIFY(QFile::link(outside, inside + u"/outdir"_s));
        const QString other = theFileAreaTable.FindArea(6u)->Path() + u"/linked"_s;
        QVERIFY(QDir().mkpath(other));
        QVERIFY(QFile::link(outside + u"/secret.txt"_s, other + u"/copied-key.txt"_s));
        const QString isLink = u" is a symbolic link. Troveport Explorer does not follow links in directories "
                               u"the web site can write, and left it alone.)\r\n"_s;

        auto w = MakeWizard();
        QVERIFY(Choose(*w, inside, true, true));
        QCOMPARE(w->GetFileList(), QStringList{inside + u"/ok.zip"_s});
        const QString log = RunToResults(*w, false);
        QCOMPARE(log.split(u"\r\n"_s), (u"Error opening "_s + inside + u"/key.txt: 40 ("_s + inside +
                                              u"/key.txt"_s + isLink + u"Error opening "_s + inside +
                                              u"/outdir: 40 ("_s + inside + u"/outdir"_s + isLink +
                                              u"1 file(s) added successfully.\r\n"_s).split(u"\r\n"_s));
        const auto ok = FileWithLocation(u"local://1/linked/ok.zip"_s);
        QVERIFY(ok);
        QCOMPARE(ok->long_desc, u"Read from the file."_s);

        auto fromOther = MakeWizard();
        QVERIFY(Choose(*fromOther, other, false, false));
        QCOMPARE(fromOther->GetFileList(), QStringList());
        QCOMPARE(RunToResults(*fromOther, false), u"Error opening "_s + other + u"/copied-key.txt: 40 ("_s + other +
                                                     u"/copied-key.txt"_s + isLink +
                                                     u"0 file(s) added successfully.\r\n"_s);
        QVERIFY(!QFileInfo::exists(m_hostDirectory + u"/copied-key.txt"_s));
        QCOMPARE(TestSupport::ReadFile(outside + u"/secret.txt"_s), QByteArray("secret"));
    }

    // A record the database refuses takes its copy back: no file stays that no record names.
    void refusedRecordTakesItsCopyBack()
    {
        const QString source = m_dir.filePath(u"refused-record"_s);
        QVERIFY(WriteFile(source + u"/refused-one.txt"_s, "one"));
        const QStringList hostBefore = FilesUnder(m_hostDirectory);
        DatabaseSupport::COtherProgram site(g_strDatabasePath + u"/troveport.db"_s);
        QVERIFY(site.RefuseWrites(u"INSERT"_s, u"files"_s, u"NEW.title = 'refused-one'"_s, u"not this one"_s));
        auto w = MakeWizard();
        QVERIFY(Choose(*w, source, false, false));
        const QString log = RunToResults(*w, true);
        QVERIFY(site.AllowWrites(u"files"_s));
        const QStringList lines = log.split(u"\r\n"_s);
        QCOMPARE(lines.size(), 3);
        QVERIFY2(lines[0].startsWith(u"Error adding refused-one to database: "_s), qPrintable(lines[0]));
        QCOMPARE(lines[1], u"0 file(s) added successfully."_s);
        QCOMPARE(FilesUnder(m_hostDirectory), hostBefore);
    }

    // A directory where every file fails: a pipe cannot be copied, and a file whose copy is already
    // registered exists. Each failure is one line, in order, and nothing is added.
    void everyFileFails()
    {
        const QString source = m_dir.filePath(u"failing"_s);
        QVERIFY(QDir().mkpath(source));
        QVERIFY(::mkfifo(QFile::encodeName(source + u"/a-pipe"_s).constData(), 0600) == 0);
        QVERIFY(WriteFile(source + u"/b.txt"_s, "b"));
        QVERIFY(WriteFile(m_hostDirectory + u"/b.txt"_s, "b"));
        CFileRecord record(&theDatabaseManager);
        record.title = u"B"_s;
        QVERIFY(record.Add());
        QVERIFY(record.AddDownloadURL(u"local://1/b.txt"_s));

        auto w = MakeWizard();
        QVERIFY(Choose(*w, source, false, false));
        const QString log = RunToResults(*w, true);
        const QStringList lines = log.split(u"\r\n"_s);
        QCOMPARE(lines.size(), 4); // three lines and the empty rest after the last line end
        QVERIFY2(lines[0].startsWith(u"Error copying "_s + source + u"/a-pipe to "_s + m_hostDirectory +
                                     u"/a-pipe: "_s),
                 qPrintable(lines[0]));
        QVERIFY(!lines[0].contains(u"Unknown"_s));
        QCOMPARE(lines[1], u"The file b.txt already exists."_s);
        QCOMPARE(lines[2], u"0 file(s) added successfully."_s);
        QVERIFY(!QFileInfo::exists(m_hostDirectory + u"/a-pipe"_s));
    }

    // Cancel while the worker is at the third file: the worker stops before storing it, though the
    // reading stage has opened it and the ones after it already. The first two files stay, the third
    // and later are neither copied nor added, no temporary copy is left behind, and the results
    // count what was added. The page showed the third file meanwhile, while the worker waited.
    void cancelInTheMiddle()
    {
        const QString source = m_dir.filePath(u"cancel"_s);
        QStringList names;
        for (int i = 0; i < 5; ++i) {
            names.append(u"part%1.bin"_s.arg(i));
            QVERIFY(WriteFile(source + u'/' + names.last(), QByteArray(4096, char('a' + i))));
        }
        const QStringList hostBefore = FilesUnder(m_hostDirectory);
        auto w = MakeWizard();
        QVERIFY(Choose(*w, source, false, false));
        CAddFilesDoitPage* doit = w->GetDoitPage();
        const qsizetype third = w->GetFileList().indexOf(source + u'/' + names[2]);
        QVERIFY(third >= 0);
        std::atomic<bool> atThird{false};
        doit->SetBeforeFileHook([&](qsizetype index) {
            if (index != third)
                return;
            atThird = true;
            while (!doit->IsStopRequested())
                QThread::yieldCurrentThread();
        });
        CMessageBox::QueueAnswer(QMessageBox::Yes);
        QVERIFY(w->PressNext());
        QVERIFY(QTest::qWaitFor([&] { return atThird.load(); }, 20000));
        QVERIFY(QTest::qWaitFor([&] { return doit->GetCurrentFileEdit()->text().endsWith(names[2]); }, 20000));
        QVERIFY(!w->GetButton(CPropertySheet::kNextButton)->isEnabled());
        w->PressCancel();
        QVERIFY(!doit->IsWorkerRunning());
        QVERIFY(doit->IsStopRequested());
        QCOMPARE(w->GetResultsLog(), AddedSummaryLine(int(third)));
        QTest::qWait(0); // the worker's completion notice arrives after the cancel and changes nothing
        QCOMPARE(doit->GetCurrentFileEdit()->text(), u"Completed."_s);

        QStringList expected = hostBefore;
        for (qsizetype i = 0; i < third; ++i)
            expected.append(QFileInfo(w->GetFileList()[i]).fileName());
        expected.sort();
        QCOMPARE(FilesUnder(m_hostDirectory), expected);
        for (qsizetype i = 0; i < w->GetFileList().size(); ++i) {
            const QString name = QFileInfo(w->GetFileList()[i]).fileName();
            QCOMPARE(bool(FileWithLocation(u"local://1/"_s + name)), i < third);
        }
    }

    // The window thread takes no events while the import runs, as when the display is paused: the
    // worker does not wait for it, imports every file, and the page shows the end once the window
    // answers again.
    void windowThatDoesNotAnswer()
    {
        const QString source = m_dir.filePath(u"unanswered"_s);
        constexpr int kFiles = 40;
        for (int i = 0; i < kFiles; ++i)
            QVERIFY(WriteArchive(source + u"/stall%1.zip"_s.arg(i, 2, 10, QLatin1Char('0')),
                                 {{"FILE_ID.DIZ", "Stalled " + QByteArray::number(i) + "\r\n"}}));
        auto w = MakeWizard();
        QVERIFY(Choose(*w, source, false, true));
        CMessageBox::QueueAnswer(QMessageBox::Yes);
        QVERIFY(w->PressNext());
        CAddFilesDoitPage* doit = w->GetDoitPage();
        while (doit->IsWorkerRunning())
            QThread::msleep(1); // no events: the window does not answer
        QVERIFY(QTest::qWaitFor([&] { return w->GetButton(CPropertySheet::kNextButton)->isEnabled(); }, 20000));
        QCOMPARE(doit->GetCurrentFileEdit()->text(), u"Completed."_s);
        QCOMPARE(doit->GetCountField()->text(), CAddFilesDoitPage::CountText(kFiles, kFiles));
        QCOMPARE(w->GetResultsLog(), AddedSummaryLine(kFiles));
        for (int i = 0; i < kFiles; ++i) {
            const auto record = FileWithLocation(u"local://1/stall%1.zip"_s.arg(i, 2, 10, QLatin1Char('0')));
            QVERIFY(record);
            QCOMPARE(record->long_desc, u"Stalled %1"_s.arg(i));
        }
        QVERIFY(w->PressNext());
        QCOMPARE(w->GetActivePage(), w->GetDonePage());
        // The new files are in the SQLite search indexes already: no search has to put them there.
        if (!DatabaseSupport::OnPostgres()) {
            DatabaseSupport::COtherProgram site(g_strDatabasePath + u"/troveport.db"_s);
            QCOMPARE(site.Value(u"SELECT count(*) FROM search_pending"_s).toInt(), 0);
        }
    }

    void command()
    {
        auto frame = FrameSupport::MakeFrame();
        QVERIFY(frame);
        bool onFirstPage = false;
        CModalRun::QueueHandler([&](QDialog& dialog) {
            auto& w = static_cast<CAddFilesWizard&>(dialog);
            onFirstPage = w.GetActivePage() == w.GetInfoPage();
            w.PressCancel();
            return w.result();
        });
        frame->RunCommand(Command::AddMultiple);
        QVERIFY(onFirstPage);
        QCOMPARE(TakeTexts(), QStringList());

        // Without an area that hosts files there is nowhere to import to: the message, no wizard.
        const QString plainTable = m_dir.filePath(u"no-hosts.dat"_s);
        QVERIFY(WriteFile(plainTable, TestSupport::HeaderRecord() +
                                         TestSupport::AreaRecord(1, "Downloads", "/srv/files", kAreaAllowDownloads)));
        theFileAreaTable.Close();
        QVERIFY(theFileAreaTable.Open(plainTable));
        frame->RunCommand(Command::AddMultiple);
        theFileAreaTable.Close();
        QCOMPARE(OpenFileAreaTable(), AreaTableStatus::Ready);
        QCOMPARE(TakeTexts(), QStringList{u"No file areas are configured for local file hosting."_s});
        QCOMPARE(CModalRun::PendingHandlers(), 0);
    }
};

QTEST_MAIN(TestAddFiles)
#include "tst_addfiles.moc"

// The Add Files wizard on a demonstration library: which files a directory text collects, the
// title rule, whole runs with the worker thread, and a cancel while the worker waits.

#include "adding/AddFilesCommand.h"
#include "adding/AddFilesImport.h"
#include "adding/CAddFilesDoitPage.h"
#include "adding/CAddFilesDonePage.h"
#include "adding/CAddFilesInfoPage.h"
#include "adding/CAddFilesSummary.h"
#include "adding/CAddFilesWizard.h"
#include "ArchiveSupport.h"
#include "database/CFileRecord.h"
#include "DemoSupport.h"
#include "DialogSupport.h"
#include "FrameSupport.h"
#include "startup/CFileAreaTable.h"
#include "startup/Globals.h"
#include "startup/Startup.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>

#include <sys/stat.h>

using namespace Qt::StringLiterals;
using namespace ArchiveSupport;
using namespace DialogSupport;

namespace {

constexpr quint32 kHostAreaId = 1; // "Shareware Games", hosts local files

bool WriteFile(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

// Every file under dir, as paths relative to it, sorted.
QStringList FilesUnder(const QString& dir)
{
    QStringList files;
    const QDir base(dir);
    std::function<void(const QString&)> walk = [&](const QString& path) {
        const QDir here(path);
        for (const QFileInfo& info :
             here.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
            if (info.isDir() && !info.isSymLink())
                walk(info.filePath());
            else
                files.append(base.relativeFilePath(info.filePath()));
        }
    };
    walk(dir);
    files.sort();
    return files;
}

// The file stored with this location, or null.
std::unique_ptr<CFileRecord> FileWithLocation(const QString& location)
{
    auto cursor = std::make_unique<CFileRecord>(&theDatabaseManager);
    if (!cursor->GetAllFilesInArea(kHostAreaId))
        return nullptr;
    for (qint64 row = 1; row <= cursor->GetRecordCount(); ++row) {
        if (!cursor->SetAbsolutePosition(row))
            continue;
        QStringList urls;
        if (theDatabaseManager.GetDownloadURLs(cursor->file_id, urls) && urls.contains(location))
            return ReadFileOfListRow(*cursor, row - 1);
    }
    return nullptr;
}

} // namespace

class TestAddFiles : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_hostDirectory;
    QString m_hostName;

    std::unique_ptr<CAddFilesWizard> MakeWizard()
    {
        auto wizard = std::make_unique<CAddFilesWizard>(u"Add Files Wizard"_s);
        wizard->show();
        return wizard;
    }

    // Fills the first page and leaves it forwards; true when the Summary page shows.
    bool Choose(CAddFilesWizard& w, const QString& directory, bool subdirectories, bool extract)
    {
        CAddFilesInfoPage* info = w.GetInfoPage();
        info->GetDirectoryEdit()->setText(directory);
        info->GetHostAreaList()->setCurrentIndex(info->GetHostAreaList()->findText(m_hostName));
        info->GetSubdirectoriesBox()->setChecked(subdirectories);
        info->GetExtractBox()->setChecked(extract);
        return w.PressNext() && w.GetActivePage() == w.GetSummaryPage();
    }

    // Runs the chosen files to the results page, answering the copy question; the results log.
    QString RunToResults(CAddFilesWizard& w, bool expectQuestion)
    {
        if (expectQuestion)
            CMessageBox::QueueAnswer(QMessageBox::Yes);
        if (!w.PressNext() || w.GetActivePage() != w.GetDoitPage())
            return u"(the progress page did not show)"_s;
        QPushButton* next = w.GetButton(CPropertySheet::kNextButton);
        if (!QTest::qWaitFor([&] { return next->isEnabled(); }, 20000))
            return u"(the worker did not complete)"_s;
        if (w.GetDoitPage()->GetCurrentFileEdit()->text() != u"Completed."_s ||
            w.GetDoitPage()->GetProgressBar()->value() != w.GetDoitPage()->GetProgressBar()->maximum())
            return u"(the page does not show the end)"_s;
        if (!w.PressNext() || w.GetActivePage() != w.GetDonePage())
            return u"(the results page did not show)"_s;
        return w.GetResultsLog();
    }

private slots:
    void initTestCase()
    {
        TROVEPORT_REQUIRE_ENGINE();
        QVERIFY(m_dir.isValid());
        QString error;
        QVERIFY2(DemoSupport::OpenDemoLibrary(m_dir.path(), &error), qPrintable(error));
        CMessageBox::SetAnsweringMode(true);
        const FileAreaRecord* host = theFileAreaTable.FindArea(kHostAreaId);
        QVERIFY(host && host->HasFlag(kAreaHostsLocalFiles));
        m_hostName = host->Name();
        m_hostDirectory = host->Path();
        QVERIFY(QDir().mkpath(m_hostDirectory));
    }

    void init()
    {
        CMessageBox::TakeRequests();
        CModalRun::ClearHandlers();
    }

    void cleanup() { QCOMPARE(CModalRun::PendingHandlers(), 0); }

    // A pattern applies to the top level only; subdirectories give all their files, except those
    // whose names begin with "."; the pattern is case-sensitive.
    void collectionRules()
    {
        const QString top = m_dir.filePath(u"collect"_s);
        for (const QString& name : {u"a.zip"_s, u"b.txt"_s, u"C.ZIP"_s, u".hidden.zip"_s, u"sub/c.txt"_s,
                                    u"sub/deeper/d.zip"_s, u".git/e.zip"_s, u"sub/.cache/f.zip"_s})
            QVERIFY(WriteFile(top + u'/' + name, "x"));

        QStringList files;
        QVERIFY(CollectFiles(top + u"/*.zip"_s, files, false));
        files.sort();
        QCOMPARE(files, (QStringList{top + u"/.hidden.zip"_s, top + u"/a.zip"_s}));

        files.clear();
        QVERIFY(CollectFiles(top + u"/*.zip"_s, files, true));
        files.sort();
        QCOMPARE(files, (QStringList{top + u"/.hidden.zip"_s, top + u"/a.zip"_s, top + u"/sub/c.txt"_s,
                                     top + u"/sub/deeper/d.zip"_s}));

        files.clear();
        QVERIFY(CollectFiles(top + u"/sub/../"_s, files, false)); // a directory: all its files
        files.sort();
        QCOMPARE(files, (QStringList{top + u"/.hidden.zip"_s, top + u"/C.ZIP"_s, top + u"/a.zip"_s,
                                     top + u"/b.txt"_s}));

        files.clear();
        QVERIFY(CollectFiles(top + u"/missing"_s, files, false));
        QCOMPARE(files, QStringList());
        QVERIFY(!CollectFiles(u"/"_s + QString(300, u'x'), files, false));
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
        QFETCH(QString, title);
        QCOMPARE(MakeFileTitle(name), title);
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
        QCOMPARE(w->GetDoitPage()->GetCountLabel()->text(), CAddFilesDoitPage::CountText(3, 3));

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

    // Files inside the host directory are not copied and raise no question; a subdirectory keeps
    // its path in the location. A destination without a registered location is added.
    void filesInsideHostArea()
    {
        const QString inside = m_hostDirectory + u"/inside"_s;
        QVERIFY(WriteFile(inside + u"/deep/LEVELS.DAT"_s, "levels"));
        QVERIFY(WriteFile(inside + u"/.hidden/skip.dat"_s, "no"));
        auto w = MakeWizard();
        QVERIFY(Choose(*w, inside, true, false));
        QCOMPARE(w->GetFileList(), QStringList{inside + u"/deep/LEVELS.DAT"_s});
        QCOMPARE(RunToResults(*w, false), u"1 file(s) added successfully.\r\n"_s);
        QCOMPARE(TakeTexts(), QStringList());
        const auto levels = FileWithLocation(u"local://1/inside/deep/LEVELS.DAT"_s);
        QVERIFY(levels);
        QCOMPARE(levels->title, u"Levels"_s);
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
        const QString log = RunToResults(*w, false);
        QCOMPARE(log.split(u"\r\n"_s), (u"Error opening "_s + inside + u"/key.txt: 40 ("_s + inside +
                                              u"/key.txt"_s + isLink + u"Error opening "_s + inside +
                                              u"/outdir/more.txt: 40 ("_s + inside + u"/outdir"_s + isLink +
                                              u"Error opening "_s + inside + u"/outdir/secret.txt: 40 ("_s + inside +
                                              u"/outdir"_s + isLink +
                                              u"1 file(s) added successfully.\r\n"_s).split(u"\r\n"_s));
        const auto ok = FileWithLocation(u"local://1/linked/ok.zip"_s);
        QVERIFY(ok);
        QCOMPARE(ok->long_desc, u"Read from the file."_s);

        auto fromOther = MakeWizard();
        QVERIFY(Choose(*fromOther, other, false, false));
        QCOMPARE(RunToResults(*fromOther, true), u"Error opening "_s + other + u"/copied-key.txt: 40 ("_s + other +
                                                     u"/copied-key.txt"_s + isLink +
                                                     u"0 file(s) added successfully.\r\n"_s);
        QVERIFY(!QFileInfo::exists(m_hostDirectory + u"/copied-key.txt"_s));
        QCOMPARE(TestSupport::ReadFile(outside + u"/secret.txt"_s), QByteArray("secret"));
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

    // Cancel while the worker waits for the window thread to show the third file: the window thread
    // does not answer, the worker's update times out and it ends. The first two files stay, the
    // third is neither copied nor added, and no temporary copy is left behind.
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
        bool cancelled = false;
        connect(doit->GetCurrentFileEdit(), &QLineEdit::textChanged, this, [&](const QString& text) {
            if (!cancelled && text.endsWith(names[2])) {
                cancelled = true;
                w->PressCancel();
            }
        });
        CMessageBox::QueueAnswer(QMessageBox::Yes);
        QVERIFY(w->PressNext());
        QVERIFY(QTest::qWaitFor([&] { return cancelled; }, 20000));
        QVERIFY(!doit->IsWorkerRunning());
        QVERIFY(doit->IsStopRequested());
        QVERIFY(!w->GetResultsLog().contains(u"added successfully"_s));

        QStringList expected = hostBefore + QStringList{names[0], names[1]};
        expected.sort();
        QCOMPARE(FilesUnder(m_hostDirectory), expected);
        QVERIFY(FileWithLocation(u"local://1/"_s + names[0]));
        QVERIFY(FileWithLocation(u"local://1/"_s + names[1]));
        QVERIFY(!FileWithLocation(u"local://1/"_s + names[2]));
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

// The Add Files wizard on a demonstration library: which files a directory text collects, the
// title rule, whole runs with the worker thread, and a cancel while the worker waits.

#include "adding/AddFilesCommand.h"
#include "adding/AddFilesImport.h"
#include "adding/CAddFilesDoitPage.h"
#include "adding/CAddFilesDonePage.h"
#include "adding/CAddFilesInfoPage.h"
#include "adding/CAddFilesSummary.h"
#include "adding/CAddFilesWizard.h"
#include "adding/FileCollection.h"
#include "ArchiveSupport.h"
#include "database/CFileRecord.h"
#include "DemoSupport.h"
#include "DialogSupport.h"
#include "FrameSupport.h"
#include "startup/CFileAreaTable.h"
#include "startup/Globals.h"
#include "startup/Startup.h"
#include "startup/WorkProgress.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QThread>

#include <sys/stat.h>
#include <unistd.h>

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

// Makes the entries under dir: "name" a file, "a/b/" directories, "name -> target" a symbolic link.
bool MakeTree(const QString& dir, const QStringList& entries)
{
    for (const QString& entry : entries) {
        const qsizetype arrow = entry.indexOf(u" -> "_s);
        const QString path = dir + u'/' + (arrow < 0 ? entry : entry.left(arrow));
        const bool made = arrow >= 0   ? QDir().mkpath(QFileInfo(path).path()) && QFile::link(entry.mid(arrow + 4), path)
                          : entry.endsWith(u'/') ? QDir().mkpath(path)
                                               : WriteFile(path, "x");
        if (!made)
            return false;
    }
    return true;
}

// The paths below dir, each relative to it.
QStringList RelativeTo(const QString& dir, const QStringList& paths)
{
    QStringList relative;
    for (const QString& path : paths)
        relative.append(path.startsWith(dir + u'/') ? path.mid(dir.size() + 1) : path);
    return relative;
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
    bool Choose(CAddFilesWizard& w, const QString& directory, bool subdirectories, bool extract,
                const QString& hostName = QString())
    {
        CAddFilesInfoPage* info = w.GetInfoPage();
        info->GetDirectoryEdit()->setText(directory);
        info->GetHostAreaList()->setCurrentIndex(
            info->GetHostAreaList()->findText(hostName.isEmpty() ? m_hostName : hostName));
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

    // A pattern applies to the top level only; subdirectories give all their files; names that
    // begin with "." are never taken; the pattern is case-sensitive.
    void collectionRules()
    {
        const QString top = m_dir.filePath(u"collect"_s);
        for (const QString& name : {u"a.zip"_s, u"b.txt"_s, u"C.ZIP"_s, u".hidden.zip"_s, u"sub/c.txt"_s,
                                    u"sub/deeper/d.zip"_s, u".git/e.zip"_s, u"sub/.cache/f.zip"_s})
            QVERIFY(WriteFile(top + u'/' + name, "x"));

        CollectedFiles found;
        QVERIFY(CollectFiles(top + u"/*.zip"_s, false, found));
        QCOMPARE(found.files, (QStringList{top + u"/a.zip"_s}));

        found = {};
        QVERIFY(CollectFiles(top + u"/*.zip"_s, true, found));
        QCOMPARE(found.files, (QStringList{top + u"/a.zip"_s, top + u"/sub/c.txt"_s, top + u"/sub/deeper/d.zip"_s}));

        found = {};
        QVERIFY(CollectFiles(top + u"/sub/../"_s, false, found)); // a directory: all its files
        QCOMPARE(found.files, (QStringList{top + u"/C.ZIP"_s, top + u"/a.zip"_s, top + u"/b.txt"_s}));
        QCOMPARE(found.refusals, QString());

        found = {};
        QVERIFY(CollectFiles(top + u"/missing"_s, false, found));
        QCOMPARE(found.files, QStringList());
        QVERIFY(!CollectFiles(u"/"_s + QString(300, u'x'), false, found));
    }

    // Each regular file is taken once, under its own name: a link is never followed (a loop back
    // into the directory, a second way into a directory, a second name for a file), but listed;
    // dot files and the explorer's temporary files left by a crash are not taken at all.
    void collectsEachFileOnce_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("results"); // "@" stands for the directory
        const QString notFollowed = u" is a symbolic link and was not followed: choose what it leads to to add it."_s;
        QTest::newRow("link back to its directory")
            << QStringList{u"self-a.txt"_s, u"self -> ."_s} << QStringList{u"self-a.txt"_s}
            << QStringList{u"@/self"_s + notFollowed, u"1 file(s) added successfully."_s};
        QTest::newRow("second way into a directory")
            << QStringList{u"v2/setup2.zip"_s, u"latest -> v2"_s} << QStringList{u"v2/setup2.zip"_s}
            << QStringList{u"@/latest"_s + notFollowed, u"1 file(s) added successfully."_s};
        QTest::newRow("second name for a file")
            << QStringList{u"real.txt"_s, u"alias.txt -> real.txt"_s} << QStringList{u"real.txt"_s}
            << QStringList{u"@/alias.txt"_s + notFollowed, u"1 file(s) added successfully."_s};
        QTest::newRow("dot files and temporary files")
            << QStringList{u".htaccess"_s, u".troveport-copy-5k2x"_s, u".page.html.troveport-9z"_s,
                           u"page.html"_s, u"sub/.troveport-copy-a1"_s, u".git/config"_s}
            << QStringList{u"page.html"_s} << QStringList{u"1 file(s) added successfully."_s};
    }

    void collectsEachFileOnce()
    {
        QFETCH(QStringList, entries);
        QFETCH(QStringList, files);
        QFETCH(QStringList, results);
        const QString source = m_dir.filePath(u"once/"_s + QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(MakeTree(source, entries));
        auto w = MakeWizard();
        QVERIFY(Choose(*w, source, true, false));
        QCOMPARE(RelativeTo(source, w->GetFileList()), files);
        QCOMPARE(RunToResults(*w, true), results.join(u"\r\n"_s).replace(u'@', source) + u"\r\n"_s);
    }

    // A directory the walk cannot enter is listed with the reason, and the rest is taken.
    void unenterableDirectoryIsListed_data()
    {
        QTest::addColumn<bool>("searchable"); // false: listable, not enterable; true: gone when entered
        QTest::addColumn<QString>("reason");
        QTest::newRow("no search permission") << false << u"13 (Permission denied)"_s;
        QTest::newRow("gone before it is entered") << true << u"2 (No such file or directory)"_s;
    }

    void unenterableDirectoryIsListed()
    {
        QFETCH(bool, searchable);
        QFETCH(QString, reason);
        if (!searchable && ::geteuid() == 0)
            QSKIP("root searches every directory: the directory that is gone when entered shows the same");
        const QString source = m_dir.filePath(u"enter/"_s + QString::fromLatin1(QTest::currentDataTag()));
        const QString closed = source + u"/closed"_s;
        QVERIFY(MakeTree(source, {u"enter-"_s + QString::number(searchable) + u".txt"_s, u"closed/inner/deep.txt"_s}));
        if (searchable) {
            CAddFilesInfoPage::CollectionHook() = [&](CWorkProgress&, const QString& directory) {
                if (directory == closed)
                    QDir(closed).removeRecursively();
            };
        } else {
            QVERIFY(QFile::setPermissions(closed, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        }
        auto w = MakeWizard();
        const bool chosen = Choose(*w, source, true, false);
        CAddFilesInfoPage::CollectionHook() = nullptr;
        QFile::setPermissions(closed, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QVERIFY(chosen);
        QCOMPARE(w->GetFileList(), QStringList{source + u"/enter-"_s + QString::number(searchable) + u".txt"_s});
        QCOMPARE(RunToResults(*w, true),
                 u"Error opening "_s + closed + u": "_s + reason + u"\r\n1 file(s) added successfully.\r\n"_s);
    }

    // Cancel in the progress dialog stops the walk before the next directory; the page stays.
    void collectionCanBeCancelled()
    {
        const QString source = m_dir.filePath(u"cancel-collection"_s);
        QVERIFY(MakeTree(source, {u"a/1.txt"_s, u"b/2.txt"_s, u"c/3.txt"_s}));
        QSemaphore walking;
        QStringList entered;
        CAddFilesInfoPage::CollectionHook() = [&](CWorkProgress& progress, const QString& directory) {
            entered.append(directory);
            if (entered.size() == 2) {
                walking.release();
                while (!progress.Cancelled())
                    QThread::msleep(5);
            }
        };
        bool dialogShown = false;
        CModalRun::QueueHandler([&](QDialog& dialog) {
            dialogShown = true;
            walking.acquire();
            dialog.reject(); // Cancel
            return int(QDialog::Rejected);
        });
        auto w = MakeWizard();
        const bool chosen = Choose(*w, source, true, false);
        CAddFilesInfoPage::CollectionHook() = nullptr;
        QVERIFY(!chosen);
        QVERIFY(dialogShown);
        QCOMPARE(w->GetActivePage(), w->GetInfoPage());
        QCOMPARE(entered, (QStringList{source, source + u"/a"_s}));
        QCOMPARE(w->GetFileList(), QStringList());
        QCOMPARE(TakeTexts(), QStringList());
    }

    // Directly in the directory of an area that accepts uploads, the files the upload scan takes
    // for pending uploads, and their description files, are left to its review; elsewhere the
    // same names are ordinary files.
    void pendingUploadsStayWithTheScan_data()
    {
        QTest::addColumn<quint32>("areaId");
        QTest::addColumn<quint32>("hostId");
        QTest::addColumn<QStringList>("files");
        const QStringList all{u"new-notes.txt"_s, u"new-orphan.txt.desc"_s, u"new-up.zip"_s, u"new-up.zip.desc"_s};
        QTest::newRow("area that accepts uploads") << 7u << kHostAreaId << QStringList{u"new-notes.txt"_s};
        QTest::newRow("the host accepts uploads") << 5u << 5u << QStringList{u"new-notes.txt"_s};
        QTest::newRow("area that takes no uploads") << 6u << kHostAreaId << all;
        QTest::newRow("subdirectory of an area that accepts uploads") << 0u << 5u << all;
    }

    void pendingUploadsStayWithTheScan()
    {
        QFETCH(quint32, areaId);
        QFETCH(quint32, hostId);
        QFETCH(QStringList, files);
        const QString area = theFileAreaTable.FindArea(areaId ? areaId : hostId)->Path();
        const QString directory = areaId ? area : area + u"/sub"_s;
        QVERIFY(MakeTree(directory, {u"new-up.zip"_s, u"new-up.zip.desc"_s, u"new-orphan.txt.desc"_s,
                                     u"new-notes.txt"_s}));
        auto w = MakeWizard();
        QVERIFY(Choose(*w, directory + u"/new-*"_s, false, false, theFileAreaTable.FindArea(hostId)->Name()));
        QCOMPARE(RelativeTo(directory, w->GetFileList()), files);
        for (const QString& name : QDir(directory).entryList({u"new-*"_s}))
            QVERIFY(QFile::remove(directory + u'/' + name));
    }

    // The record's date is the file's modification time, and the copy keeps it: sources written
    // just before an import change no earlier than they were modified, so an old one is set.
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

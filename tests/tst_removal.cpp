// Delete File and Remove from Area on a demonstration library: the questions and their answers, the
// local copies deleted (and those never touched), the records and links deleted, the walk over
// exactly the selected rows while earlier ones go, and the one refresh at the end.

#include "CommandHostSupport.h"
#include "controls/CMessageBox.h"
#include "controls/CModalRun.h"
#include "DatabaseSupport.h"
#include "DemoSupport.h"
#include "DialogSupport.h"
#include "files/SafeFiles.h"
#include "properties/CFileRemover.h"
#include "properties/RemovalCommands.h"
#include "settings/Globals.h"
#include "TestSupport.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QThread>

using namespace Qt::StringLiterals;
using namespace CommandHostSupport;
using namespace DatabaseSupport;
using namespace DialogSupport;
using namespace TestSupport;

namespace {

constexpr quint32 kText = 6;   // "Documents/Text Files", directory areas/text
constexpr quint32 kArcade = 2; // "Games/Classic Arcade", directory areas/arcade
const QString kTextArea = u"Documents/Text Files"_s;

const QString kDeleteQuestion =
    u"Question: question | Yes No | Are you sure you want to delete the selected item(s)?"_s;
const QString kRemoveQuestion =
    u"Question: question | Yes No | Are you sure you want to remove the selected item(s) from this file area?"_s;
const QString kLocalText = u"One or more of the file locations points to a local file area.\nWould you "
                           u"like to delete the file from local storage?"_s;
const QString kLocalQuestion = u"Warning: none | Yes No Cancel | "_s + kLocalText;
// With several files selected, an answer can hold for all of them.
const QString kLocalQuestionForMany = u"Warning: none | Yes YesToAll No NoToAll Cancel | "_s + kLocalText;

QString NotDeleted(const QString& path, const QString& reason)
{
    return u"Warning: none | OK | The file "_s + path + u" could not be deleted from disk.\n"_s + reason;
}

QString KeptMessage(const QString& path, const QString& keeper)
{
    return u"Warning: information | OK | The file "_s + path +
           u" was not deleted from disk: it is still a download location of \""_s + keeper + u"\"."_s;
}

QString OutsideMessage(const QString& location)
{
    return u"Warning: warning | OK | The location "_s + location +
           u" points outside its file area's directory and was not deleted."_s;
}

double AddLibraryFile(const QString& title, const QList<quint32>& areas, const QStringList& urls = {})
{
    CFileRecord record(&theDatabaseManager);
    record.title = title;
    return DatabaseSupport::AddLibraryFile(record, areas, urls);
}

QString AreaDir(quint32 id)
{
    return theFileAreaTable.FindArea(id)->Path();
}

QString InArea(quint32 id, const QString& name)
{
    return AreaDir(id) + u'/' + name;
}

} // namespace

class TestRemoval : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<CFakeCommandHost> m_host;

    CFakeCommandHost& Host() { return *m_host; }

    // Shows the node and selects the files of these titles.
    void Select(const QString& node, const QStringList& titles)
    {
        QVERIFY2(Host().Show(node), qPrintable(node));
        QVERIFY2(Host().SelectTitles(titles), qPrintable(titles.join(u", "_s)));
    }

    // Runs the command with these answers queued; the messages it showed. Every command refreshes
    // the list once, with the refreshes it held released again.
    QStringList Run(void (*command)(CommandHost&), std::initializer_list<int> answers)
    {
        for (int answer : answers)
            CMessageBox::QueueAnswer(CMessageBox::Button(answer));
        const int refreshes = Host().Refreshes();
        command(Host());
        const QStringList shown = TakeDescribed();
        if (Host().Refreshes() != refreshes + 1 || Host().Holds() != 0)
            return {u"refreshes %1, holds %2"_s.arg(Host().Refreshes() - refreshes).arg(Host().Holds())};
        return shown;
    }

    QString OutsidePath(const QString& name) const { return m_dir.filePath(u"outside/"_s + name); }

private slots:
    void initTestCase()
    {
        TROVEPORT_OPEN_DEMO_LIBRARY(m_dir);
        QVERIFY(QDir().mkpath(AreaDir(kText)) && QDir().mkpath(AreaDir(kArcade)));
        QVERIFY(QDir().mkpath(m_dir.filePath(u"outside"_s)));
        CMessageBox::SetAnsweringMode(true);
    }

    void init()
    {
        m_host = std::make_unique<CFakeCommandHost>();
        CModalRun::ClearHandlers();
    }

    void cleanup() { m_host.reset(); }

    void noToTheFirstQuestionChangesNothing()
    {
        WriteFile(InArea(kText, u"keep-a.txt"_s), "a");
        const double a = AddLibraryFile(u"Keep A"_s, {kText}, {u"local://6/keep-a.txt"_s});
        const double b = AddLibraryFile(u"Keep B"_s, {kText});
        Select(kTextArea, {u"Keep A"_s, u"Keep B"_s});
        CMessageBox::QueueAnswer(QMessageBox::No);
        RunDeleteFileCommand(Host());
        QCOMPARE(TakeDescribed(), QStringList{kDeleteQuestion});
        CMessageBox::QueueAnswer(QMessageBox::No);
        RunRemoveFromAreaCommand(Host());
        QCOMPARE(TakeDescribed(), QStringList{kRemoveQuestion});
        QCOMPARE(Host().Refreshes(), 0);
        QVERIFY(Exists(a) && Exists(b));
        QCOMPARE(AreasOf(a), QList<double>{kText});
        QVERIFY(QFile::exists(InArea(kText, u"keep-a.txt"_s)));
    }

    void localStorageQuestionPerFile()
    {
        // Cancel keeps the first file whole, No deletes the second's record but not its copy, Yes
        // deletes the third with both its copies in two areas after a single question.
        WriteFile(InArea(kText, u"cancel.txt"_s), "c");
        WriteFile(InArea(kText, u"no.txt"_s), "n");
        WriteFile(InArea(kText, u"both.txt"_s), "b");
        WriteFile(InArea(kArcade, u"both.zip"_s), "b");
        const double cancelled = AddLibraryFile(u"Local Cancel"_s, {kText}, {u"local://6/cancel.txt"_s});
        const double no = AddLibraryFile(u"Local No"_s, {kText, kArcade}, {u"local://6/no.txt"_s});
        const double yes = AddLibraryFile(
            u"Local Yes"_s, {kText},
            {u"ftp://ftp.example.org/both.zip"_s, u"local://6/both.txt"_s, u"local://2/both.zip"_s});
        Select(kTextArea, {u"Local Cancel"_s, u"Local No"_s, u"Local Yes"_s});
        const int rows = Host().GetListedRowCount();
        QCOMPARE(Run(RunDeleteFileCommand, {QMessageBox::Yes, QMessageBox::Cancel, QMessageBox::No, QMessageBox::Yes}),
                 (QStringList{kDeleteQuestion, kLocalQuestionForMany, kLocalQuestionForMany, kLocalQuestionForMany}));
        // The walk held the list's refills off while it ran.
        QCOMPARE(Host().MostHolds(), 1);

        QVERIFY(Exists(cancelled));
        QCOMPARE(LocationsOf(cancelled), QStringList{u"local://6/cancel.txt"_s});
        QVERIFY(QFile::exists(InArea(kText, u"cancel.txt"_s)));
        // The record goes with its links and locations; the copy stays on disk.
        QVERIFY(!Exists(no));
        QVERIFY(AreasOf(no).isEmpty() && LocationsOf(no).isEmpty());
        QVERIFY(QFile::exists(InArea(kText, u"no.txt"_s)));
        QVERIFY(!Exists(yes));
        QVERIFY(LocationsOf(yes).isEmpty());
        QVERIFY(!QFile::exists(InArea(kText, u"both.txt"_s)));
        QVERIFY(!QFile::exists(InArea(kArcade, u"both.zip"_s)));
        Host().Refill();
        QCOMPARE(Host().GetListedRowCount(), rows - 2);
    }

    void localLocationsAsTheyAreRead()
    {
        // Capital letters in the prefix, blanks and a sign before the id and text after it are read
        // as the local copy; unusable ids, a missing slash and an unknown area are passed silently.
        for (const char* name : {"caps.txt", "blank.txt", "tail.txt", "kept0.txt", "kept99.txt"})
            WriteFile(InArea(kText, QLatin1String(name)), "x");
        const double id =
            AddLibraryFile(u"Odd Locations"_s, {kText},
                           {u"LOCAL://6/caps.txt"_s, u"Local:// +6/blank.txt"_s, u"local://6x/tail.txt"_s,
                            u"local://0/kept0.txt"_s, u"local://-6/kept0.txt"_s, u"local://99/kept99.txt"_s,
                            u"local://abc/kept0.txt"_s, u"local://6"_s});
        // Only remote locations: no question about local storage.
        const double remote = AddLibraryFile(u"Remote Only"_s, {kText}, {u"https://x.example.org/r.zip"_s});
        Select(kTextArea, {u"Odd Locations"_s, u"Remote Only"_s});
        QCOMPARE(Run(RunDeleteFileCommand, {QMessageBox::Yes, QMessageBox::Yes}),
                 (QStringList{kDeleteQuestion, kLocalQuestionForMany}));
        QVERIFY(!Exists(id) && !Exists(remote));
        for (const char* name : {"caps.txt", "blank.txt", "tail.txt"})
            QVERIFY2(!QFile::exists(InArea(kText, QLatin1String(name))), name);
        for (const char* name : {"kept0.txt", "kept99.txt"})
            QVERIFY2(QFile::exists(InArea(kText, QLatin1String(name))), name);
    }

    void copiesThatCannotBeDeletedAreReported()
    {
        // A directory cannot be deleted as a file, and a missing copy is not there to delete; each is
        // reported with its path (a "%s" in it stays as it is) and the record goes all the same.
        QVERIFY(QDir().mkpath(InArea(kText, u"dir %s %1"_s)));
        const double id = AddLibraryFile(u"Undeletable"_s, {kText},
                                         {u"local://6/dir %s %1"_s, u"local://6/never-there.txt"_s});
        Select(kTextArea, {u"Undeletable"_s});
        QCOMPARE(Run(RunDeleteFileCommand, {QMessageBox::Yes, QMessageBox::Yes}),
                 (QStringList{kDeleteQuestion, kLocalQuestion,
                              NotDeleted(InArea(kText, u"dir %s %1"_s), InArea(kText, u"dir %s %1: Is a directory"_s)),
                              NotDeleted(InArea(kText, u"never-there.txt"_s),
                                         InArea(kText, u"never-there.txt: No such file or directory"_s))}));
        QVERIFY(!Exists(id));
        QVERIFY(QFileInfo(InArea(kText, u"dir %s %1"_s)).isDir());
    }

    void locationsLeavingTheAreaAreNeverDeleted()
    {
        WriteFile(InArea(kArcade, u"neighbour.zip"_s), "another area's file");
        WriteFile(OutsidePath(u"secret.txt"_s), "outside");
        WriteFile(InArea(kText, u"target.txt"_s), "inside");
        for (const QString& name : {u"out-link.txt"_s, u"in-link.txt"_s, u"out-dir"_s})
            QFile::remove(InArea(kText, name));
        QVERIFY(QFile::link(OutsidePath(u"secret.txt"_s), InArea(kText, u"out-link.txt"_s)));
        QVERIFY(QFile::link(InArea(kText, u"target.txt"_s), InArea(kText, u"in-link.txt"_s)));
        QVERIFY(QFile::link(m_dir.filePath(u"outside"_s), InArea(kText, u"out-dir"_s)));
        const QStringList leaving = {u"local://6/../arcade/neighbour.zip"_s, u"local://6/..\\arcade\\neighbour.zip"_s};
        const double id = AddLibraryFile(u"Leaving"_s, {kText},
                                         leaving + QStringList{u"local://6/out-dir/secret.txt"_s,
                                                               u"local://6/out-link.txt"_s, u"local://6/in-link.txt"_s});
        Select(kTextArea, {u"Leaving"_s});
        QCOMPARE(Run(RunDeleteFileCommand, {QMessageBox::Yes, QMessageBox::Yes}),
                 (QStringList{kDeleteQuestion, kLocalQuestion, OutsideMessage(leaving[0]), OutsideMessage(leaving[1]),
                              NotDeleted(InArea(kText, u"out-dir/secret.txt"_s),
                                         InArea(kText, u"out-dir"_s) +
                                             u" is a symbolic link. Troveport Explorer does not follow links in "
                                             u"directories the web site can write, and left it alone."_s)}));
        QVERIFY(!Exists(id));
        QCOMPARE(ReadFile(InArea(kArcade, u"neighbour.zip"_s)), "another area's file");
        QCOMPARE(ReadFile(OutsidePath(u"secret.txt"_s)), "outside");
        // A link in the file's place is deleted itself; the file it points to stays, inside or out.
        QVERIFY(!QFileInfo(InArea(kText, u"out-link.txt"_s)).isSymLink());
        QVERIFY(!QFileInfo(InArea(kText, u"in-link.txt"_s)).isSymLink());
        QCOMPARE(ReadFile(InArea(kText, u"target.txt"_s)), "inside");
    }

    void removeFromArea()
    {
        const double shared = AddLibraryFile(u"Shared File"_s, {kText, kArcade});
        const double keep = AddLibraryFile(u"Only Here %s %1"_s, {kText});
        const double gone = AddLibraryFile(u"Only Here Too"_s, {kText});
        Select(kTextArea, {u"Only Here Too"_s, u"Only Here %s %1"_s, u"Shared File"_s});
        const QString lastArea =
            u"Warning: question | Yes No | %1 exists only in the selected file area. Removing "
            u"this file will delete it from the system. Are you sure you want to remove this "
            u"file?"_s;
        // The walk goes in list order, whatever order the rows were selected in.
        QCOMPARE(Run(RunRemoveFromAreaCommand, {QMessageBox::Yes, QMessageBox::No, QMessageBox::Yes}),
                 (QStringList{kRemoveQuestion, QString(lastArea).replace(u"%1"_s, u"Only Here %s %1"_s),
                              QString(lastArea).replace(u"%1"_s, u"Only Here Too"_s)}));
        QCOMPARE(AreasOf(shared), QList<double>{kArcade});
        QVERIFY(Exists(keep));
        QCOMPARE(AreasOf(keep), QList<double>{kText});
        QVERIFY(!Exists(gone));
        Host().Refill();
        QVERIFY(Host().RowOf(u"Shared File"_s) < 0 && Host().RowOf(u"Only Here Too"_s) < 0);
        QVERIFY(Host().RowOf(u"Only Here %s %1"_s) >= 0);
    }

    void searchResultsDeleteButNeverRemove()
    {
        WriteFile(InArea(kText, u"found.txt"_s), "f");
        const double found = AddLibraryFile(u"Zebra Found"_s, {kText, kArcade}, {u"local://6/found.txt"_s});
        const double other = AddLibraryFile(u"Zebra Other"_s, {kText});
        Host().ShowSearchResults(u"Zebra"_s, kSearchTitle);
        QVERIFY(Host().SelectTitles({u"Zebra Found"_s}));
        // The search results are no area to remove a file from, whatever the answer.
        QCOMPARE(Run(RunRemoveFromAreaCommand, {QMessageBox::Yes}), QStringList{kRemoveQuestion});
        QCOMPARE(AreasOf(found), (QList<double>{kArcade, kText}));
        QCOMPARE(Run(RunDeleteFileCommand, {QMessageBox::Yes, QMessageBox::Yes}),
                 (QStringList{kDeleteQuestion, kLocalQuestion}));
        QVERIFY(!Exists(found) && Exists(other));
        QVERIFY(!QFile::exists(InArea(kText, u"found.txt"_s)));
    }

    void severalRowsDeleteExactlyThoseFiles()
    {
        QList<double> ids;
        QStringList titles;
        for (int i = 0; i < 8; ++i) {
            titles.append(u"Walk %1"_s.arg(i));
            ids.append(AddLibraryFile(titles.last(), {kArcade}));
        }
        Select(u"Games/Classic Arcade"_s, {titles[6], titles[1], titles[2], titles[4], titles[7]});
        // The web site deletes a selected file meanwhile: its row is passed over, no other file's
        // values stand in for it.
        COtherProgram site(theDatabaseManager.GetDatabaseFile());
        QVERIFY(site.Run(u"DELETE FROM files WHERE file_id = ?"_s, {qint64(ids[4])}));
        QCOMPARE(Run(RunDeleteFileCommand, {QMessageBox::Yes}), QStringList{kDeleteQuestion});
        for (int i = 0; i < 8; ++i)
            QCOMPARE(Exists(ids[i]), i == 0 || i == 3 || i == 5);
    }

    // Yes to All and No to All answer the question about local copies for the rest of the walk;
    // Yes and No only for the file they were given for.
    void answersForAllFiles_data()
    {
        QTest::addColumn<QList<int>>("answers"); // after the first question
        QTest::addColumn<int>("questions");
        QTest::addColumn<bool>("copiesGone");
        QTest::newRow("Yes to All") << QList<int>{QMessageBox::YesToAll} << 1 << true;
        QTest::newRow("No to All") << QList<int>{QMessageBox::NoToAll} << 1 << false;
        QTest::newRow("Yes each time") << QList<int>{QMessageBox::Yes, QMessageBox::Yes, QMessageBox::Yes} << 3
                                       << true;
    }

    void answersForAllFiles()
    {
        QFETCH(QList<int>, answers);
        QFETCH(int, questions);
        QFETCH(bool, copiesGone);
        const QString tag = QString::fromLatin1(QTest::currentDataTag()).remove(u' ');
        QStringList titles, copies;
        QList<double> ids;
        for (int i = 0; i < 3; ++i) {
            titles.append(u"%1 %2"_s.arg(tag).arg(i));
            copies.append(InArea(kText, u"%1-%2.txt"_s.arg(tag).arg(i)));
            WriteFile(copies.last(), "copy");
            ids.append(AddLibraryFile(titles.last(), {kText}, {u"local://6/%1-%2.txt"_s.arg(tag).arg(i)}));
        }
        Select(kTextArea, titles);
        CMessageBox::QueueAnswer(QMessageBox::Yes);
        for (int answer : answers)
            CMessageBox::QueueAnswer(CMessageBox::Button(answer));
        QCOMPARE(Run(RunDeleteFileCommand, {}),
                 QStringList{kDeleteQuestion} + QStringList(questions, kLocalQuestionForMany));
        for (int i = 0; i < 3; ++i) {
            QVERIFY(!Exists(ids[i]));
            QCOMPARE(QFile::exists(copies[i]), !copiesGone);
        }
    }

    // A copy that another file still offers for download stays, and the message names that file:
    // the same directory and path count, however the location is written; another directory, or a
    // name that differs in case (another file here), does not.
    void copyAnotherFileNamesIsKept_data()
    {
        QTest::addColumn<QString>("ours");
        QTest::addColumn<QString>("theirs");
        QTest::addColumn<bool>("shareDirectory"); // arcade made a link to text's directory
        QTest::addColumn<bool>("kept");
        QTest::newRow("the same location") << u"local://6/kept.zip"_s << u"local://6/kept.zip"_s << false << true;
        QTest::newRow("written otherwise") << u"local://6/sub/kept.zip"_s << u"LOCAL://6/sub\\kept.zip"_s << false
                                           << true;
        QTest::newRow("another area, the same directory")
            << u"local://6/kept.zip"_s << u"local://2/kept.zip"_s << true << true;
        QTest::newRow("another area's directory") << u"local://6/kept.zip"_s << u"local://2/kept.zip"_s << false
                                                  << false;
        QTest::newRow("the name in other case") << u"local://6/kept.zip"_s << u"local://6/Kept.zip"_s << false
                                                << false;
        QTest::newRow("another path") << u"local://6/sub/kept.zip"_s << u"local://6/kept.zip"_s << false << false;
    }

    void copyAnotherFileNamesIsKept()
    {
        QFETCH(QString, ours);
        QFETCH(QString, theirs);
        QFETCH(bool, shareDirectory);
        QFETCH(bool, kept);
        const QString relative = ours.mid(ours.indexOf(u'/', 8) + 1);
        QVERIFY(QDir().mkpath(InArea(kText, u"sub"_s)));
        WriteFile(InArea(kText, relative), "shared copy");
        WriteFile(InArea(kArcade, u"kept.zip"_s), "arcade's own");
        const QString arcade = AreaDir(kArcade);
        if (shareDirectory) {
            QVERIFY(QDir().rename(arcade, arcade + u".real"_s));
            QVERIFY(QFile::link(AreaDir(kText), arcade));
        }
        const double going = AddLibraryFile(u"Going"_s, {kText}, {ours});
        const double keeper = AddLibraryFile(u"Keeper %s %1"_s, {kArcade}, {theirs});
        const auto dropKeeper = qScopeGuard([keeper] {
            if (const auto stored = Stored(keeper))
                stored->Delete();
        });
        Select(kTextArea, {u"Going"_s});
        const QStringList shown = Run(RunDeleteFileCommand, {QMessageBox::Yes, QMessageBox::Yes});
        if (shareDirectory) {
            QVERIFY(QFile::remove(arcade));
            QVERIFY(QDir().rename(arcade + u".real"_s, arcade));
        }
        QStringList expected{kDeleteQuestion, kLocalQuestion};
        if (kept)
            expected.append(KeptMessage(InArea(kText, relative), u"Keeper %s %1"_s));
        QCOMPARE(shown, expected);
        QVERIFY(!Exists(going));
        QCOMPARE(QFile::exists(InArea(kText, relative)), kept);
        QCOMPARE(ReadFile(InArea(kArcade, u"kept.zip"_s)), "arcade's own");
        QCOMPARE(LocationsOf(keeper), QStringList{theirs});
        QFile::remove(InArea(kText, relative));
    }

    // The record goes before its copies: when the database refuses to delete it (the site holds
    // it), the user is told why, and the copies it offers for download stay.
    void recordTheDatabaseKeepsKeepsItsCopies()
    {
        WriteFile(InArea(kText, u"held.txt"_s), "held");
        const double id = AddLibraryFile(u"Held"_s, {kText}, {u"local://6/held.txt"_s});
        COtherProgram site(theDatabaseManager.GetDatabaseFile());
        QVERIFY(site.RefuseWrites(u"DELETE"_s, u"files"_s, u"true"_s, u"the site holds this file"_s));
        Select(kTextArea, {u"Held"_s});
        const QStringList shown = Run(RunDeleteFileCommand, {QMessageBox::Yes, QMessageBox::Yes});
        QVERIFY(site.AllowWrites(u"files"_s));
        QCOMPARE(shown.size(), 3);
        QCOMPARE(shown.mid(0, 2), (QStringList{kDeleteQuestion, kLocalQuestion}));
        QVERIFY2(shown[2].startsWith(u"Warning: warning | OK | Held could not be deleted from the database, and "
                                     u"nothing of it was deleted.\n"_s),
                 qPrintable(shown[2]));
        QVERIFY2(shown[2].contains(u"the site holds this file"_s), qPrintable(shown[2]));
        QVERIFY(Exists(id));
        QCOMPARE(LocationsOf(id), QStringList{u"local://6/held.txt"_s});
        QCOMPARE(AreasOf(id), QList<double>{kText});
        QVERIFY(QFile::exists(InArea(kText, u"held.txt"_s)));
    }

    // Several files are deleted beside the window, with progress and Cancel. Cancel stops the walk
    // between files: the file being dealt with goes whole, record and copy, and the next is not
    // touched, even when its question was already on its way.
    void cancelStopsBetweenFiles()
    {
        WriteFile(InArea(kArcade, u"stop-one.zip"_s), "1");
        WriteFile(InArea(kArcade, u"stop-two.zip"_s), "2");
        const double one = AddLibraryFile(u"Stop One"_s, {kArcade}, {u"local://2/stop-one.zip"_s});
        const double two = AddLibraryFile(u"Stop Two"_s, {kArcade}, {u"local://2/stop-two.zip"_s});
        const double three = AddLibraryFile(u"Stop Three"_s, {kArcade});
        Select(u"Games/Classic Arcade"_s, {u"Stop One"_s, u"Stop Two"_s, u"Stop Three"_s});
        QStringList shown;
        bool windowModal = false;
        CModalRun::QueueProgressHandler([&](QDialog& progress) {
            windowModal =
                progress.windowModality() == Qt::WindowModal && progress.parentWidget() == Host().GetWindow();
            // The walk waits at the first file's question, which comes up above the progress.
            while (shown.size() < 2) {
                QCoreApplication::processEvents();
                shown += TakeDescribed();
            }
            // Without events taken, the walk can only finish the first file, copy last, and come to
            // the next one's question.
            QDeadlineTimer deadline(10000);
            while (QFile::exists(InArea(kArcade, u"stop-one.zip"_s)) && !deadline.hasExpired())
                QThread::msleep(5);
            progress.reject(); // Cancel
            return int(QDialog::Rejected);
        });
        shown += Run(RunDeleteFileCommand, {QMessageBox::Yes, QMessageBox::Yes, QMessageBox::YesToAll});
        QCOMPARE(CModalRun::PendingHandlers(), 0);
        QCoreApplication::processEvents(); // a question the walk no longer waits for is never shown
        shown += TakeDescribed();
        QCOMPARE(shown, (QStringList{kDeleteQuestion, kLocalQuestionForMany}));
        QVERIFY(windowModal);
        QVERIFY(!Exists(one));
        QVERIFY(Exists(two) && Exists(three));
        QCOMPARE(LocationsOf(two), QStringList{u"local://2/stop-two.zip"_s});
        QVERIFY(QFile::exists(InArea(kArcade, u"stop-two.zip"_s)));
    }

    // Titles and locations come from the site, which can store megabytes in them: every prompt of
    // the removal shows them shortened.
    void storedTextsInPromptsAreShortened_data()
    {
        QTest::addColumn<int>("prompt");
        QTest::newRow("last area question") << 0;
        QTest::newRow("location leaving its area") << 1;
        QTest::newRow("copy not deleted") << 2;
        QTest::newRow("progress") << 3;
        QTest::newRow("copy kept") << 4;
    }

    void storedTextsInPromptsAreShortened()
    {
        QFETCH(int, prompt);
        const QString huge = u"%1 begins "_s + QString(10 * 1024 * 1024, u'x') + u" ends"_s;
        CFileRecord cursor(&theDatabaseManager);
        CFileRemover remover(Host().GetWindow(), cursor, {}, CFileRemover::Kind::Delete);
        QString shown;
        switch (prompt) {
        case 0:
            remover.AskDeleteFileOfLastArea(huge);
            break;
        case 1:
            remover.ReportOutsideArea(huge);
            break;
        case 2:
            remover.ReportNotDeleted(huge, FileFault{FileFault::Kind::System, ENOENT, huge});
            break;
        case 3:
            shown = CFileRemover::ProgressText(CFileRemover::Kind::Delete, 1, 1, huge);
            break;
        case 4:
            remover.ReportCopyKept(huge, huge);
            break;
        }
        if (prompt != 3) {
            const auto boxes = CMessageBox::TakeRequests();
            QCOMPARE(boxes.size(), 1);
            shown = boxes[0].text;
        }
        QVERIFY2(shown.size() < 600, qPrintable(QString::number(shown.size())));
        QVERIFY(shown.contains(u"%1 begins xxx"_s) && shown.contains(u"xxx ends"_s));
        QVERIFY(prompt != 4 || shown.count(u"%1 begins xxx"_s) == 2);
    }
};

QTEST_MAIN(TestRemoval)
#include "tst_removal.moc"

// Start-up: the two paths from the machine settings, the area table checks with their messages,
// and the seams every window goes through (message boxes, folder chooser).

#include "adding/BrowseForDirectory.h"
#include "controls/CFileChooser.h"
#include "controls/CMessageBox.h"
#include "explorer/CMainFrame.h"
#include "startup/CExplorerApp.h"
#include "startup/Globals.h"
#include "startup/Registry.h"
#include "startup/Startup.h"
#include "TestSupport.h"

#include <QApplication>
#include <QStandardPaths>
#include <QTemporaryDir>

using namespace TestSupport;

namespace {
const QString kCannotAccess =
    QStringLiteral("Troveport Explorer cannot access the FileAreas database. If you are "
                   "running Troveport Setup, please close it and try again.");
const QString kNoAreas = QStringLiteral("No file areas are defined. Please run Troveport Setup.");
} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;

    QString Db() const { return m_dir->filePath(QStringLiteral("db")); }

    // Runs start-up and returns the one message it showed, or an empty text when it showed none.
    QString StartAndTakeMessage(bool expectedResult)
    {
        const bool started = theApp.InitInstance();
        const QList<CMessageBox::Request> shown = CMessageBox::TakeRequests();
        if (started != expectedResult || shown.size() > 1)
            return QStringLiteral("unexpected: started=%1, %2 messages").arg(started).arg(shown.size());
        if (shown.isEmpty())
            return QString();
        const CMessageBox::Request& box = shown.first();
        if (box.caption != QLatin1String("Warning") || box.hadOwner || box.icon != QMessageBox::NoIcon ||
            box.buttons != QMessageBox::Ok)
            return QStringLiteral("unexpected box: ") + box.caption;
        return box.text;
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        CMessageBox::SetAnsweringMode(true);
        CFileChooser::SetAnsweringMode(true);
    }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        UseSettingsFilesIn(m_dir->path());
        QVERIFY(QDir().mkpath(Db()));
        RegWriteString(QStringLiteral("DatabasePath"), Db(), g_pszRegKey);
    }

    void cleanup()
    {
        theApp.ExitInstance();
        theFileAreaTable.Close();
        CMessageBox::TakeRequests();
    }

    void webRootGetsOneSeparator_data()
    {
        QTest::addColumn<bool>("stored");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("without separator") << true << "/srv/www"
                                           << "/srv/www/";
        QTest::newRow("with separator") << true << "/srv/www/"
                                        << "/srv/www/";
        QTest::newRow("empty") << true << ""
                               << "";
        QTest::newRow("absent") << false << ""
                                << "";
        QTest::newRow("258 bytes") << true << QLatin1Char('/') + QString(257, QLatin1Char('w'))
                                   << QLatin1Char('/') + QString(257, QLatin1Char('w')) + QLatin1Char('/');
        QTest::newRow("259 bytes, no room")
            << true << QLatin1Char('/') + QString(258, QLatin1Char('w')) << "";
        QTest::newRow("260 bytes, too long")
            << true << QLatin1Char('/') + QString(259, QLatin1Char('w')) << "";
    }

    void webRootGetsOneSeparator()
    {
        QFETCH(bool, stored);
        QFETCH(QString, value);
        QFETCH(QString, expected);
        g_szHttpPath = QStringLiteral("left over");
        if (stored)
            RegWriteString(QStringLiteral("HttpPath"), value, g_pszRegKey);
        LoadStartupPaths();
        QCOMPARE(g_szHttpPath, expected);
        QCOMPARE(g_strDatabasePath, Db());
    }

    void databasePathIsJoinedOnce()
    {
        RegWriteString(QStringLiteral("DatabasePath"), QStringLiteral("/srv/db/"), g_pszRegKey);
        LoadStartupPaths();
        QCOMPARE(g_strDatabasePath, QStringLiteral("/srv/db/")); // kept exactly as stored
        QCOMPARE(FileAreaTableName(), QStringLiteral("/srv/db/Filearea.dat"));
        RegWriteDword(QStringLiteral("DatabasePath"), 5, g_pszRegKey); // wrong type: as if absent
        LoadStartupPaths();
        QCOMPARE(g_strDatabasePath, QString());
        QCOMPARE(FileAreaTableName(), QStringLiteral("Filearea.dat"));
    }

    void missingDatabaseDirectory()
    {
        RegWriteString(QStringLiteral("DatabasePath"), m_dir->filePath(QStringLiteral("nowhere")),
                       g_pszRegKey);
        QCOMPARE(StartAndTakeMessage(false), kCannotAccess);
        QVERIFY(!theApp.GetMainWindow());
    }

    void tableLockedByAnotherProgram()
    {
        const QString table = Db() + QStringLiteral("/Filearea.dat");
        WriteFile(table, HeaderRecord() + AreaRecord(1, "Games"));
        CForeignLock lock(table);
        QVERIFY2(lock.IsLocked(), "flock(1) could not take the lock");
        QCOMPARE(StartAndTakeMessage(false), kCannotAccess);
        QVERIFY(!theFileAreaTable.IsOpen());
    }

    void missingTableIsCreatedEmptyAndRefused()
    {
        QCOMPARE(StartAndTakeMessage(false), kNoAreas);
        QVERIFY(QFileInfo::exists(Db() + QStringLiteral("/Filearea.dat")));
        QCOMPARE(QFileInfo(Db() + QStringLiteral("/Filearea.dat")).size(), 0);
        QVERIFY(!theFileAreaTable.IsOpen());
    }

    void withoutDatabasePathTheCurrentDirectoryIsUsed()
    {
        RegWriteString(QStringLiteral("Other"), QStringLiteral("x"), g_pszRegKey);
        QFile::remove(m_dir->filePath(QStringLiteral("machine.reg")));
        const QString cwd = QDir::currentPath();
        QDir::setCurrent(m_dir->path());
        const QString message = StartAndTakeMessage(false);
        QDir::setCurrent(cwd);
        QCOMPARE(message, kNoAreas);
        QVERIFY(QFileInfo::exists(m_dir->filePath(QStringLiteral("Filearea.dat"))));
    }

    void headerOnlyStartsWithNoAreas()
    {
        WriteFile(Db() + QStringLiteral("/Filearea.dat"), HeaderRecord());
        QCOMPARE(StartAndTakeMessage(true), QString());
        QVERIFY(theApp.GetMainWindow());
        QCOMPARE(theApp.GetMainWindow()->windowTitle(), QStringLiteral("Troveport Explorer"));
        QVERIFY(theApp.GetMainWindow()->isVisible());
        QCOMPARE(theFileAreaTable.GetRecordCount(), 1u);
    }

    void oneAreaStartsAndKeepsTheTableShared()
    {
        const QString table = Db() + QStringLiteral("/Filearea.dat");
        WriteFile(table, HeaderRecord() + AreaRecord(42, "Games"));
        QCOMPARE(StartAndTakeMessage(true), QString());
        QCOMPARE(theFileAreaTable.FindArea(42u)->Name(), QStringLiteral("Games"));
        // Other readers may open the table meanwhile; troveport-setup may not write it.
        CFileAreaTable reader;
        QVERIFY(reader.Open(table));
        CMappedFile writer(868, true);
        QVERIFY(!writer.Open(table));
    }

    void messageBoxesDefaultToTheProgramsName()
    {
        QWidget owner;
        CMessageBox::QueueAnswer(QMessageBox::No);
        QCOMPARE(CMessageBox::Show(&owner, QStringLiteral("Delete?"), QString(), QMessageBox::Question,
                                   QMessageBox::Yes | QMessageBox::No),
                 QMessageBox::No);
        QCOMPARE(CMessageBox::Show(nullptr, QStringLiteral("Again?"), QStringLiteral("Question"),
                                   QMessageBox::Question, QMessageBox::Yes | QMessageBox::No,
                                   QMessageBox::Yes),
                 QMessageBox::Yes);
        const auto shown = CMessageBox::TakeRequests();
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[0].caption, QStringLiteral("Troveport Explorer"));
        QVERIFY(shown[0].hadOwner && shown[0].owner == &owner);
        QCOMPARE(shown[1].caption, QStringLiteral("Question"));
    }

    void browseForDirectory()
    {
        QString path = QStringLiteral("/start/here/");
        CFileChooser::QueueAnswer(QString()); // cancelled
        QVERIFY(!BrowseForDirectory(nullptr, path, QStringLiteral("Choose")));
        QCOMPARE(path, QStringLiteral("/start/here/"));
        const auto asked = CFileChooser::TakeRequests();
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked[0].kind, CFileChooser::Kind::Directory);
        QCOMPARE(asked[0].startPath, QStringLiteral("/start/here"));
        QCOMPARE(asked[0].caption, QStringLiteral("Choose"));

        CFileChooser::QueueAnswer(QStringLiteral("/srv//files/./games/../arcade"));
        QVERIFY(BrowseForDirectory(nullptr, path, QStringLiteral("Choose")));
        QCOMPARE(path, QStringLiteral("/srv/files/arcade"));

        // A folder whose path no path field can hold is refused with a message.
        CFileChooser::QueueAnswer(QLatin1Char('/') + QString(300, QLatin1Char('d')));
        QVERIFY(!BrowseForDirectory(nullptr, path, QStringLiteral("Choose")));
        QCOMPARE(path, QStringLiteral("/srv/files/arcade"));
        QCOMPARE(CMessageBox::TakeRequests().size(), 1);
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"

// Start-up: the two paths from the machine settings, the area table checks with their messages,
// and the seams every window goes through (message boxes, folder chooser).

#include "adding/addfiles/BrowseForDirectory.h"
#include "controls/CFileChooser.h"
#include "controls/CMessageBox.h"
#include "explorer/CMainFrame.h"
#include "settings/Globals.h"
#include "settings/Registry.h"
#include "startup/CExplorerApp.h"
#include "startup/Startup.h"
#include "TestSupport.h"

#include <QApplication>
#include <QStandardPaths>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

using namespace TestSupport;

namespace {
const QString kCannotAccess =
    QStringLiteral("Troveport Explorer cannot access the FileAreas database. If you are "
                   "running Troveport Setup, please close it and try again.");
const QString kNoAreas = u"No file areas are defined. Please run Troveport Setup."_s;
} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;

    QString Db() const { return m_dir->filePath(u"db"_s); }

    // Runs start-up and returns the one message it showed, or an empty text when it showed none.
    QString StartAndTakeMessage(bool expectedResult)
    {
        const bool started = theApp.InitInstance();
        const QList<CMessageBox::Request> shown = CMessageBox::TakeRequests();
        if (started != expectedResult || shown.size() > 1)
            return u"unexpected: started=%1, %2 messages"_s.arg(started).arg(shown.size());
        if (shown.isEmpty())
            return QString();
        const CMessageBox::Request& box = shown.first();
        if (box.caption != QLatin1String("Warning") || box.hadOwner || box.icon != QMessageBox::NoIcon ||
            box.buttons != QMessageBox::Ok)
            return u"unexpected box: "_s + box.caption;
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
        RegWriteString(u"DatabasePath"_s, Db(), g_pszRegKey);
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
        QTest::newRow("without separator") << true << u"/srv/www"_s << u"/srv/www/"_s;
        QTest::newRow("with separator") << true << u"/srv/www/"_s << u"/srv/www/"_s;
        QTest::newRow("empty") << true << QString() << QString();
        QTest::newRow("absent") << false << QString() << QString();
        // Read whole: a web root is never cut, nor dropped for its length.
        QTest::newRow("600 bytes") << true << QLatin1Char('/') + QString(599, QLatin1Char('w'))
                                   << QLatin1Char('/') + QString(599, QLatin1Char('w')) + QLatin1Char('/');
    }

    void webRootGetsOneSeparator()
    {
        QFETCH(bool, stored);
        QFETCH(QString, value);
        QFETCH(QString, expected);
        g_szHttpPath = u"left over"_s;
        if (stored)
            RegWriteString(u"HttpPath"_s, value, g_pszRegKey);
        LoadStartupPaths();
        QCOMPARE(g_szHttpPath, expected);
        QCOMPARE(g_strDatabasePath, Db());
    }

    void databasePathIsJoinedOnce()
    {
        RegWriteString(u"DatabasePath"_s, u"/srv/db/"_s, g_pszRegKey);
        LoadStartupPaths();
        QCOMPARE(g_strDatabasePath, u"/srv/db/"_s); // kept exactly as stored
        QCOMPARE(FileAreaTableName(), u"/srv/db/Filearea.dat"_s);
        RegWriteDword(u"DatabasePath"_s, 5, g_pszRegKey); // wrong type: as if absent
        LoadStartupPaths();
        QCOMPARE(g_strDatabasePath, QString());
        QCOMPARE(FileAreaTableName(), u"Filearea.dat"_s);
    }

    // What the start makes of the library's table: the message shown, and whether the window opens.
    void tableDecidesTheStart_data()
    {
        QTest::addColumn<QString>("table"); // "none", "header", "locked", or "no directory"
        QTest::addColumn<QString>("message");
        QTest::newRow("no directory") << "no directory" << kCannotAccess;
        QTest::newRow("locked by another program") << "locked" << kCannotAccess;
        QTest::newRow("missing: made empty") << "none" << kNoAreas;
        QTest::newRow("header only") << "header" << QString();
    }

    void tableDecidesTheStart()
    {
        QFETCH(QString, table);
        QFETCH(QString, message);
        const QString file = Db() + u"/Filearea.dat"_s;
        if (table == u"no directory"_s)
            RegWriteString(u"DatabasePath"_s, m_dir->filePath(u"nowhere"_s), g_pszRegKey);
        if (table == u"header"_s || table == u"locked"_s)
            WriteFile(file, HeaderRecord() + (table == u"locked"_s ? AreaRecord(1, "Games") : QByteArray()));
        std::unique_ptr<CForeignLock> lock;
        if (table == u"locked"_s) {
            lock = std::make_unique<CForeignLock>(file);
            QVERIFY2(lock->IsLocked(), "flock(1) could not take the lock");
        }
        QCOMPARE(StartAndTakeMessage(message.isEmpty()), message);
        QCOMPARE(theFileAreaTable.IsOpen(), message.isEmpty());
        QCOMPARE(bool(theApp.GetMainWindow()), message.isEmpty());
        if (table == u"none"_s)
            QCOMPARE(QFileInfo(file).size(), 0);
        if (message.isEmpty()) {
            QVERIFY(theApp.GetMainWindow()->isVisible());
            QCOMPARE(theFileAreaTable.GetRecordCount(), 1u);
        }
    }

    void withoutDatabasePathTheCurrentDirectoryIsUsed()
    {
        RegWriteString(u"Other"_s, u"x"_s, g_pszRegKey);
        QFile::remove(m_dir->filePath(u"machine.reg"_s));
        const QString cwd = QDir::currentPath();
        QDir::setCurrent(m_dir->path());
        const QString message = StartAndTakeMessage(false);
        QDir::setCurrent(cwd);
        QCOMPARE(message, kNoAreas);
        QVERIFY(QFileInfo::exists(m_dir->filePath(u"Filearea.dat"_s)));
    }

    void oneAreaStartsAndKeepsTheTableShared()
    {
        const QString table = Db() + u"/Filearea.dat"_s;
        WriteFile(table, HeaderRecord() + AreaRecord(42, "Games"));
        QCOMPARE(StartAndTakeMessage(true), QString());
        QCOMPARE(theFileAreaTable.FindArea(42u)->Name(), u"Games"_s);
        // Other readers may open the table meanwhile; troveport-setup may not write it.
        CFileAreaTable reader;
        QVERIFY(reader.Open(table));
        CMappedFile writer(868, true);
        QVERIFY(!writer.Open(table));
    }

    void browseForDirectory()
    {
        QString path = u"/start/here/"_s;
        CFileChooser::QueueAnswer(QString()); // cancelled
        QVERIFY(!BrowseForDirectory(nullptr, path, u"Choose"_s));
        QCOMPARE(path, u"/start/here/"_s);
        const auto asked = CFileChooser::TakeRequests();
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked[0].kind, CFileChooser::Kind::Directory);
        QCOMPARE(asked[0].startPath, u"/start/here"_s);
        QCOMPARE(asked[0].caption, u"Choose"_s);

        CFileChooser::QueueAnswer(u"/srv//files/./games/../arcade"_s);
        QVERIFY(BrowseForDirectory(nullptr, path, u"Choose"_s));
        QCOMPARE(path, u"/srv/files/arcade"_s);

        // A folder whose path no path field can hold is refused with a message.
        CFileChooser::QueueAnswer(QLatin1Char('/') + QString(300, QLatin1Char('d')));
        QVERIFY(!BrowseForDirectory(nullptr, path, u"Choose"_s));
        QCOMPARE(path, u"/srv/files/arcade"_s);
        QCOMPARE(CMessageBox::TakeRequests().size(), 1);
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"

// Path and file helpers and the self-removing work directory.

#include "files/CWorkDirectory.h"
#include "files/FileUtils.h"
#include "files/PathUtils.h"
#include "TestSupport.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

using namespace TestSupport;

class TestPathUtils : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void makePath_data()
    {
        QTest::addColumn<QString>("dir");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("ext");
        QTest::addColumn<QString>("result");
        QTest::newRow("all parts") << u"/srv/db"_s << u"/Games"_s << u"group"_s << u"/srv/db/Games.group"_s;
        QTest::newRow("extension with dot")
            << u"/srv/db/"_s << u"Games"_s << u".group"_s << u"/srv/db/Games.group"_s;
        QTest::newRow("no directory") << u""_s << u"Filearea.dat"_s << u""_s << u"Filearea.dat"_s;
        QTest::newRow("directory only") << u"/srv"_s << u""_s << u""_s << u"/srv/"_s;
        QTest::newRow("only one leading slash dropped") << u"/srv"_s << u"//x"_s << u""_s << u"/srv//x"_s;
    }
    void makePath()
    {
        QFETCH(QString, dir);
        QFETCH(QString, name);
        QFETCH(QString, ext);
        QTEST(MakePath(dir, name, ext), "result");
    }

    void makePathIsBoundedWithoutSplittingCharacters()
    {
        const QString longName(400, QChar(0x20ac)); // three bytes each
        const QString made = MakePath(u"/d"_s, longName);
        QVERIFY(made.toUtf8().size() <= 519);
        QVERIFY(made.toUtf8().size() > 515);
        QVERIFY(!made.contains(QChar::ReplacementCharacter));
        QCOMPARE(SafeStrCopy(u"ab\u00e9"_s, 4), u"ab"_s);
        QCOMPARE(SafeStrCopy(u"ab\u00e9"_s, 5), u"ab\u00e9"_s);
        QCOMPARE(SafeStrCopy(u"abc"_s, 0), QString());
    }

    void extensions_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("extension");
        QTest::addColumn<QString>("stripped");
        QTest::newRow("plain") << "/a/file.zip" << 7 << "/a/file";
        QTest::newRow("two dots") << "/a/file.tar.gz" << 11 << "/a/file.tar";
        QTest::newRow("dot only in directory") << "/a.d/file" << -1 << "/a";
        QTest::newRow("none") << "file" << -1 << "file";
        QTest::newRow("empty") << "" << -1 << "";
    }
    void extensions()
    {
        QFETCH(QString, path);
        QFETCH(int, extension);
        QCOMPARE(FindExtension(path), qsizetype(extension));
        QTEST(StripExtension(path), "stripped");
    }

    void nameAndDirectoryParts_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("directory");
        QTest::newRow("full") << u"/srv/files/game.zip"_s << u"game.zip"_s << u"/srv/files/"_s;
        QTest::newRow("directory with slash") << u"/srv/files/"_s << u""_s << u"/srv/files/"_s;
        QTest::newRow("relative") << u"files/game.zip"_s << u""_s << u""_s;
        QTest::newRow("dot dot") << u"/srv/files/../game.zip"_s << u""_s << u""_s;
        // Climbing out so far that the full path reappears inside the text.
        QTest::newRow("dot dot to the root") << u"/srv/files/../../etc/passwd"_s << u""_s << u""_s;
        QTest::newRow("dot dot at the end") << u"/srv/files/../.."_s << u""_s << u""_s;
        QTest::newRow("dot") << u"/srv/./game.zip"_s << u""_s << u""_s;
        QTest::newRow("empty") << u""_s << u""_s << u""_s;
    }
    void nameAndDirectoryParts()
    {
        QFETCH(QString, path);
        QTEST(GetFileNamePart(path), "name");
        QTEST(GetDirectoryPart(path), "directory");
    }

    void directoriesAndFiles()
    {
        const QString file = m_dir.filePath(u"plain.txt"_s);
        WriteFile(file, "text");
        QVERIFY(IsDirectory(QString()));
        QVERIFY(!FileExists(QString()));
        QVERIFY(IsDirectory(m_dir.path()));
        QVERIFY(!FileExists(m_dir.path()));
        QVERIFY(!IsDirectory(file));
        QVERIFY(FileExists(file));
        QVERIFY(!IsDirectory(m_dir.filePath(u"missing"_s)));
        QVERIFY(!FileExists(m_dir.filePath(u"missing"_s)));
        const QString cwd = QDir::currentPath();
        IsDirectory(u"/"_s);
        QCOMPARE(QDir::currentPath(), cwd);

        // Without search permission a directory cannot be entered (root may enter anything).
        if (::geteuid() != 0) {
            const QString locked = m_dir.filePath(u"locked"_s);
            QDir().mkpath(locked);
            ::chmod(QFile::encodeName(locked).constData(), 0600);
            QVERIFY(!IsDirectory(locked));
            ::chmod(QFile::encodeName(locked).constData(), 0700);
        }
    }

    void readTextFile()
    {
        const QString file = m_dir.filePath(u"desc.txt"_s);
        WriteFile(file, QByteArray("first line\r\nsecond\0hidden after NUL", 35));
        QCOMPARE(ReadTextFile(file), QByteArray("first line\r\nsecond"));
        QCOMPARE(GetFileSizeByName(file), 35u);

        // Binary garbage is returned as it is, up to its first NUL.
        WriteFile(file, QByteArray("\xff\xfe\x80garbage\x01\x02", 12));
        QCOMPARE(ReadTextFile(file), QByteArray("\xff\xfe\x80garbage\x01\x02", 12));

        QCOMPARE(ReadTextFile(m_dir.filePath(u"missing"_s)), QByteArray());
        QCOMPARE(GetFileSizeByName(m_dir.filePath(u"missing"_s)), 0u);
        QCOMPARE(ReadTextFile(m_dir.path()), QByteArray());
        const QString fifo = m_dir.filePath(u"fifo"_s); // read without waiting for a writer
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QCOMPARE(ReadTextFile(fifo), QByteArray());
        QCOMPARE(GetFileSizeByName(fifo), 0u);

        // A file another program holds for writing reads as empty.
        WriteFile(file, "busy");
        {
            CForeignLock lock(file);
            QVERIFY2(lock.IsLocked(), "flock(1) could not take the lock");
            QCOMPARE(ReadTextFile(file), QByteArray());
        }
        QCOMPARE(ReadTextFile(file), QByteArray("busy"));
    }

    void workDirectoriesAreNumberedAndRemoved()
    {
        QString first, second;
        {
            CWorkDirectory a(m_dir.path());
            CWorkDirectory b(m_dir.path());
            QVERIFY(a.IsValid() && b.IsValid());
            first = a.GetPath();
            second = b.GetPath();
            static const QRegularExpression pattern(u"/WKD(\\d+)\\.[^/]{6}$"_s);
            const auto ma = pattern.match(first), mb = pattern.match(second);
            QVERIFY2(ma.hasMatch() && mb.hasMatch(), qPrintable(first + QLatin1Char(' ') + second));
            QCOMPARE(mb.captured(1).toLong(), ma.captured(1).toLong() + 1);

            // Contents, nested directories and a link to something outside.
            QDir(first).mkpath(u"sub/deeper"_s);
            WriteFile(first + u"/sub/deeper/f.txt"_s, "x");
            WriteFile(first + u"/top.txt"_s, "y");
            const QString outside = m_dir.filePath(u"outside"_s);
            QDir().mkpath(outside);
            WriteFile(outside + u"/keep.txt"_s, "keep");
            QVERIFY(QFile::link(outside, first + u"/sub/link"_s));

            QVERIFY(a.DeleteEntry(u"top.txt"_s));
            QVERIFY(!QFileInfo::exists(first + u"/top.txt"_s));
            QVERIFY(!a.DeleteEntry(u"../outside/keep.txt"_s));
            QVERIFY(!a.DeleteEntry(u".."_s));
        }
        QVERIFY(!QFileInfo::exists(first));
        QVERIFY(!QFileInfo::exists(second));
        QCOMPARE(ReadFile(m_dir.filePath(u"outside/keep.txt"_s)), QByteArray("keep"));

        {
            CWorkDirectory temp;
            QVERIFY(temp.IsValid());
            QVERIFY(temp.GetPath().startsWith(QDir::tempPath()));
            first = temp.GetPath();
        }
        QVERIFY(!QFileInfo::exists(first));
    }

    void workDirectoryOnAPath()
    {
        const QString path = m_dir.filePath(u"given"_s);
        {
            CWorkDirectory notCreated(path, true, false);
            QVERIFY(!notCreated.IsValid());
        }
        {
            CWorkDirectory created(path, false, true);
            QVERIFY(created.IsValid());
        }
        QVERIFY(QFileInfo(path).isDir()); // kept: not asked to remove it
        {
            CWorkDirectory removed(path, true, false);
            QVERIFY(removed.IsValid());
        }
        QVERIFY(!QFileInfo::exists(path));

        // An empty path would be the current directory: never scratch space.
        CWorkDirectory empty(QString(), true, true);
        QVERIFY(!empty.IsValid());

        // A path too long for its buffer is refused, not cut to name its parent.
        const QString parent = m_dir.filePath(QString(250 - m_dir.path().size(), QLatin1Char('p')));
        QVERIFY(QDir().mkpath(parent));
        WriteFile(parent + u"/precious"_s, "keep");
        {
            CWorkDirectory tooLong(parent + u"/"_s + QString(20, QLatin1Char('s')), true, true);
            QVERIFY(!tooLong.IsValid());
        }
        QCOMPARE(ReadFile(parent + u"/precious"_s), QByteArray("keep"));

        // A symbolic link to a directory is not scratch space either: its target is left alone.
        const QString link = m_dir.filePath(u"link-to-parent"_s);
        QVERIFY(QFile::link(parent, link));
        {
            CWorkDirectory linked(link, true, false);
            QVERIFY(!linked.IsValid());
        }
        QCOMPARE(ReadFile(parent + u"/precious"_s), QByteArray("keep"));
    }
};

QTEST_GUILESS_MAIN(TestPathUtils)
#include "tst_pathutils.moc"

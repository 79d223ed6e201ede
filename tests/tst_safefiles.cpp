// The file layer for directories the site can write: links and special files are refused, never
// followed; replacements land whole or not at all; a directory exchanged for a link mid-walk never
// leads outside.

#include "RaceSupport.h"
#include "TestSupport.h"

#include "files/SafeFiles.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace TestSupport;

namespace {

struct FileState
{
    QByteArray bytes;
    qint64 mtimeNs = 0;
    bool operator==(const FileState&) const = default;
};

FileState StateOf(const QString& path)
{
    struct stat st = {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return {ReadFile(path), qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

} // namespace

class tst_SafeFiles : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_area;    // the directory the site can write
    QString m_outside; // what the site wants the explorer to touch
    QString m_secret;

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_area = m_dir.filePath(u"area"_s);
        m_outside = m_dir.filePath(u"outside"_s);
        QDir(m_dir.path()).removeRecursively();
        QVERIFY(QDir().mkpath(m_area + u"/docs"_s));
        QVERIFY(QDir().mkpath(m_outside));
        m_secret = m_outside + u"/secret"_s;
        WriteFile(m_secret, "the administrator's own\n");
    }

    void linkAtFileRefused_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::newRow("read") << u"read"_s;
        QTest::newRow("append") << u"append"_s;
        QTest::newRow("replace") << u"replace"_s;
        QTest::newRow("replace through a linked directory") << u"replace-in-linked-dir"_s;
    }
    void linkAtFileRefused()
    {
        QFETCH(QString, operation);
        QVERIFY(QFile::link(m_secret, m_area + u"/302.txt"_s));
        QVERIFY(QFile::link(m_outside, m_area + u"/linked"_s));
        const FileState before = StateOf(m_secret);

        const CSafeDirectory area = CSafeDirectory::Open(m_area);
        QVERIFY(area.IsOpen());
        FileFault fault;
        QString expectedName = m_area + u"/302.txt"_s;
        if (operation == u"read") {
            CSafeFile file = area.OpenForReading("302.txt");
            QVERIFY(!file.IsOpen());
            fault = file.Fault();
        } else if (operation == u"append") {
            CSafeFile file = area.OpenForAppending("302.txt", 0644);
            QVERIFY(!file.IsOpen());
            fault = file.Fault();
        } else if (operation == u"replace") {
            CFileReplacement file(area, "302.txt", 0644);
            QVERIFY(!file.Write("visitor's text\n") || !file.Commit());
            fault = file.Fault();
        } else {
            QByteArray leaf;
            const CSafeDirectory linked = area.DescendToParent(u"linked/secret", &leaf);
            QVERIFY(!linked.IsOpen());
            fault = linked.Fault();
            expectedName = m_area + u"/linked"_s;
        }
        QCOMPARE(fault.kind, FileFault::Kind::Link);
        QVERIFY2(fault.Message().startsWith(expectedName), qPrintable(fault.Message()));
        QCOMPARE(StateOf(m_secret), before);
        // The link itself is still there, and no temporary file was left beside it.
        QVERIFY(QFileInfo(m_area + u"/302.txt"_s).isSymLink());
        QCOMPARE(Entries(m_area), QStringList({u"302.txt"_s, u"docs"_s, u"linked"_s}));
    }

    // A FIFO, a socket or a directory where a file was expected fails at once instead of hanging.
    void specialFilesRefusedWithoutBlocking()
    {
        const QByteArray fifo = QFile::encodeName(m_area + u"/upload.zip"_s);
        QCOMPARE(::mkfifo(fifo.constData(), 0644), 0);
        const CSafeDirectory area = CSafeDirectory::Open(m_area);
        QCOMPARE(area.OpenForReading("upload.zip").Fault().kind, FileFault::Kind::NotRegular);
        QCOMPARE(area.OpenForAppending("upload.zip", 0644).Fault().kind, FileFault::Kind::NotRegular);
        CFileReplacement replacement(area, "upload.zip", 0644);
        QVERIFY(!replacement.Commit());
        QCOMPARE(replacement.Fault().kind, FileFault::Kind::NotRegular);
        QCOMPARE(area.OpenForReading("docs").Fault().kind, FileFault::Kind::NotRegular);
        // The FIFO is removed itself, and a directory is never removed.
        QVERIFY(area.Remove("upload.zip"));
        FileFault fault;
        QVERIFY(!area.Remove("docs", &fault));
        QVERIFY(QFileInfo(m_area + u"/docs"_s).isDir());
        QVERIFY(!fault.Message().isEmpty());
    }

    void badNamesRefused_data()
    {
        QTest::addColumn<QString>("relative");
        QTest::newRow("parent") << u"../outside/secret"_s;
        QTest::newRow("dot") << u"./docs/x"_s;
        QTest::newRow("empty part") << u"docs//x"_s;
        QTest::newRow("absolute") << u"/etc/passwd"_s;
        QTest::newRow("trailing separator") << u"docs/"_s;
    }
    void badNamesRefused()
    {
        QFETCH(QString, relative);
        const CSafeDirectory area = CSafeDirectory::Open(m_area);
        QByteArray leaf;
        const CSafeDirectory parent = area.DescendToParent(relative, &leaf);
        QVERIFY(!parent.IsOpen());
        QCOMPARE(parent.Fault().kind, FileFault::Kind::BadName);
    }

    // A name that is not UTF-8 is listed and removed by its own bytes.
    void rawNames()
    {
        const QByteArray name("caf\xe9.zip");
        const QByteArray path = QFile::encodeName(m_area) + '/' + name;
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        QVERIFY(fd >= 0);
        ::close(fd);
        const CSafeDirectory area = CSafeDirectory::Open(m_area);
        QVERIFY(area.EntryNames().contains(name));
        QVERIFY(area.OpenForReading(name).IsOpen());
        QVERIFY(area.Remove(name));
        QVERIFY(!area.EntryNames().contains(name));
    }

    void replacementKeepsModeAndLandsWhole()
    {
        const QString target = m_area + u"/submissions.txt"_s;
        WriteFile(target, "old\r\n");
        QVERIFY(QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
        const CSafeDirectory area = CSafeDirectory::Open(m_area);
        {
            CFileReplacement replacement(area, "submissions.txt", 0600);
            QVERIFY(replacement.Write("new"));
            QVERIFY(replacement.Write(" record\r\n"));
            QCOMPARE(ReadFile(target), QByteArray("old\r\n")); // nothing shows before the commit
            QVERIFY(replacement.Commit());
        }
        QCOMPARE(ReadFile(target), QByteArray("new record\r\n"));
        struct stat st = {};
        QCOMPARE(::stat(QFile::encodeName(target).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, mode_t(0604)); // the old file's, not the 0600 for new files
        { CFileReplacement abandoned(area, "submissions.txt", 0600); QVERIFY(abandoned.Write("never")); }
        QCOMPARE(ReadFile(target), QByteArray("new record\r\n"));
        QCOMPARE(Entries(m_area), QStringList({u"docs"_s, u"submissions.txt"_s}));
    }

    // A link put at the name after the replacement began is refused at the commit, and its target
    // is untouched.
    void linkPlantedDuringReplacement()
    {
        const QString target = m_area + u"/302.txt"_s;
        WriteFile(target, "review\r\n");
        const CSafeDirectory area = CSafeDirectory::Open(m_area);
        CFileReplacement replacement(area, "302.txt", 0644);
        QVERIFY(replacement.Write("changed\r\n"));
        QVERIFY(QFile::remove(target));
        QVERIFY(QFile::link(m_secret, target));
        const FileState before = StateOf(m_secret);
        QVERIFY(!replacement.Commit());
        QCOMPARE(replacement.Fault().kind, FileFault::Kind::Link);
        QCOMPARE(StateOf(m_secret), before);
    }

    // On a full disk (here a file size limit) the replacement fails and the old file stays whole.
    void fullDiskKeepsOldFile()
    {
        const QString target = m_area + u"/1.txt"_s;
        const QByteArray old(3000, 'o');
        WriteFile(target, old);
        bool wrote = true, committed = true;
        FileFault fault;
        {
            const CFileSizeLimit limit(1000);
            if (!limit.IsSet())
                QSKIP("This machine does not allow a file size limit");
            const CSafeDirectory area = CSafeDirectory::Open(m_area);
            CFileReplacement replacement(area, "1.txt", 0644);
            wrote = replacement.Write(QByteArray(5000, 'n'));
            committed = replacement.Commit();
            fault = replacement.Fault();
        }
        QVERIFY(!wrote);
        QVERIFY(!committed);
        QCOMPARE(fault.error, EFBIG);
        QVERIFY2(fault.Message().startsWith(target), qPrintable(fault.Message()));
        QCOMPARE(ReadFile(target), old);
        QCOMPARE(Entries(m_area), QStringList({u"1.txt"_s, u"docs"_s}));
    }

    // While the site exchanges a directory of the path with a link to outside, a delete either
    // removes the file inside or is refused: never the one outside.
    void exchangedDirectoryNeverLeadsOutside()
    {
        const QString docs = m_area + u"/docs"_s;
        const QString link = m_area + u"/docs-link"_s;
        QVERIFY(QFile::link(m_outside, link));
        RaceSupport::CExchanger exchanger(docs, link);
        if (const QString refusal = exchanger.Refusal(); !refusal.isEmpty())
            QSKIP(qPrintable(refusal));
        const CSafeDirectory area = CSafeDirectory::Open(m_area);
        // The real directory by its descriptor, whatever name it has at the moment.
        const CSafeDirectory realDocs = area.Descend(u"docs");
        QVERIFY(realDocs.IsOpen());
        WriteFile(m_outside + u"/victim"_s, "outside");
        int removedInside = 0, refused = 0;
        {
            exchanger.Start();
            for (int round = 0; round < 400; ++round) {
                const int fd = ::openat(realDocs.Fd(), "victim", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
                QVERIFY(fd >= 0);
                ::close(fd);
                QByteArray leaf;
                const CSafeDirectory parent = area.DescendToParent(u"docs/victim", &leaf);
                if (parent.IsOpen() && parent.Remove(leaf))
                    ++removedInside;
                else
                    ++refused;
                QVERIFY2(QFile::exists(m_outside + u"/victim"_s), "a file outside the area was removed");
            }
            exchanger.Stop();
            QVERIFY(exchanger.Exchanges() > 0);
        }
        qInfo("%d deletions inside, %d refused mid-exchange", removedInside, refused);
        QCOMPARE(removedInside + refused, 400);
        QVERIFY(removedInside > 0);
        QCOMPARE(ReadFile(m_secret), QByteArray("the administrator's own\n"));
    }
};

QTEST_GUILESS_MAIN(tst_SafeFiles)
#include "tst_safefiles.moc"

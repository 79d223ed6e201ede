// The file layer for directories the site can write: links, special files and names that would
// leave the directory are refused, never followed; replacements land whole or not at all. The
// races, full disks and odd names are tested where the program meets them (tst_arearace,
// tst_uploadrace, tst_reviewfiles, tst_uploads).

#include "TestSupport.h"

#include "files/SafeFiles.h"
#include "files/TemporaryName.h"

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

    // The explorer's own temporary files are told by their names, whichever part of the layer made
    // them: a half-written replacement (seen while it is open), a copy's; nothing else is.
    void temporaryNamesAreKnown_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<bool>("temporary");
        QTest::newRow("a copy's") << TemporaryCopyName() << true;
        QTest::newRow("a copy's, left by a crash") << QByteArray(".troveport-copy-5k2x") << true;
        QTest::newRow("a replacement's") << TemporaryReplacementName("302.txt") << true;
        QTest::newRow("a long name's replacement") << TemporaryReplacementName(QByteArray(300, 'n')) << true;
        QTest::newRow("a dot file") << QByteArray(".htaccess") << false;
        QTest::newRow("not a dot name") << QByteArray("notes.troveport-9z0") << false;
        QTest::newRow("no number") << QByteArray(".troveport-copy-") << false;
        QTest::newRow("not a number") << QByteArray(".a.troveport-Read.Me") << false;
    }
    void temporaryNamesAreKnown()
    {
        QFETCH(QByteArray, name);
        QTEST(IsTemporaryName(name), "temporary");
    }

    void replacementsTemporaryNameIsKnown()
    {
        const CSafeDirectory area = CSafeDirectory::Open(m_area);
        CFileReplacement replacement(area, "submissions.txt", 0600);
        QVERIFY(replacement.IsOpen());
        QList<QByteArray> names = area.EntryNames();
        names.removeAll("docs");
        QCOMPARE(names.size(), 1);
        QVERIFY2(IsTemporaryName(names[0]), names[0].constData());
    }

    // The types a directory listing gives are the entries' own: a link to a directory is a link, the
    // one thing a walk must never descend into.
    void entriesTellTheirOwnTypes()
    {
        WriteFile(m_area + u"/a.txt"_s, "a");
        QVERIFY(QFile::link(m_outside, m_area + u"/away"_s));
        QVERIFY(QFile::link(m_secret, m_area + u"/secret"_s));
        QCOMPARE(::mkfifo(QFile::encodeName(m_area + u"/fifo"_s).constData(), 0644), 0);
        FileFault fault;
        const QList<CSafeDirectory::Entry> entries = CSafeDirectory::Open(m_area).Entries(&fault);
        QVERIFY(!fault);
        QStringList names;
        for (const CSafeDirectory::Entry& entry : entries) {
            names.append(QString::fromUtf8(entry.name));
            struct stat st = {};
            QCOMPARE(::lstat(QFile::encodeName(m_area + u'/' + names.last()).constData(), &st), 0);
            // 0 where the file system does not say; never what a link leads to.
            if (entry.type != 0)
                QCOMPARE(entry.type, st.st_mode & S_IFMT);
        }
        names.sort();
        QCOMPARE(names, QStringList({u"a.txt"_s, u"away"_s, u"docs"_s, u"fifo"_s, u"secret"_s}));
        // A directory that did not open lists nothing and says why.
        CSafeDirectory::Open(m_area + u"/missing"_s).Entries(&fault);
        QCOMPARE(fault.kind, FileFault::Kind::System);
    }

    void descendMakingRefusesLinks()
    {
        const CSafeDirectory area = CSafeDirectory::Open(m_area);
        const CSafeDirectory made = area.DescendMaking(u"docs/new/deeper", 0755);
        QVERIFY(made.IsOpen());
        QVERIFY(QFileInfo(m_area + u"/docs/new/deeper"_s).isDir());
        // A link on the way is refused, and nothing is made where it leads.
        QVERIFY(QFile::link(m_outside, m_area + u"/away"_s));
        const CSafeDirectory refused = area.DescendMaking(u"away/made", 0755);
        QVERIFY(!refused.IsOpen());
        QCOMPARE(refused.Fault().kind, FileFault::Kind::Link);
        QVERIFY(!QFileInfo::exists(m_outside + u"/made"_s));
        QCOMPARE(area.DescendMaking(u"docs/../x", 0755).Fault().kind, FileFault::Kind::BadName);
    }

    void moveNeverReplaces()
    {
        const CSafeDirectory area = CSafeDirectory::Open(m_area);
        const CSafeDirectory docs = area.Descend(u"docs");
        WriteFile(m_area + u"/a.txt"_s, "a");
        WriteFile(m_area + u"/docs/a.txt"_s, "kept");
        FileFault fault;
        QVERIFY(!area.MoveWithoutReplacing("a.txt", docs, "a.txt", &fault));
        QCOMPARE(fault.error, EEXIST);
        QCOMPARE(ReadFile(m_area + u"/docs/a.txt"_s), "kept");
        QCOMPARE(ReadFile(m_area + u"/a.txt"_s), "a");
        // A link moves as itself; what it leads to stays untouched.
        QVERIFY(QFile::link(m_secret, m_area + u"/link"_s));
        QVERIFY(area.MoveWithoutReplacing("link", docs, "link", &fault));
        QVERIFY(QFileInfo(m_area + u"/docs/link"_s).isSymLink());
        QCOMPARE(StateOf(m_secret).bytes, "the administrator's own\n");
        QVERIFY(!area.MoveWithoutReplacing("..", docs, "x", &fault));
        QCOMPARE(fault.kind, FileFault::Kind::BadName);
    }
};

QTEST_GUILESS_MAIN(tst_SafeFiles)
#include "tst_safefiles.moc"

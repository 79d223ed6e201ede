// The copy into a served directory: it keeps the source's bytes, mode and times, and whatever
// goes wrong (a full disk, a stop, a link or a file put at its name) leaves nothing behind.

#include "files/SafeCopy.h"
#include "TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;
using namespace TestSupport;

class TestSafeCopy : public QObject
{
    Q_OBJECT

private slots:
    // A copy that fails or is stopped part way, or that finds a link or a file at its name when it
    // is done, leaves nothing in the served directory: no temporary file, whole or in part, and
    // what stands at the name stays as it is.
    void failedCopyLeavesNothingBehind_data()
    {
        QTest::addColumn<int>("failure");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("error");
        const int system = int(FileFault::Kind::System);
        QTest::newRow("the file size limit") << 0 << system << EFBIG;
        QTest::newRow("stopped half way") << 1 << system << ECANCELED;
        QTest::newRow("a link put at the name meanwhile") << 2 << int(FileFault::Kind::Link) << 0;
        QTest::newRow("a file put at the name meanwhile, not to be replaced") << 3 << system << EEXIST;
    }
    void failedCopyLeavesNothingBehind()
    {
        QFETCH(int, failure);
        QFETCH(int, kind);
        QFETCH(int, error);
        QTemporaryDir dir;
        QVERIFY(dir.isValid() && QDir(dir.path()).mkpath(u"area"_s));
        const QString area = dir.filePath(u"area"_s);
        QByteArray big(6 * 1024 * 1024, 'b'); // more than one piece of the copy
        big[4321] = 'x';
        WriteFile(dir.filePath(u"pkg.zip"_s), big);
        WriteFile(dir.filePath(u"outside.zip"_s), "outside");
        const QString target = area + u"/pkg.zip"_s;

        CopyOptions options;
        options.replace = failure != 3;
        bool sawTemporary = false;
        options.progress = [&](qint64) {
            const QStringList entries = Entries(area);
            sawTemporary = sawTemporary || (entries.size() == 1 && entries[0].startsWith(u".troveport-copy-"_s));
            if (failure == 2 && !QFileInfo(target).isSymLink())
                QFile::link(dir.filePath(u"outside.zip"_s), target);
            if (failure == 3 && !QFileInfo::exists(target))
                WriteFile(target, "arrived");
            return failure != 1;
        };
        const CSafeFile source = OpenAdministratorsFile(dir.filePath(u"pkg.zip"_s));
        FileFault fault;
        {
            std::optional<CFileSizeLimit> limit;
            if (failure == 0) {
                limit.emplace(1024 * 1024);
                if (!limit->IsSet())
                    QSKIP("The system refuses a file size limit");
            }
            fault = CopyIntoDirectory(source, CSafeDirectory::Open(area), "pkg.zip", options);
        }
        QCOMPARE(int(fault.kind), kind);
        QCOMPARE(fault.error, error);
        QCOMPARE(fault.name, target);
        QVERIFY(sawTemporary || failure == 0);
        QCOMPARE(Entries(area), failure < 2 ? QStringList() : QStringList{u"pkg.zip"_s});
        const QByteArray atTheName[] = {"", "", "outside", "arrived"}; // through the link
        QCOMPARE(ReadFile(target), atTheName[failure]);
        QCOMPARE(ReadFile(dir.filePath(u"outside.zip"_s)), QByteArray("outside"));
    }

    // A link at the name is refused and left as it is. Over a regular file the copy lands whole, with
    // the source's mode and times to the nanosecond (the site shows the modification time as the
    // file's date).
    void copyOverWhatIsAtItsName()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid() && QDir(dir.path()).mkpath(u"area"_s));
        const QString source = dir.filePath(u"pkg.zip"_s), target = dir.filePath(u"area/pkg.zip"_s);
        QByteArray big(3 * 1024 * 1024 + 17, 'q'); // larger than one read
        big[12345] = 'x';
        WriteFile(source, big);
        QVERIFY(QFile::setPermissions(source, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                                  QFile::ReadOther));
        WriteFile(dir.filePath(u"outside.zip"_s), "must stay");
        QVERIFY(QFile::link(dir.filePath(u"outside.zip"_s), target));
        const CSafeDirectory area = CSafeDirectory::Open(dir.filePath(u"area"_s));

        const FileFault refused = CopyIntoDirectory(OpenAdministratorsFile(source), area, "pkg.zip");
        QCOMPARE(refused.kind, FileFault::Kind::Link);
        QCOMPARE(refused.name, target);
        QVERIFY(QFileInfo(target).isSymLink());
        QCOMPARE(ReadFile(dir.filePath(u"outside.zip"_s)), QByteArray("must stay"));

        QVERIFY(QFile::remove(target));
        WriteFile(target, "old");
        const struct timespec times[2] = {{946684800, 123456789}, {981173106, 987654321}}; // accessed, modified
        QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(source).constData(), times, 0), 0);
        QVERIFY(!CopyIntoDirectory(OpenAdministratorsFile(source), area, "pkg.zip"));
        struct stat copy = {};
        QCOMPARE(::lstat(QFile::encodeName(target).constData(), &copy),
                 0); // before a read sets its access time
        QCOMPARE(copy.st_mtim.tv_sec, times[1].tv_sec);
        QCOMPARE(copy.st_mtim.tv_nsec, times[1].tv_nsec);
        QCOMPARE(copy.st_atim.tv_sec, times[0].tv_sec);
        QCOMPARE(copy.st_atim.tv_nsec, times[0].tv_nsec);
        QCOMPARE(ReadFile(target), big);
        QCOMPARE(QFileInfo(target).permissions(), QFileInfo(source).permissions());
        QCOMPARE(Entries(dir.filePath(u"area"_s)), QStringList{u"pkg.zip"_s});
    }

    // A copy written ahead stays under its temporary name until committed: dropped (or moved away and
    // dropped), it leaves nothing; committed, it is the name; a link put at the name between the
    // write and the commit is refused and stays.
    void pendingCopy_data()
    {
        QTest::addColumn<int>("ending");
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("dropped") << 0 << QStringList();
        QTest::newRow("moved, then dropped") << 1 << QStringList();
        QTest::newRow("committed") << 2 << QStringList{u"pkg.zip"_s};
        QTest::newRow("a link put at the name before the commit") << 3 << QStringList{u"pkg.zip"_s};
    }
    void pendingCopy()
    {
        QFETCH(int, ending);
        QTemporaryDir dir;
        QVERIFY(dir.isValid() && QDir(dir.path()).mkpath(u"area"_s));
        const QString target = dir.filePath(u"area/pkg.zip"_s);
        WriteFile(dir.filePath(u"pkg.zip"_s), "bytes");
        WriteFile(dir.filePath(u"outside.zip"_s), "must stay");
        const CSafeDirectory area = CSafeDirectory::Open(dir.filePath(u"area"_s));
        {
            CPendingCopy copy = CPendingCopy::Write(OpenAdministratorsFile(dir.filePath(u"pkg.zip"_s)), area, "pkg.zip");
            const QStringList written = Entries(dir.filePath(u"area"_s));
            QCOMPARE(written.size(), 1);
            QVERIFY(written[0].startsWith(u".troveport-copy-"_s));
            if (ending == 1) {
                CPendingCopy moved = std::move(copy);
                QCOMPARE(Entries(dir.filePath(u"area"_s)), written); // the moved-from one removes nothing
            } else if (ending == 2) {
                QVERIFY(!copy.Commit());
                QCOMPARE(ReadFile(target), QByteArray("bytes"));
            } else if (ending == 3) {
                QVERIFY(QFile::link(dir.filePath(u"outside.zip"_s), target));
                QCOMPARE(copy.Commit().kind, FileFault::Kind::Link);
                QVERIFY(QFileInfo(target).isSymLink());
            }
        }
        QTEST(Entries(dir.filePath(u"area"_s)), "entries");
        QCOMPARE(ReadFile(dir.filePath(u"outside.zip"_s)), QByteArray("must stay"));
    }
};

QTEST_GUILESS_MAIN(TestSafeCopy)
#include "tst_safecopy.moc"

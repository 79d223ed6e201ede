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

    // The copy keeps the source's times to the nanosecond, the modification time as such: the
    // site shows it as the file's date.
    void copyKeepsTheSourcesTimes()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid() && QDir(dir.path()).mkpath(u"area"_s));
        const QString source = dir.filePath(u"dated.zip"_s);
        WriteFile(source, "dated");
        const struct timespec times[2] = {{946684800, 123456789}, {981173106, 987654321}}; // accessed, modified
        QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(source).constData(), times, 0), 0);
        QVERIFY(!CopyIntoDirectory(OpenAdministratorsFile(source), CSafeDirectory::Open(dir.filePath(u"area"_s)),
                                   "dated.zip"));
        struct stat copy = {};
        QCOMPARE(::lstat(QFile::encodeName(dir.filePath(u"area/dated.zip"_s)).constData(), &copy), 0);
        QCOMPARE(copy.st_mtim.tv_sec, times[1].tv_sec);
        QCOMPARE(copy.st_mtim.tv_nsec, times[1].tv_nsec);
        QCOMPARE(copy.st_atim.tv_sec, times[0].tv_sec);
        QCOMPARE(copy.st_atim.tv_nsec, times[0].tv_nsec);
    }

    void copyRefusesALinkAtItsName()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(QDir(dir.path()).mkpath(u"area"_s));
        WriteFile(dir.filePath(u"outside.zip"_s), "must stay");
        QVERIFY(QFile::link(dir.filePath(u"outside.zip"_s), dir.filePath(u"area/pkg.zip"_s)));
        // Larger than one read, with a mode and a time to keep.
        QByteArray big(3 * 1024 * 1024 + 17, 'q');
        big[12345] = 'x';
        WriteFile(dir.filePath(u"pkg.zip"_s), big);
        QVERIFY(QFile::setPermissions(dir.filePath(u"pkg.zip"_s), QFile::ReadOwner | QFile::WriteOwner |
                                                                      QFile::ReadGroup | QFile::ReadOther));
        const CSafeDirectory area = CSafeDirectory::Open(dir.filePath(u"area"_s));

        const FileFault refused = CopyIntoDirectory(OpenAdministratorsFile(dir.filePath(u"pkg.zip"_s)), area, "pkg.zip");
        QCOMPARE(refused.kind, FileFault::Kind::Link);
        QCOMPARE(refused.name, dir.filePath(u"area/pkg.zip"_s));
        QVERIFY(QFileInfo(dir.filePath(u"area/pkg.zip"_s)).isSymLink());
        QCOMPARE(ReadFile(dir.filePath(u"outside.zip"_s)), QByteArray("must stay"));
        QCOMPARE(Entries(dir.filePath(u"area"_s)), QStringList{u"pkg.zip"_s});

        // Over a regular file: replaced whole, with the source's mode and time, nothing left beside.
        QVERIFY(QFile::remove(dir.filePath(u"area/pkg.zip"_s)));
        WriteFile(dir.filePath(u"area/pkg.zip"_s), "old");
        QVERIFY(!CopyIntoDirectory(OpenAdministratorsFile(dir.filePath(u"pkg.zip"_s)), area, "pkg.zip"));
        const QFileInfo copy(dir.filePath(u"area/pkg.zip"_s));
        const QFileInfo original(dir.filePath(u"pkg.zip"_s));
        QCOMPARE(ReadFile(copy.filePath()), big);
        QCOMPARE(copy.permissions(), original.permissions());
        QCOMPARE(copy.lastModified(), original.lastModified());
        QCOMPARE(Entries(dir.filePath(u"area"_s)), QStringList{u"pkg.zip"_s});
    }
};

QTEST_GUILESS_MAIN(TestSafeCopy)
#include "tst_safecopy.moc"

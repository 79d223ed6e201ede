// troveport-setup check and check --fix on small libraries, on SQLite and (as tst_check_pg) on
// PostgreSQL.

#include "ChecksumTable.h"
#include "DatabaseSupport.h"
#include "LocationChunks.h"
#include "SetupCommands.h"
#include "TestSupport.h"
#include "settings/Globals.h"

#include <QCryptographicHash>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace Qt::StringLiterals;
using namespace TestSupport;
using DatabaseSupport::AddLibraryFile;
using DatabaseSupport::AreasOf;
using DatabaseSupport::LocationsOf;

class TestCheck : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_out, m_err;

    QString Db() const { return m_dir->filePath(u"db"_s); }
    QString Area(int n) const { return m_dir->filePath(u"area%1"_s.arg(n)); }
    QString Outside() const { return m_dir->filePath(u"outside"_s); }

    int Run(const QString& commandLine)
    {
        m_out.clear();
        m_err.clear();
        QTextStream out(&m_out), err(&m_err);
        return RunSetup(QProcess::splitCommand(commandLine), out, err);
    }
    int Check(const QString& options = QString()) { return Run(u"check --library %1 %2"_s.arg(Db(), options)); }

    // The findings of a --json check as "kind file_id path" texts, in the report's order.
    QStringList JsonFindings(const QString& options = QString())
    {
        Check(u"--json "_s + options);
        const QJsonObject report = QJsonDocument::fromJson(m_out.toUtf8()).object();
        if (report.value(u"format"_s).toInt() != 1)
            return {u"no report: "_s + m_err};
        QStringList found;
        for (const QJsonValue& v : report.value(u"findings"_s).toArray()) {
            const QJsonObject f = v.toObject();
            found.append(u"%1 %2 %3"_s.arg(f.value(u"kind"_s).toString())
                             .arg(qint64(f.value(u"file_id"_s).toDouble()))
                             .arg(f.value(u"path"_s).toString()));
        }
        return found;
    }

    // A library with three areas: 1 hosts files and takes uploads, 2 hosts files, 3 only lists them.
    void MakeLibrary()
    {
        QCOMPARE(Run(u"init "_s + Db()), 0);
        QCOMPARE(Run(u"area add One %1 --id 1 --local --uploads --downloads"_s.arg(Area(1))), 0);
        QCOMPARE(Run(u"area add Two %1 --id 2 --local --downloads"_s.arg(Area(2))), 0);
        QCOMPARE(Run(u"area add Three %1 --id 3 --downloads"_s.arg(Area(3))), 0);
        QVERIFY(QDir().mkpath(Outside()));
        DatabaseSupport::UseFreshDatabase(Db());
        if (DatabaseSupport::OnPostgres())
            QCOMPARE(Run(u"set DatabaseConnection "_s + DatabaseSupport::PostgresDatabaseUri()), 0);
    }

    static qint64 AddRecord(const QString& title, qint64 size, const QList<quint32>& areas, const QStringList& urls)
    {
        CFileRecord record(&theDatabaseManager);
        record.title = title;
        record.file_size = double(size);
        return qint64(AddLibraryFile(record, areas, urls));
    }

    static qint64 Count(const QString& statement)
    {
        qint64 count = -1;
        theDatabaseManager.ForEachRow(statement, {}, [&](const QSqlQuery& q) { count = q.value(0).toLongLong(); });
        return count;
    }

private slots:
    void initTestCase() { TROVEPORT_REQUIRE_ENGINE(); }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        UseSettingsFilesIn(m_dir->path());
    }

    void cleanup()
    {
        theDatabaseManager.CloseConnection();
        theFileAreaTable.Close();
    }

    void everyKindIsFound()
    {
        MakeLibrary();
        const QString a1 = Area(1);
        WriteFile(a1 + u"/ok.bin"_s, "abc");
        WriteFile(a1 + u"/short.bin"_s, "abcd");
        QVERIFY(QDir().mkpath(a1 + u"/folder"_s));
        QCOMPARE(::mkfifo(QFile::encodeName(a1 + u"/pipe"_s).constData(), 0600), 0);
        WriteFile(Outside() + u"/secret.txt"_s, "secret");
        QVERIFY(QFile::link(Outside() + u"/secret.txt"_s, a1 + u"/link.bin"_s));
        QVERIFY(QFile::link(Outside(), a1 + u"/linkdir"_s));
        // Not anyone's: hidden names, the explorer's temporary files, uploads waiting for the scan.
        WriteFile(a1 + u"/.htaccess"_s, "x");
        QVERIFY(QDir().mkpath(a1 + u"/.cache/deep"_s));
        WriteFile(a1 + u"/.cache/deep/x.bin"_s, "x");
        WriteFile(a1 + u"/.troveport-copy-1a2b"_s, "x");
        WriteFile(a1 + u"/up.zip"_s, "x");
        WriteFile(a1 + u"/up.zip.desc"_s, "x");
        // Orphans: a file below, and what looks like an upload where no upload waits.
        QVERIFY(QDir().mkpath(a1 + u"/sub"_s));
        WriteFile(a1 + u"/sub/stray.bin"_s, "x");
        WriteFile(a1 + u"/sub/up2.zip.desc"_s, "x");
        QVERIFY(QFile::link(Outside() + u"/secret.txt"_s, a1 + u"/stray-link"_s));

        const qint64 ok = AddRecord(u"Fine"_s, 3, {1}, {u"local://1/ok.bin"_s, u"https://example.org/ok.bin"_s});
        const qint64 missing = AddRecord(u"Missing"_s, 1, {1}, {u"local://1/gone.bin"_s});
        const qint64 folder = AddRecord(u"Folder"_s, 0, {1}, {u"local://1/folder"_s, u"local://1/pipe"_s});
        const qint64 leaving = AddRecord(u"Leaving"_s, 6, {1},
                                         {u"local://1/../outside/secret.txt"_s, u"local://1/link.bin"_s,
                                          u"local://1/linkdir/secret.txt"_s});
        const qint64 sized = AddRecord(u"Sized"_s, 10, {1}, {u"local://1/short.bin"_s});
        const qint64 unknownArea = AddRecord(u"Unknown area"_s, 1, {3}, {u"local://99/x.bin"_s});
        const qint64 noArea = AddRecord(u"Nowhere"_s, 1, {}, {u"ftp://example.org/x"_s});
        const qint64 badLink = AddRecord(u"Bad link"_s, 1, {3, 77}, {u"http://example.org/y"_s});
        const qint64 bad = AddRecord(u"Bad"_s, 1, {3}, {u"gopher://example.org/x"_s, u"http:///nohost"_s,
                                                         u"local://abc/x"_s});
        QVERIFY(ok && missing && folder && leaving && sized && unknownArea && noArea && badLink && bad);
        QVERIFY(QDir(Area(2)).removeRecursively());

        QCOMPARE(Check(), 1);
        QVERIFY2(m_out.contains(u"Missing files (missing-file): 1\n"_s), qPrintable(m_out));
        QVERIFY(m_out.contains(u"Locations outside their area (outside-area): 3\n"_s));
        QVERIFY(m_out.contains(u"record says 10 bytes, the file has 4"_s));
        QVERIFY(m_out.contains(u"is a fifo"_s));
        QVERIFY(m_out.contains(u"Checked 9 files, 15 locations, 2 files on disk: 18 problems found.\n"_s));

        const auto id = [](qint64 n) { return QString::number(n); };
        const QStringList expected = {
            u"missing-file %1 gone.bin"_s.arg(id(missing)),
            u"not-regular %1 folder"_s.arg(id(folder)),
            u"not-regular %1 pipe"_s.arg(id(folder)),
            u"outside-area %1 ../outside/secret.txt"_s.arg(id(leaving)),
            u"outside-area %1 link.bin"_s.arg(id(leaving)),
            u"outside-area %1 linkdir/secret.txt"_s.arg(id(leaving)),
            u"size-mismatch %1 short.bin"_s.arg(id(sized)),
            u"unknown-area-location %1 x.bin"_s.arg(id(unknownArea)),
            u"orphan-file 0 linkdir"_s,
            u"orphan-file 0 stray-link"_s,
            u"orphan-file 0 sub/stray.bin"_s,
            u"orphan-file 0 sub/up2.zip.desc"_s,
            u"area-unreadable 0 "_s,
            u"no-area %1 "_s.arg(id(noArea)),
            u"unknown-area-link %1 "_s.arg(id(badLink)),
            u"bad-location %1 "_s.arg(id(bad)),
            u"bad-location %1 "_s.arg(id(bad)),
            u"bad-location %1 "_s.arg(id(bad)),
        };
        QCOMPARE(JsonFindings(), expected);
        // The kinds' details, and a link's type reported, never what it leads to.
        const QJsonArray findings = QJsonDocument::fromJson(m_out.toUtf8()).object().value(u"findings"_s).toArray();
        QCOMPARE(findings[0].toObject().value(u"title"_s).toString(), u"Missing"_s);
        QCOMPARE(findings[14].toObject().value(u"title"_s).toString(), u"Bad link"_s);
        QCOMPARE(findings[6].toObject().value(u"record_size"_s).toInt(), 10);
        QCOMPARE(findings[6].toObject().value(u"disk_size"_s).toInt(), 4);
        QCOMPARE(findings[9].toObject().value(u"type"_s).toString(), u"symlink"_s);
        QCOMPARE(findings[12].toObject().value(u"area_id"_s).toInt(), 2);
        QCOMPARE(findings[14].toObject().value(u"area_id"_s).toInt(), 77);
        QCOMPARE(ReadFile(Outside() + u"/secret.txt"_s), "secret"_ba);
    }

    void statusAndUsage()
    {
        MakeLibrary();
        WriteFile(Area(1) + u"/ok.bin"_s, "abc");
        QVERIFY(AddRecord(u"Fine"_s, 3, {1}, {u"local://1/ok.bin"_s, u"https://example.org/ok.bin"_s}));
        QCOMPARE(Check(), 0);
        QVERIFY2(m_out.endsWith(u"Checked 1 files, 2 locations, 1 files on disk: the library is whole.\n"_s),
                 qPrintable(m_out));
        QCOMPARE(Check(u"--area 42"_s), 2);
        QVERIFY(m_err.contains(u"no area 42"_s));
        QCOMPARE(Check(u"--fix orphan-files"_s), 2);
        QVERIFY(m_err.contains(u"--move-to"_s));
        QCOMPARE(Check(u"--fix everything"_s), 2);
        QCOMPARE(Run(u"check --library %1"_s.arg(m_dir->filePath(u"nothing"_s))), 2);
    }

    void areaNarrowsTheCheck()
    {
        MakeLibrary();
        WriteFile(Area(1) + u"/orphan1.bin"_s, "x");
        WriteFile(Area(2) + u"/orphan2.bin"_s, "x");
        WriteFile(Area(2) + u"/shared.bin"_s, "x");
        const qint64 one = AddRecord(u"One"_s, 1, {1}, {u"local://1/gone1.bin"_s});
        // Linked to area 1 but keeping its copy in area 2: that copy is no orphan of area 2.
        AddRecord(u"Shared"_s, 1, {1}, {u"local://2/shared.bin"_s});
        const qint64 two = AddRecord(u"Two"_s, 1, {2}, {u"local://2/gone2.bin"_s});
        QCOMPARE(JsonFindings(u"--area 2"_s), (QStringList{u"missing-file %1 gone2.bin"_s.arg(two),
                                                             u"orphan-file 0 orphan2.bin"_s}));
        QCOMPARE(JsonFindings(u"--area 1"_s), (QStringList{u"missing-file %1 gone1.bin"_s.arg(one),
                                                             u"orphan-file 0 orphan1.bin"_s}));
        QCOMPARE(JsonFindings(u"--area 1 --area 2"_s).size(), 4);
    }

    void fixMissingLocationsAndAreaLinks()
    {
        MakeLibrary();
        WriteFile(Area(1) + u"/kept.bin"_s, "k");
        const qint64 partly = AddRecord(u"Partly"_s, 1, {1}, {u"local://1/kept.bin"_s, u"local://1/gone.bin"_s});
        const qint64 wholly = AddRecord(u"Wholly"_s, 1, {1, 77}, {u"local://1/gone2.bin"_s});
        QCOMPARE(Check(u"--fix missing-locations --fix area-links --dry-run"_s), 1);
        QVERIFY2(m_out.contains(u"Would remove the location local://1/gone2.bin"_s), qPrintable(m_out));
        QVERIFY(m_out.contains(u"no location left"_s));
        QCOMPARE(LocationsOf(double(partly)).size(), 2);
        QCOMPARE(AreasOf(double(wholly)), (QList<double>{1, 77}));

        QCOMPARE(Check(u"--fix missing-locations --fix area-links"_s), 0);
        QVERIFY(m_out.contains(u"After the fixes, 0 problems remain."_s));
        QCOMPARE(LocationsOf(double(partly)), QStringList{u"local://1/kept.bin"_s});
        QCOMPARE(LocationsOf(double(wholly)), QStringList());
        QVERIFY(DatabaseSupport::Exists(double(wholly)));
        QCOMPARE(AreasOf(double(wholly)), QList<double>{1});
        QCOMPARE(Check(), 0);
    }

    void fixOrphansMovesWithoutReplacing()
    {
        MakeLibrary();
        const QString target = m_dir->filePath(u"moved"_s);
        WriteFile(Area(1) + u"/clash.bin"_s, "orphan");
        QVERIFY(QDir().mkpath(Area(1) + u"/sub"_s));
        WriteFile(Area(1) + u"/sub/b.bin"_s, "b");
        QCOMPARE(::mkfifo(QFile::encodeName(Area(1) + u"/fifo"_s).constData(), 0600), 0);
        WriteFile(Outside() + u"/secret.txt"_s, "secret");
        QVERIFY(QFile::link(Outside() + u"/secret.txt"_s, Area(1) + u"/link"_s));
        QVERIFY(QDir().mkpath(target + u"/1"_s));
        WriteFile(target + u"/1/clash.bin"_s, "the administrator's");
        QVERIFY(AddRecord(u"Remote"_s, 1, {1}, {u"https://example.org/r.bin"_s}));

        QCOMPARE(Check(u"--fix orphan-files --move-to %1 --dry-run"_s.arg(target)), 1);
        QVERIFY(m_out.contains(u"Would move sub/b.bin of area 1 to %1/1/sub/b.bin"_s.arg(target)));
        QVERIFY(QFile::exists(Area(1) + u"/sub/b.bin"_s));
        QVERIFY(!QFile::exists(target + u"/1/sub"_s));

        QCOMPARE(Check(u"--fix orphan-files --move-to %1"_s.arg(target)), 1); // the clash stays
        QCOMPARE(ReadFile(target + u"/1/clash.bin"_s), "the administrator's"_ba);
        QCOMPARE(ReadFile(Area(1) + u"/clash.bin"_s), "orphan"_ba);
        QCOMPARE(ReadFile(target + u"/1/sub/b.bin"_s), "b"_ba);
        QVERIFY(QFileInfo(target + u"/1/link"_s).isSymLink());
        QCOMPARE(ReadFile(Outside() + u"/secret.txt"_s), "secret"_ba);
        struct stat st;
        QCOMPARE(::lstat(QFile::encodeName(target + u"/1/fifo"_s).constData(), &st), 0);
        QVERIFY(S_ISFIFO(st.st_mode));
        QCOMPARE(JsonFindings(), QStringList{u"orphan-file 0 clash.bin"_s});
    }

    void checksumsFindChangesAndDuplicates()
    {
        MakeLibrary();
        WriteFile(Area(1) + u"/a.bin"_s, "same content");
        WriteFile(Area(2) + u"/b.bin"_s, "same content");
        WriteFile(Area(1) + u"/c.bin"_s, "other");
        const qint64 a = AddRecord(u"A"_s, 12, {1}, {u"local://1/a.bin"_s});
        const qint64 b = AddRecord(u"B"_s, 12, {2}, {u"local://2/b.bin"_s});
        const qint64 c = AddRecord(u"C"_s, 5, {1}, {u"local://1/c.bin"_s});
        QCOMPARE(JsonFindings(u"--checksums"_s), QStringList{u"duplicate-content %1 "_s.arg(a)});
        const QJsonObject dup =
            QJsonDocument::fromJson(m_out.toUtf8()).object().value(u"findings"_s).toArray()[0].toObject();
        QCOMPARE(dup.value(u"copies"_s).toArray().size(), 2);
        QCOMPARE(dup.value(u"copies"_s).toArray()[1].toObject().value(u"file_id"_s).toInteger(), b);
        QCOMPARE(Count(u"SELECT count(*) FROM file_checksum"_s), 3);
        const QString otherSha = QString::fromLatin1(QCryptographicHash::hash("other", QCryptographicHash::Sha256).toHex());
        QCOMPARE(Count(u"SELECT count(*) FROM file_checksum WHERE file_id = %1 AND sha256 = '%2' AND size = 5"_s
                           .arg(c).arg(otherSha)),
                 1);

        WriteFile(Area(1) + u"/c.bin"_s, "OTHER"); // same size, new content
        QCOMPARE(JsonFindings(u"--checksums --area 1"_s),
                 (QStringList{u"changed %1 c.bin"_s.arg(c)}));
        const QJsonObject changed =
            QJsonDocument::fromJson(m_out.toUtf8()).object().value(u"findings"_s).toArray()[0].toObject();
        QCOMPARE(changed.value(u"old_sha256"_s).toString(), otherSha);
        QVERIFY(changed.value(u"old_checked_at"_s).toDouble() > 1.6e9);
        // Unchanged since: nothing to report but the file left behind; the row of its location goes.
        theDatabaseManager.Run(u"DELETE FROM download WHERE file_id = ?"_s, {b});
        QCOMPARE(JsonFindings(u"--checksums"_s), QStringList{u"orphan-file 0 b.bin"_s});
        QCOMPARE(Count(u"SELECT count(*) FROM file_checksum"_s), 2);
    }

    // The locations come a chunk at a time in the order of their text; those that share a text
    // across a chunk's end are all read, once, whatever the chunk's size.
    void locationChunksReadEveryRowOnce()
    {
        MakeLibrary();
        QList<std::pair<QString, qint64>> expected;
        for (int i = 0; i < 8; ++i) {
            const QString url = i < 6 ? u"local://1/f%1.bin"_s.arg(i / 3) : u"https://example.org/%1"_s.arg(i);
            const qint64 id = AddRecord(u"R"_s, 1, {1}, {url});
            QVERIFY(id);
            expected.append({url, id});
        }
        std::sort(expected.begin(), expected.end());
        CChecksumTable::Create();
        theDatabaseManager.Run(u"INSERT INTO file_checksum VALUES (?, ?, 'ABC0', 3, 1700000000)"_s,
                               {expected[4].second, expected[4].first});
        for (const qsizetype size : {1, 2, 3, 4, 100}) {
            CLocationChunks chunks(true, size);
            std::vector<LocationRow> chunk;
            QList<std::pair<QString, qint64>> read;
            while (chunks.Next(&chunk)) {
                QVERIFY(!chunk.empty());
                for (const LocationRow& row : chunk) {
                    read.append({row.url, row.fileId});
                    const bool stored = read.size() == 5;
                    QCOMPARE(row.storedSha256, stored ? "abc0"_ba : QByteArray());
                    QCOMPARE(row.storedAt, stored ? 1700000000 : 0);
                }
            }
            QVERIFY(std::is_sorted(read.begin(), read.end(), [](const auto& a, const auto& b) { return a.first < b.first; }));
            std::sort(read.begin(), read.end());
            QCOMPARE(read, expected);
        }
    }

    // Only different records' copies are duplicates; a record's own two copies, and a row kept for
    // a location whose file is gone, are not.
    void duplicatesAreOtherRecordsCopies()
    {
        MakeLibrary();
        WriteFile(Area(1) + u"/a1.bin"_s, "twice");
        WriteFile(Area(1) + u"/a2.bin"_s, "twice");
        WriteFile(Area(1) + u"/b.bin"_s, "other");
        const qint64 a = AddRecord(u"A"_s, 5, {1}, {u"local://1/a1.bin"_s, u"local://1/a2.bin"_s});
        const qint64 b = AddRecord(u"B"_s, 5, {1}, {u"local://1/b.bin"_s, u"local://1/b-old.bin"_s});
        WriteFile(Area(1) + u"/b-old.bin"_s, "twice");
        QCOMPARE(JsonFindings(u"--checksums"_s), QStringList{u"duplicate-content %1 "_s.arg(a)});
        QJsonObject dup = QJsonDocument::fromJson(m_out.toUtf8()).object().value(u"findings"_s).toArray()[0].toObject();
        QCOMPARE(dup.value(u"copies"_s).toArray().size(), 3);
        QCOMPARE(dup.value(u"title"_s).toString(), u"A"_s);
        // b-old.bin's row stays while its location does; with the file gone, B has no copy of A's.
        QVERIFY(QFile::remove(Area(1) + u"/b-old.bin"_s));
        QCOMPARE(JsonFindings(u"--checksums --area 1"_s), QStringList{u"missing-file %1 b-old.bin"_s.arg(b)});
        QCOMPARE(Count(u"SELECT count(*) FROM file_checksum"_s), 4);
    }

    void lockHeldBySiteIsReported()
    {
        MakeLibrary();
        WriteFile(Area(1) + u"/a.bin"_s, "a");
        QVERIFY(AddRecord(u"A"_s, 1, {1}, {u"local://1/a.bin"_s}));
        QCOMPARE(Check(u"--checksums"_s), 0);
        DatabaseSupport::COtherProgram site(Db() + u"/troveport.db"_s);
        QVERIFY(site.IsOpen());
        QVERIFY(site.Run(DatabaseSupport::OnPostgres() ? u"BEGIN"_s : u"BEGIN IMMEDIATE"_s));
        if (DatabaseSupport::OnPostgres())
            QVERIFY(site.Run(u"LOCK TABLE file_checksum IN EXCLUSIVE MODE"_s));
        QCOMPARE(Check(u"--checksums"_s), 2);
        QVERIFY2(m_err.contains(u"could not be completed"_s), qPrintable(m_err));
        site.Run(u"ROLLBACK"_s);
    }
};

QTEST_GUILESS_MAIN(TestCheck)
#include "tst_check.moc"

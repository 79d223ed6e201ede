// Description extraction: zip members read into memory, and the brief and detailed descriptions
// made from them.

#include "adding/DescriptionExtraction.h"
#include "ArchiveSupport.h"
#include "files/UnzipMembers.h"
#include "settings/Globals.h"
#include "settings/Registry.h"
#include "TestSupport.h"

#include <QDirIterator>
#include <QTemporaryDir>

#include <fcntl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace TestSupport;
using ArchiveSupport::Members;

namespace {

QString Testdata(const QString& relative)
{
    return qEnvironmentVariable("TROVEPORT_TESTDATA") + u"/bbs-archives/"_s + relative;
}

// A file opened for reading, closed with the object.
struct OpenFile
{
    explicit OpenFile(const QString& path)
        : fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC))
    {
    }
    ~OpenFile()
    {
        if (fd >= 0)
            ::close(fd);
    }
    int fd;
};

QString Box(int count)
{
    return QString(count, QChar(0x2500)); // "─", code page 437 byte 0xC4
}

} // namespace

class TestExtraction : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_work;
    QString m_temp; // TMPDIR of every case: anything extraction wrote would show there
    QString m_zip;

    void Extract(const QString& path, QString& brief, QString& detailed, int briefSize = 60,
                 int detailedSize = 65535)
    {
        ExtractDescriptions(path, brief, briefSize, detailed, detailedSize);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_work.isValid());
        UseSettingsFilesIn(m_work.path());
        m_temp = m_work.filePath(u"tmp"_s);
        QVERIFY(QDir().mkpath(m_temp));
        qputenv("TMPDIR", QFile::encodeName(m_temp));
        m_zip = m_work.filePath(u"test.zip"_s);
    }

    void cleanup()
    {
        // Every case leaves the temporary directory as it found it: empty.
        QCOMPARE(Entries(m_temp), QStringList());
        RegWriteDword(u"DIZSDIPrecedence"_s, 0, g_pszRegKey);
    }

    void isZipFile()
    {
        const std::pair<QByteArray, bool> cases[] = {
            {QByteArray("PK\x03\x04rest", 8), true},
            {QByteArray("PK\x05\x06", 4), true}, // an empty archive
            {QByteArray("PK\x01\x02", 4), false},
            {QByteArray("PK\x03", 3), false},
            {QByteArray(), false},
        };
        const QString path = m_work.filePath(u"signature"_s);
        for (const auto& [content, zip] : cases) {
            WriteFile(path, content);
            QVERIFY2(IsZipFile(OpenFile(path).fd) == zip, content.toHex().constData());
        }
        QVERIFY(!IsZipFile(-1));
        QVERIFY(!IsZipFile(OpenFile(m_work.path()).fd));
    }

    // The archive is read through the descriptor it was opened by: whatever takes its name
    // afterwards is never read, and a name given to extract from is opened only once.
    void extractionReadsTheOpenFile()
    {
        QVERIFY(ArchiveSupport::WriteArchive(m_zip, {{"file_id.diz", "Opened archive\r\n"}}));
        const OpenFile archive(m_zip);
        QVERIFY(archive.fd >= 0);
        const QString other = m_work.filePath(u"other.zip"_s);
        QVERIFY(ArchiveSupport::WriteArchive(other, {{"file_id.diz", "Exchanged archive\r\n"}}));
        QVERIFY(QFile::remove(m_zip) && QFile::rename(other, m_zip));
        QString brief;
        QString detailed;
        ExtractDescriptions(archive.fd, brief, 60, detailed, 65535);
        QCOMPARE(detailed, u"Opened archive\r\n"_s);
        // The caller's descriptor stays open, and reads from its start as before.
        QVERIFY(IsZipFile(archive.fd));
        QCOMPARE(::fcntl(archive.fd, F_GETFD), FD_CLOEXEC);

        // A FIFO named as the file is not waited for.
        const QString fifo = m_work.filePath(u"fifo.zip"_s);
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        Extract(fifo, brief, detailed);
        QCOMPARE(detailed, u"Opened archive\r\n"_s);
        QVERIFY(QFile::remove(fifo));
    }

    void members_data()
    {
        QTest::addColumn<Members>("members");
        QTest::addColumn<QString>("brief");
        QTest::addColumn<QString>("detailed");
        const QByteArray diz = "First line\r\nsecond  \t  \r\n  third   \r\n";
        const QString dizText = u"First line\r\nsecond  \t\r\n  third\r\n"_s;
        QTest::newRow("upper case, both")
            << Members{{"FILE_ID.DIZ", diz}, {"DESC.SDI", "One line\r\n"}} << u"One line"_s << dizText;
        QTest::newRow("mixed case, diz only") << Members{{"File_Id.Diz", diz}} << u"First line"_s << dizText;
        QTest::newRow("lower case, sdi only")
            << Members{{"desc.sdi", "Brief only"}} << u"Brief only"_s << QString();
        QTest::newRow("none") << Members{{"README.TXT", "text"}, {"VENDINFO.DIZ", "vendor"}} << QString()
                              << QString();
        QTest::newRow("in subdirectories")
            << Members{{"SUB/FILE_ID.DIZ", diz}, {"sub\\desc.sdi", "x"}} << QString() << QString();
        QTest::newRow("root beside subdirectory")
            << Members{{"BATS/FILE_ID.DIZ", "nested"}, {"file_id.diz", "root"}} << u"root"_s << u"root\r\n"_s;
        QTest::newRow("first of two spellings")
            << Members{{"FILE_ID.DIZ", "upper"}, {"file_id.diz", "lower"}} << u"upper"_s << u"upper\r\n"_s;
        QTest::newRow("symbolic link")
            << Members{{"file_id.diz", "/etc/passwd", true}} << QString() << QString();
        QTest::newRow("empty first line")
            << Members{{"file_id.diz", "\r\nSecond\r\n"}} << QString() << u"\r\nSecond\r\n"_s;
        QTest::newRow("100 characters")
            << Members{{"file_id.diz", QByteArray(78, 'a') + QByteArray(22, 'b')}} << QString(59, u'a')
            << QString(78, u'a') + u"\r\n"_s + QString(22, u'b') + u"\r\n"_s;
        QTest::newRow("exactly 78 characters") << Members{{"file_id.diz", QByteArray(78, 'a') + "\nnext\n"}}
                                               << QString(59, u'a') << QString(78, u'a') + u"\r\nnext\r\n"_s;
        QTest::newRow("piece ending in spaces")
            << Members{{"file_id.diz", QByteArray(70, 'a') + QByteArray(10, ' ') + "tail"}}
            << QString(59, u'a') << QString(70, u'a') + u"\r\n  tail\r\n"_s;
        QTest::newRow("long desc.sdi")
            << Members{{"desc.sdi", QByteArray(100, 'd') + "\r\n"}} << QString(59, u'd') << QString();
        QTest::newRow("Ctrl-Z ends the text")
            << Members{{"file_id.diz", "text\r\n\x1agarbage\r\n"}} << u"text"_s << u"text\r\n"_s;
        QTest::newRow("code page 437") << Members{{"file_id.diz", "\xda\xc4\xc4\xbf caf\x82\r\n"}}
                                       << u"┌──┐ café"_s << u"┌──┐ café\r\n"_s;
        QTest::newRow("UTF-8 with byte order mark")
            << Members{{"file_id.diz", "\xef\xbb\xbf\xe2\x94\x80 caf\xc3\xa9\n"}} << u"─ café"_s
            << u"─ café\r\n"_s;
        QTest::newRow("UTF-8 counts characters, not bytes")
            << Members{{"file_id.diz", Box(80).toUtf8()}} << Box(19)
            << Box(78) + u"\r\n"_s + Box(2) + u"\r\n"_s;
    }
    void members()
    {
        QFETCH(Members, members);
        QVERIFY(ArchiveSupport::WriteArchive(m_zip, members));
        QString gotBrief;
        QString gotDetailed;
        Extract(m_zip, gotBrief, gotDetailed);
        QTEST(gotBrief, "brief");
        QTEST(gotDetailed, "detailed");
    }

    void bufferLimits_data()
    {
        QTest::addColumn<QByteArray>("diz");
        QTest::addColumn<int>("briefSize");
        QTest::addColumn<int>("detailedSize");
        QTest::addColumn<QString>("brief");
        QTest::addColumn<QString>("detailed");
        QTest::newRow("cut after CR") << QByteArray("abc\r\ndef\r\n") << 60 << 7 << u"abc"_s << u"abc\r\nd"_s;
        QTest::newRow("cut between CR and LF")
            << QByteArray("abc\r\ndef\r\n") << 60 << 5 << u"abc"_s << u"abc\r"_s;
        QTest::newRow("exactly full")
            << QByteArray("abc\r\ndef\r\n") << 60 << 11 << u"abc"_s << u"abc\r\ndef\r\n"_s;
        // Each box character is three bytes of UTF-8: a cut never leaves part of one.
        QTest::newRow("converted text") << QByteArray(10, '\xc4') << 8 << 9 << Box(2) << Box(2);
        QTest::newRow("one byte buffers") << QByteArray("abc") << 1 << 1 << QString() << QString();
    }
    void bufferLimits()
    {
        QFETCH(QByteArray, diz);
        QFETCH(int, briefSize);
        QFETCH(int, detailedSize);
        QVERIFY(ArchiveSupport::WriteArchive(m_zip, {{"file_id.diz", diz}}));
        QString gotBrief;
        QString gotDetailed;
        Extract(m_zip, gotBrief, gotDetailed, briefSize, detailedSize);
        QTEST(gotDetailed, "detailed");
        QTEST(gotBrief, "brief");
    }

    void precedence_data()
    {
        QTest::addColumn<bool>("setting");
        QTest::addColumn<quint32>("value");
        QTest::addColumn<QString>("briefIn");
        QTest::addColumn<QString>("detailedIn");
        QTest::addColumn<QString>("brief");
        QTest::addColumn<QString>("detailed");
        const QString archiveDetailed = u"Archive text\r\n"_s;
        QTest::newRow("absent keeps")
            << false << 0u << u"Mine"_s << u"My text"_s << u"Mine"_s << u"My text"_s;
        QTest::newRow("0 keeps") << true << 0u << u"Mine"_s << u"My text"_s << u"Mine"_s << u"My text"_s;
        QTest::newRow("1 replaces") << true << 1u << u"Mine"_s << u"My text"_s << u"Archive brief"_s
                                    << archiveDetailed;
        QTest::newRow("0 fills empty")
            << true << 0u << QString() << u"My text"_s << u"Archive brief"_s << u"My text"_s;
    }
    void precedence()
    {
        QFETCH(bool, setting);
        QFETCH(quint32, value);
        QFETCH(QString, briefIn);
        QFETCH(QString, detailedIn);
        QFETCH(QString, brief);
        QFile::remove(RegistryFileForRoot(RegRoot::Machine));
        if (setting)
            QCOMPARE(RegWriteDword(u"DIZSDIPrecedence"_s, value, g_pszRegKey), kRegSuccess);
        QVERIFY(ArchiveSupport::WriteArchive(
            m_zip, {{"FILE_ID.DIZ", "Archive text"}, {"DESC.SDI", "Archive brief"}}));
        Extract(m_zip, briefIn, detailedIn);
        QCOMPARE(briefIn, brief);
        QTEST(detailedIn, "detailed");
    }

    void brokenArchives()
    {
        QVERIFY(ArchiveSupport::WriteArchive(
            m_zip, {{"file_id.diz", QByteArray(4000, 'x') + "\r\n"}, {"desc.sdi", "brief"}}));
        const QByteArray good = ReadFile(m_zip);
        QByteArray corrupt = good;
        // Damage the deflated data of the first member, behind its 30-byte header and name.
        for (int i = 45; i < 60; ++i)
            corrupt[i] = char(~corrupt[i]);
        const QList<QByteArray> cases = {QByteArray("PK\x03\x04", 4) + QByteArray(200, '\xff'),
                                         good.left(good.size() / 2), corrupt};
        for (const QByteArray& bytes : cases) {
            WriteFile(m_zip, bytes);
            QString brief = u"kept"_s;
            QString detailed;
            Extract(m_zip, brief, detailed);
            QCOMPARE(brief, u"kept"_s);
            QCOMPARE(detailed, QString());
            QVERIFY(QDir(m_temp).isEmpty());
        }
    }

    void hugeMember()
    {
        // 50 MB of one line deflates to a few dozen KB; only the start that can still change the
        // texts is read.
        QByteArray line = "The same line again and again\r\n";
        QVERIFY(ArchiveSupport::WriteArchive(
            m_zip, {{"file_id.diz", line.repeated(50 * 1024 * 1024 / line.size())}}));
        QString brief;
        QString detailed;
        Extract(m_zip, brief, detailed);
        QCOMPARE(brief, u"The same line again and again"_s);
        QCOMPARE(detailed.toUtf8().size(), 65534);
        QVERIFY(detailed.startsWith(u"The same line again and again\r\nThe same"_s));

        // The unzip stand-in on its own: the member is read up to the limit and no further.
        QList<std::optional<QByteArray>> members;
        QCOMPARE(UnzipMembers(OpenFile(m_zip).fd, {u"file_id.diz"_s, u"desc.sdi"_s}, 100000, members), 0);
        QCOMPARE(members.size(), 2);
        QVERIFY(members[0] && !members[1]);
        QCOMPARE(members[0]->size(), 100000);
        QVERIFY(members[0]->startsWith(line));
    }

    // Extraction needs no directory of its own: with no temporary directory to write to at all, the
    // members are still read.
    void noTemporaryDirectoryNeeded()
    {
        QVERIFY(ArchiveSupport::WriteArchive(m_zip, {{"file_id.diz", "text"}, {"desc.sdi", "brief"}}));
        qputenv("TMPDIR", QFile::encodeName(m_work.filePath(u"missing/tmp"_s)));
        QString brief;
        QString detailed;
        Extract(m_zip, brief, detailed);
        qputenv("TMPDIR", QFile::encodeName(m_temp));
        QCOMPARE(brief, u"brief"_s);
        QCOMPARE(detailed, u"text\r\n"_s);
    }

    // Sizes an archive declares are not believed: a member that says it is tiny but inflates to
    // 50 MB is read only to the limit, one that claims 4 GB reserves nothing for it. The central
    // directory's and the local header's uncompressed size are both changed.
    void declaredSizesAreNotBelieved_data()
    {
        QTest::addColumn<quint32>("declared");
        QTest::newRow("declared tiny, inflates to 50 MB") << 10u;
        QTest::newRow("declared 4 GB") << 0xFFFFFFF0u;
    }
    void declaredSizesAreNotBelieved()
    {
        QFETCH(quint32, declared);
        const QByteArray line = "Line after line\r\n";
        QVERIFY(ArchiveSupport::WriteArchive(
            m_zip, {{"file_id.diz", line.repeated(50 * 1024 * 1024 / line.size())}}));
        QByteArray bytes = ReadFile(m_zip);
        const auto patch = [&](const QByteArray& signature, int offset) {
            const qsizetype at = bytes.indexOf(signature);
            QVERIFY(at >= 0);
            for (int i = 0; i < 4; ++i)
                bytes[at + offset + i] = char((declared >> (8 * i)) & 0xFF);
        };
        patch(QByteArray("PK\x03\x04", 4), 22);
        patch(QByteArray("PK\x01\x02", 4), 24);
        WriteFile(m_zip, bytes);

        QList<std::optional<QByteArray>> members;
        const int result = UnzipMembers(OpenFile(m_zip).fd, {u"file_id.diz"_s}, 100000, members);
        QCOMPARE(members.size(), 1);
        if (result == 0 && members[0]) {
            QVERIFY(members[0]->size() <= 100000);
            QVERIFY(members[0]->startsWith(line));
        }
        QString brief;
        QString detailed;
        Extract(m_zip, brief, detailed);
        QVERIFY(detailed.toUtf8().size() < 65535 && brief.toUtf8().size() < 60);
    }

    void realArchives_data()
    {
        QTest::addColumn<QString>("archive");
        QTest::addColumn<QString>("brief");
        QTest::addColumn<QString>("detailedPart"); // a part of the detailed text, or empty for none
        QTest::newRow("DESC.SDI of 154 characters")
            << u"zip/bfds/prompt.zip"_s << u"Replaces your old, boring, black dos screen with  *5*  Full"_s
            << u"Replaces your old, boring, black dos screen\r\nwith *5* Full color ansi screens.\r\n"_s;
        QTest::newRow("DESC.SDI ending in Ctrl-Z")
            << u"zip/bfds/dirsiz23.zip"_s << u"DirSize - Directory sizes,summary stats,Win95 LFN,S.Carter"_s
            << QString();
        QTest::newRow("stored DESC.SDI")
            << u"zip/bfds/zeroin22.zip"_s << u"ZeroIn - Fast CD replacement,Win95 LFN,S.Carter"_s
            << u"\\*\\doc finds all second level doc\r\n"_s;
        QTest::newRow("leading spaces kept")
            << u"zip/bfds/dv386_3j.zip"_s << u"DASD Vision {tm} x86/AT v3.J Interactive File Manager"_s
            << u"& File\r\n Maintenance package for MS-DOS (v5/6/7/8.x)\r\n"_s;
        QTest::newRow("distractor VENDINFO.DIZ")
            << u"zip/bfds/makenm.zip"_s << u"MakeName -- Create unique filenames in batch files"_s
            << u"Create unique file names for batch files.\r\nMakeName"_s;
        QTest::newRow("root before BATS/")
            << u"zip/bfds/m410.zip"_s << u"M.EXE v4.10a Expands command line macros"_s << u"UTOA WAIT.\r\n"_s;
        QTest::newRow("code page 437 letters") << u"zip/hackervbi/CptDrexx_tap.zip"_s << QString()
                                               << u"\t└└└ Alexeenko Alex - intro screen\r\n"_s;
        QTest::newRow("code page 437 box")
            << u"zip/hamnewinfo/hni_0_1_0_4.zip"_s << QString()
            << u"\r\n\r\n   │───· WWW.REMO-WEB.DE ·───── ··\r\n\r\n\r\n   ┌"_s + Box(28) + u"┐\r\n"_s;
        QTest::newRow("78 characters, no final line feed")
            << u"zip/hackervbi/UnHinged.zip"_s << u"Full name of work: UnHinged"_s
            << u"-376440079)\r\nTeam Fortress 2\r\n"_s;
        QTest::newRow("only in a subdirectory")
            << u"zip/superhackerdocs/PGP-SIGS.ZIP"_s << QString() << QString();
        QTest::newRow("no description") << u"zip/superhackerdocs/IVIEW102.ZIP"_s << QString() << QString();
    }
    void realArchives()
    {
        QFETCH(QString, archive);
        QFETCH(QString, brief);
        QFETCH(QString, detailedPart);
        const QString path = Testdata(archive);
        if (!QFileInfo::exists(path))
            QSKIP("the BBS archives of the shared test data are not here (TROVEPORT_TESTDATA)");
        QString gotBrief;
        QString gotDetailed;
        Extract(path, gotBrief, gotDetailed);
        QCOMPARE(gotBrief, brief);
        QVERIFY2(gotDetailed.contains(detailedPart), qPrintable(gotDetailed));
        QVERIFY(!gotDetailed.contains(QChar::ReplacementCharacter));
        if (detailedPart.isEmpty() && brief.isEmpty())
            QCOMPARE(gotDetailed, QString());
    }

    void everyRealArchiveExtracts()
    {
        if (!QFileInfo::exists(Testdata(u"zip"_s)))
            QSKIP("the BBS archives of the shared test data are not here (TROVEPORT_TESTDATA)");
        // Every archive of the collection extracts without leaving anything behind.
        QDirIterator it(Testdata(u"zip"_s), {u"*.zip"_s, u"*.ZIP"_s}, QDir::Files,
                        QDirIterator::Subdirectories);
        int count = 0;
        while (it.hasNext()) {
            QString b;
            QString d;
            Extract(it.next(), b, d);
            QVERIFY(d.toUtf8().size() < 65535 && b.toUtf8().size() < 60);
            QVERIFY(QDir(m_temp).isEmpty());
            ++count;
        }
        QCOMPARE(count, 32);
    }

    void descriptionFiles_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("member");
        QTest::addColumn<QString>("brief");
        QTest::addColumn<QStringList>("detailedParts");
        QTest::newRow("French in code page 437")
            << u"desc/ssavcall/FILE_ID.DIZ"_s << QByteArray("FILE_ID.DIZ")
            << u"/// SSAVCALL - KOSS Production 1998 ///"_s
            << QStringList{u"facile à programmer en\r\nASM"_s, u"\r\nimmédiate   et"_s, u"FRANCAIS.\r\n"_s};
        QTest::newRow("UTF-8 art of 43 characters")
            << u"desc/shrinkxm/FILE_ID.DIZ"_s << QByteArray("FILE_ID.DIZ")
            << u"The OBSESSiON XM optimizer, ver 1.2 [01/01]"_s
            << QStringList{u"[01/01]\r\n"_s + Box(43) + u"\r\nThis is"_s};
        QTest::newRow("code page 437 frame, Ctrl-Z")
            << u"desc/bluebeep/FILE_ID.DIZ"_s << QByteArray("file_id.diz") << u"╒"_s + QString(18, u'═')
            << QStringList{u"╒"_s + QString(39, u'═') + u"╕\r\n│ *-*  BlueBEEP!"_s,
                           u"\r\n╘"_s + QString(39, u'═') + u"╛\r\n"_s};
        QTest::newRow("multi-line DESC.SDI, counted in bytes")
            << u"desc/os2-famapi/DESC.SDI"_s << QByteArray("DESC.SDI") << u"      "_s + Box(17)
            << QStringList();
        QTest::newRow("DESC.SDI of 65 characters")
            << u"desc/libkb/DESC.SDI"_s << QByteArray("desc.sdi")
            << u"libkb -- a free, advanced and portable low-level keyboard l"_s << QStringList();
        QTest::newRow("UTF-8 byte order mark")
            << u"desc/randomfiles/File_id.diz"_s << QByteArray("File_id.diz")
            << u"Far Manager v3.0.5700.0 x64 for Windows"_s
            << QStringList{u"Windows\r\n\r\nText mode file and archive manager\r\n"_s};
    }
    void descriptionFiles()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, member);
        QFETCH(QStringList, detailedParts);
        const QString path = Testdata(file);
        if (!QFileInfo::exists(path))
            QSKIP("the BBS description files of the shared test data are not here (TROVEPORT_TESTDATA)");
        QVERIFY(ArchiveSupport::WriteArchive(m_zip, {{member, ReadFile(path)}}));
        QString gotBrief;
        QString gotDetailed;
        Extract(m_zip, gotBrief, gotDetailed);
        QTEST(gotBrief, "brief");
        for (const QString& part : detailedParts)
            QVERIFY2(gotDetailed.contains(part), qPrintable(gotDetailed));
        QVERIFY(!gotDetailed.contains(QChar(0x1a)));
    }
};

QTEST_GUILESS_MAIN(TestExtraction)
#include "tst_extraction.moc"

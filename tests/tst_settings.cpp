// The settings store: REGEDIT4 files behind the two roots, value types, case, buffer sizes, and
// rewrites that keep everything else in the file.

#include "settings/Globals.h"
#include "settings/Registry.h"
#include "TestSupport.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

using namespace TestSupport;

namespace {
// Longer than any file system's step in file times: a file unchanged for this long may be cached.
constexpr int kSettleMs = 2100;

const QString kMachineKey = u"HKLM\\Software\\Corvane Software\\Loomwell\\Troveport"_s;
const QString kUserKey = u"HKCU\\Software\\Corvane Software\\Loomwell\\Troveport\\Explorer"_s;
constexpr quint32 kAbsent = 0xdeadbeef;

quint32 Dword(const QString& name, const QString& key)
{
    quint32 n = kAbsent;
    return RegReadDword(name, &n, key) ? n : kAbsent;
}
} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString MachineFile() const { return m_dir.filePath(u"machine.reg"_s); }
    QString UserFile() const { return m_dir.filePath(u"user.reg"_s); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        UseSettingsFilesIn(m_dir.path());
    }

    void init()
    {
        UseSettingsFilesIn(m_dir.path()); // again, after a test that failed while it pointed elsewhere
        QFile::remove(MachineFile());
        QFile::remove(UserFile());
    }

    void typesMustMatchExactly()
    {
        WriteFile(MachineFile(), "REGEDIT4\n\n"
                                 "[HKEY_LOCAL_MACHINE\\Software\\Corvane Software\\Loomwell\\Troveport]\n"
                                 "\"DatabasePath\"=\"/srv/troveport/db\"\n"
                                 "\"VirusExitCode\"=dword:0000001f\n"
                                 "\"WordAsText\"=\"31\"\n"
                                 "\"Binary\"=hex:01,02,03,04\n"
                                 "\"MultiLine\"=hex(1):61,0a,62,00\n"
                                 "\"RawDword\"=hex(4):2a,00,00,00\n"
                                 "\"BadDword\"=dword:xyz\n"
                                 "\"Unterminated\"=\"abc\n");
        QString text;
        QVERIFY(RegReadString(u"DatabasePath"_s, text, 260, kMachineKey));
        QCOMPARE(text, u"/srv/troveport/db"_s);
        QVERIFY(RegReadString(u"MultiLine"_s, text, 260, kMachineKey));
        QCOMPARE(text, u"a\nb"_s);

        QCOMPARE(Dword(u"VirusExitCode"_s, kMachineKey), 31u);
        QCOMPARE(Dword(u"RawDword"_s, kMachineKey), 42u);

        // Wrong or unreadable types behave as absent, and a number keeps the caller's default.
        for (const char* name :
             {"WordAsText", "Binary", "BadDword", "Unterminated", "Missing", "DatabasePath"}) {
            quint32 number = 99;
            QVERIFY2(!RegReadDword(QString::fromLatin1(name), &number, kMachineKey), name);
            QCOMPARE(number, 99u);
        }
        for (const char* name : {"VirusExitCode", "Binary", "BadDword", "Unterminated"})
            QVERIFY2(!RegReadString(QString::fromLatin1(name), text, 260, kMachineKey), name);
    }

    void namesAndKeysIgnoreCase()
    {
        WriteFile(
            UserFile(),
            "REGEDIT4\n\n[hkey_current_user\\SOFTWARE\\Corvane Software\\Loomwell\\Troveport\\Explorer]\n"
            "\"VPosition\"=dword:000000c8\n");
        QCOMPARE(Dword(u"vposition"_s, kUserKey), 200u);
        // Written under another spelling, the value keeps its first spelling and is not doubled.
        QCOMPARE(RegWriteDword(u"Vposition"_s, 300, kUserKey), kRegSuccess);
        QCOMPARE(Dword(u"VPOSITION"_s, kUserKey), 300u);
        const QByteArray file = ReadFile(UserFile());
        QCOMPARE(file.count("osition"), 1);
        QVERIFY(file.contains("\"VPosition\"=dword:0000012c"));
    }

    void rootsSelectTheirFiles()
    {
        QCOMPARE(RegWriteString(u"DatabasePath"_s, u"/m"_s, kMachineKey), kRegSuccess);
        QCOMPARE(RegWriteString(u"A"_s, u"/u"_s, kUserKey), kRegSuccess);
        QCOMPARE(RegWriteString(u"B"_s, u"plain"_s, u"Software\\Plain"_s), kRegSuccess);
        // The prefix is matched exactly: in lower case it is just part of a key under the user root.
        const QString lower = u"hklm\\Software\\Corvane Software\\Loomwell\\Troveport"_s;
        QCOMPARE(RegWriteString(u"DatabasePath"_s, u"/lower"_s, lower), kRegSuccess);

        QCOMPARE(RegGetString(u"DatabasePath"_s, kMachineKey), u"/m"_s);
        QCOMPARE(RegGetString(u"DatabasePath"_s, lower), u"/lower"_s);
        QCOMPARE(RegGetString(u"B"_s, u"HKCU\\Software\\Plain"_s), u"plain"_s);
        QCOMPARE(RegGetString(u"A"_s, kMachineKey), QString());

        QVERIFY(!ReadFile(MachineFile()).contains("/lower"));
        QVERIFY(ReadFile(UserFile()).contains("[HKEY_CURRENT_USER\\Software\\Plain]"));
    }

    void stringsMustFitTheBuffer_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("fits");
        QTest::newRow("259 bytes") << QString(259, QLatin1Char('x')) << true;
        QTest::newRow("260 bytes") << QString(260, QLatin1Char('x')) << false;
        QTest::newRow("129 two-byte characters") << QString(129, QChar(0xe9)) << true;
        QTest::newRow("130 two-byte characters") << QString(130, QChar(0xe9)) << false;
        QTest::newRow("empty") << QString() << true;
    }

    void stringsMustFitTheBuffer()
    {
        QFETCH(QString, value);
        QFETCH(bool, fits);
        QCOMPARE(RegWriteString(u"HttpPath"_s, value, kMachineKey), kRegSuccess);
        QString read = u"unchanged"_s;
        QCOMPARE(RegReadString(u"HttpPath"_s, read, 260, kMachineKey), fits);
        QCOMPARE(RegGetString(u"HttpPath"_s, kMachineKey), value); // read whole, however long
        if (fits)
            QCOMPARE(read, value);
        // A number needs four bytes of buffer.
        QCOMPARE(RegWriteDword(u"N"_s, 5, kMachineKey), kRegSuccess);
        quint32 n = 0;
        QVERIFY(!RegReadValue(kMachineKey, u"N"_s, RegType::Dword, &n, 3));
        QVERIFY(RegReadValue(kMachineKey, u"N"_s, RegType::Dword, &n, 4));
    }

    // Long string settings are used whole; one past the limit is not used, and not cut either.
    void longStringsAreReadWhole()
    {
        const QString options = u"--no-summary "_s + QString(300, QLatin1Char('x'));
        QCOMPARE(RegWriteString(u"VirusCmdLine"_s, options, kMachineKey), kRegSuccess);
        QCOMPARE(RegGetString(u"VirusCmdLine"_s, kMachineKey), options);
        const QString tooLong(int(kMaxSettingString), QLatin1Char('y'));
        QCOMPARE(RegWriteString(u"VirusChecker"_s, tooLong, kMachineKey), kRegSuccess);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"VirusChecker.*not used"_s));
        QCOMPARE(RegGetString(u"VirusChecker"_s, kMachineKey), QString());
    }

    // A write that cannot land (here a file size limit standing in for a full disk) is reported,
    // and the file stays as it was.
    void failedWriteKeepsTheFile()
    {
        QCOMPARE(RegWriteString(u"Keep"_s, QString(2000, QLatin1Char('k')), kUserKey), kRegSuccess);
        const QByteArray before = ReadFile(UserFile());
        long result = 0;
        {
            const CFileSizeLimit limit(rlim_t(before.size() + 100));
            if (!limit.IsSet())
                QSKIP("This machine does not allow a file size limit");
            result = RegWriteString(u"Grow"_s, QString(4000, QLatin1Char('g')), kUserKey);
        }
        QCOMPARE(result, long(EFBIG));
        QCOMPARE(ReadFile(UserFile()), before);
        QCOMPARE(Entries(m_dir.path()).filter(u"user.reg"_s), QStringList({u"user.reg"_s, u"user.reg.lock"_s}));
    }

    void textsRoundTrip()
    {
        for (const QString& text :
             {u"C:\\dir\\\"quoted\" \\\\server\\"_s, u"one\r\ntwo\nthree"_s, u"Bücher – 書籍"_s}) {
            QCOMPARE(RegWriteString(u"Before"_s, u"1"_s, kMachineKey), kRegSuccess);
            QCOMPARE(RegWriteString(u"Text"_s, text, kMachineKey), kRegSuccess);
            QCOMPARE(RegWriteString(u"After"_s, u"2"_s, kMachineKey), kRegSuccess);
            QString read;
            QVERIFY(RegReadString(u"Text"_s, read, 1000, kMachineKey));
            QCOMPARE(read, text);
            QCOMPARE(RegGetString(u"After"_s, kMachineKey), u"2"_s); // not taken for a section
        }
    }

    void rewriteKeepsEveryOtherLine()
    {
        const QByteArray original =
            "REGEDIT4\r\n\r\n"
            "; written by hand\r\n"
            "[HKEY_CURRENT_USER\\Software\\Other]\r\n"
            "\"Blob\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\r\n"
            "  16,17,18,19\r\n"
            "\"Expand\"=hex(2):25,00\r\n"
            "@=\"default value\"\r\n"
            "this line means nothing\r\n\r\n"
            "[HKEY_CURRENT_USER\\Software\\Corvane Software\\Loomwell\\Troveport\\Explorer]\r\n"
            "\"Column0\"=dword:0000007d\r\n"
            "\"Window Position\"=\"0010 0010 0800 0600 0000 0000 0001 0001\"\r\n";
        WriteFile(UserFile(), original);
        QCOMPARE(RegWriteDword(u"Column0"_s, 150, kUserKey), kRegSuccess);
        QCOMPARE(RegWriteDword(u"Column1"_s, 90, kUserKey), kRegSuccess);

        const QByteArray rewritten = ReadFile(UserFile());
        QByteArray expected = original;
        expected.replace("\"Column0\"=dword:0000007d", "\"Column0\"=dword:00000096");
        expected += "\"Column1\"=dword:0000005a\r\n";
        QCOMPARE(rewritten, expected);
        QCOMPARE(RegGetString(QString(), u"Software\\Other"_s), u"default value"_s);
        QCOMPARE(RegGetString(u"Window Position"_s, kUserKey), u"0010 0010 0800 0600 0000 0000 0001 0001"_s);
    }

    void namesThatWouldBreakTheFileAreRefused()
    {
        QCOMPARE(RegWriteString(u"Before"_s, u"1"_s, kMachineKey), kRegSuccess);
        const QByteArray before = ReadFile(MachineFile());
        QVERIFY(RegWriteString(u"x\n[HKEY_LOCAL_MACHINE\\Evil]"_s, u"v"_s, kMachineKey) != kRegSuccess);
        QVERIFY(RegWriteString(u"x"_s, u"v"_s, kMachineKey + u"]\n"_s) != kRegSuccess);
        QCOMPARE(ReadFile(MachineFile()), before);
        // Values spread over lines, written with spaces around "=", read whole.
        WriteFile(UserFile(),
                  "REGEDIT4\n\n[HKEY_CURRENT_USER\\K]\n\"N\" = hex(1):41,42,\\\n  43,00\n\"After\"=\"ok\"\n");
        QCOMPARE(RegGetString(u"N"_s, u"K"_s), u"ABC"_s);
        QCOMPARE(RegGetString(u"After"_s, u"K"_s), u"ok"_s);
    }

    void missingBrokenOrUnwritableFiles()
    {
        QString text;
        QVERIFY(!RegReadString(u"DatabasePath"_s, text, 260, kMachineKey));

        // Binary garbage, a huge line and a file with no line end at all must read as "absent".
        QByteArray garbage;
        for (int i = 0; i < 200000; ++i)
            garbage += char((i * 7919) % 256);
        WriteFile(MachineFile(), garbage + QByteArray(1 << 20, '"'));
        QVERIFY(!RegReadString(u"DatabasePath"_s, text, 260, kMachineKey));
        // ...and a write into it keeps the garbage.
        QCOMPARE(RegWriteString(u"DatabasePath"_s, u"/db"_s, kMachineKey), kRegSuccess);
        QCOMPARE(RegGetString(u"DatabasePath"_s, kMachineKey), u"/db"_s);
        QVERIFY(ReadFile(MachineFile()).startsWith(garbage));

        // A directory where the file should be, and a path under a regular file, cannot be written:
        // the write reports failure and nothing breaks.
        QDir(m_dir.path()).mkpath(u"blocked.reg"_s);
        qputenv("TROVEPORT_USER_REG", QFile::encodeName(m_dir.filePath(u"blocked.reg"_s)));
        QVERIFY(RegWriteDword(u"X"_s, 1, kUserKey) != kRegSuccess);
        qputenv("TROVEPORT_USER_REG", QFile::encodeName(MachineFile() + u"/user.reg"_s));
        QVERIFY(RegWriteDword(u"X"_s, 1, kUserKey) != kRegSuccess);
        QCOMPARE(Dword(u"X"_s, kUserKey), kAbsent);
        UseSettingsFilesIn(m_dir.path());
    }

    void repeatedValuesAndSections()
    {
        // The same value twice in a section, and a section whose header comes twice (in another
        // spelling) with values in both copies, around a section of another name.
        WriteFile(UserFile(), "REGEDIT4\n\n"
                              "[HKEY_CURRENT_USER\\K]\n"
                              "\"Twice\"=dword:00000001\n"
                              "\"Early\"=\"only in the first copy\"\n"
                              "\"Both\"=\"first copy\"\n"
                              "\"Twice\"=dword:00000002\n"
                              "\n"
                              "[HKEY_CURRENT_USER\\Other]\n"
                              "\"Both\"=\"other section\"\n"
                              "\n"
                              "[hkey_current_user\\k]\n"
                              "\"both\"=\"second copy\"\n"
                              "; the last line of the section that is not blank\n"
                              "\n");
        // The last one counts.
        QCOMPARE(Dword(u"Twice"_s, u"K"_s), 2u);
        QCOMPARE(RegGetString(u"Early"_s, u"K"_s), u"only in the first copy"_s);
        QCOMPARE(RegGetString(u"Both"_s, u"K"_s), u"second copy"_s);
        QCOMPARE(RegGetString(u"Both"_s, u"Other"_s), u"other section"_s);

        // A write changes the occurrence that reads find, in place and keeping its spelling, and
        // leaves no other that could win; a new value goes to the end of the section's last copy.
        QCOMPARE(RegWriteDword(u"twice"_s, 3, u"K"_s), kRegSuccess);
        QCOMPARE(RegWriteString(u"EARLY"_s, u"new early"_s, u"K"_s), kRegSuccess);
        QCOMPARE(RegWriteString(u"Both"_s, u"new both"_s, u"K"_s), kRegSuccess);
        QCOMPARE(RegWriteDword(u"New"_s, 5, u"K"_s), kRegSuccess);
        QCOMPARE(Dword(u"Twice"_s, u"K"_s), 3u);
        QCOMPARE(RegGetString(u"Early"_s, u"K"_s), u"new early"_s);
        QCOMPARE(RegGetString(u"Both"_s, u"K"_s), u"new both"_s);
        QCOMPARE(ReadFile(UserFile()), QByteArray("REGEDIT4\n\n"
                                                  "[HKEY_CURRENT_USER\\K]\n"
                                                  "\"Early\"=\"new early\"\n"
                                                  "\"Twice\"=dword:00000003\n"
                                                  "\n"
                                                  "[HKEY_CURRENT_USER\\Other]\n"
                                                  "\"Both\"=\"other section\"\n"
                                                  "\n"
                                                  "[hkey_current_user\\k]\n"
                                                  "\"both\"=\"new both\"\n"
                                                  "; the last line of the section that is not blank\n"
                                                  "\"New\"=dword:00000005\n"
                                                  "\n"));
    }

    void numbersMustBeFourBytes()
    {
        const uchar bytes[8] = {1, 2, 3, 4, 5, 6, 7, 8};
        // Neither the file nor its directory exists: a refused write creates neither.
        const QString fresh = m_dir.filePath(u"fresh"_s);
        qputenv("TROVEPORT_USER_REG", QFile::encodeName(fresh + u"/user.reg"_s));
        for (quint32 size : {0u, 1u, 3u, 5u, 8u})
            QCOMPARE(RegWriteValue(kUserKey, u"N"_s, RegType::Dword, bytes, size), long(EINVAL));
        QVERIFY(!QFileInfo::exists(fresh));
        UseSettingsFilesIn(m_dir.path());
        // The directory exists, the file does not: no file, no lock file.
        QFile::remove(UserFile() + u".lock"_s);
        QCOMPARE(RegWriteValue(kUserKey, u"N"_s, RegType::Dword, bytes, 3), long(EINVAL));
        QVERIFY(!QFileInfo::exists(UserFile()));
        QVERIFY(!QFileInfo::exists(UserFile() + u".lock"_s));

        // An existing file is left as it was.
        QCOMPARE(RegWriteValue(kUserKey, u"N"_s, RegType::Dword, bytes, 4), kRegSuccess);
        const QByteArray before = ReadFile(UserFile());
        for (quint32 size : {0u, 3u, 5u})
            QCOMPARE(RegWriteValue(kUserKey, u"N"_s, RegType::Dword, bytes, size), long(EINVAL));
        QCOMPARE(ReadFile(UserFile()), before);
        QCOMPARE(Dword(u"N"_s, kUserKey), 0x04030201u);
    }

    void rewriteKeepsEveryByte()
    {
        // A byte order mark, mixed line ends and a last line without a line end stay as they were.
        const QByteArray original = "\xEF\xBB\xBFREGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\K]\n\"A\"=\"1\"";
        WriteFile(UserFile(), original);
        QCOMPARE(RegGetString(u"A"_s, u"K"_s), u"1"_s);
        QCOMPARE(RegWriteString(u"B"_s, u"2"_s, u"K"_s), kRegSuccess);
        QCOMPARE(ReadFile(UserFile()), original + "\r\n\"B\"=\"2\"\r\n");
        QCOMPARE(RegWriteString(u"A"_s, u"3"_s, u"K"_s), kRegSuccess);
        QCOMPARE(
            ReadFile(UserFile()),
            QByteArray("\xEF\xBB\xBFREGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\K]\n\"A\"=\"3\"\r\n\"B\"=\"2\"\r\n"));

        // A hex value ends with its first line that does not end in a backslash, even a blank one.
        WriteFile(UserFile(), "REGEDIT4\n\n[HKEY_CURRENT_USER\\K]\n\"X\"=hex(1):41,\\\n  42,\\ \n\n"
                              "\"Y\"=\"after\"\n\"Z\"=hex(1):41,\\\n  42,00\n");
        QCOMPARE(RegGetString(u"X"_s, u"K"_s), QString()); // "41,42," is not a list of bytes
        QCOMPARE(RegGetString(u"Y"_s, u"K"_s), u"after"_s);
        QCOMPARE(RegGetString(u"Z"_s, u"K"_s), u"AB"_s);
        // One whose last line ends in a backslash at the end of the file would take a value added
        // after it as its next line: a blank line is put between.
        WriteFile(UserFile(), "REGEDIT4\n\n[HKEY_CURRENT_USER\\K]\n\"X\"=hex:41,\\\n");
        QCOMPARE(RegWriteString(u"Y"_s, u"after"_s, u"K"_s), kRegSuccess);
        QCOMPARE(ReadFile(UserFile()),
                 QByteArray("REGEDIT4\n\n[HKEY_CURRENT_USER\\K]\n\"X\"=hex:41,\\\n\n\"Y\"=\"after\"\n"));
        QCOMPARE(RegGetString(u"Y"_s, u"K"_s), u"after"_s);
    }

    void largeFilesAreReadWhole()
    {
        // A hex value of many continuation lines, as regedit writes them but with a blank after
        // each backslash, in the machine file; runs of blank lines between values in the user file.
        QByteArray hex =
            "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Corvane Software\\Loomwell\\Troveport]\r\n"
            "\"Before\"=\"1\"\r\n\"Big\"=hex(1):41,\\ \r\n";
        QByteArray big = "A";
        const QByteArray line =
            "  42,43,44,45,46,47,48,49,4a,4b,4c,4d,4e,4f,50,51,52,53,54,55,56,57,58,59,5a,\\ \r\n";
        while (hex.size() < 300'000) {
            hex += line;
            big += "BCDEFGHIJKLMNOPQRSTUVWXYZ";
        }
        hex += "  00\r\n\"After\"=dword:00000007\r\n\r\n";
        big += '\0';
        WriteFile(MachineFile(), hex);
        QByteArray blank =
            "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Corvane Software\\Loomwell\\Troveport\\Explorer]\n"
            "\"First\"=dword:00000001\n";
        blank += QByteArray(100'000, '\n') + QByteArray(" \t\r\n").repeated(1000);
        blank += "\"Last\"=\"end\"\n" + QByteArray(1000, '\n');
        WriteFile(UserFile(), blank);

        QByteArray value(big.size() + 10, '\0');
        QVERIFY(RegReadValue(kMachineKey, u"Big"_s, RegType::String, value.data(), quint32(value.size())));
        QCOMPARE(value.left(big.size()), big);
        QCOMPARE(Dword(u"After"_s, kMachineKey), 7u);
        QCOMPARE(RegGetString(u"Last"_s, kUserKey), u"end"_s);

        // A write of ours changes one line and keeps every other byte; the next read sees it.
        QCOMPARE(RegWriteDword(u"After"_s, 8, kMachineKey), kRegSuccess);
        QByteArray expected = hex;
        expected.replace("\"After\"=dword:00000007", "\"After\"=dword:00000008");
        QCOMPARE(ReadFile(MachineFile()), expected);
        QCOMPARE(Dword(u"After"_s, kMachineKey), 8u);
    }

    void changesByAnotherWriterAreSeen()
    {
        auto file = [](const char* value) {
            return "REGEDIT4\n\n[HKEY_CURRENT_USER\\K]\n\"V\"=\"" + QByteArray(value) + "\"\n";
        };
        auto readsAs = [](const char* value) { return RegGetString(u"V"_s, u"K"_s) == QLatin1String(value); };
        // Only a file unchanged for a while is cached (what was read just after a change is not),
        // and the reader takes the time from the system clock: this one wait cannot be set aside.
        WriteFile(UserFile(), file("aaaa"));
        QVERIFY(readsAs("aaaa"));
        QTest::qSleep(kSettleMs);
        quint64 parsed = RegSettingsParseCount();
        QVERIFY(readsAs("aaaa"));
        QVERIFY(readsAs("aaaa"));
        QCOMPARE(RegSettingsParseCount(), parsed + 1);

        // Rewritten in place with the same length, and its modification time put back to what it
        // was: only the change time tells, and it is enough.
        const QByteArray path = QFile::encodeName(UserFile());
        struct stat old = {};
        QCOMPARE(::stat(path.constData(), &old), 0);
        WriteFile(UserFile(), file("cccc"));
        const timespec times[2] = {old.st_atim, old.st_mtim};
        QCOMPARE(::utimensat(AT_FDCWD, path.constData(), times, 0), 0);
        struct stat now = {};
        QCOMPARE(::stat(path.constData(), &now), 0);
        QVERIFY(now.st_ino == old.st_ino && now.st_size == old.st_size &&
                now.st_mtim.tv_sec == old.st_mtim.tv_sec && now.st_mtim.tv_nsec == old.st_mtim.tv_nsec);
        QVERIFY(readsAs("cccc"));

        // Rewritten in place with another length: seen at once.
        WriteFile(UserFile(), file("bbbbbbbb"));
        QVERIFY(readsAs("bbbbbbbb"));
    }

    void aHeldLockMakesWritesGiveUp()
    {
        QCOMPARE(RegWriteDword(u"Column0"_s, 1, kUserKey), kRegSuccess);
        const QByteArray before = ReadFile(UserFile());
        // The lock file stays beside the settings file, so that all writers lock the same one.
        const QString lockFile = UserFile() + u".lock"_s;
        {
            CForeignLock lock(lockFile);
            QVERIFY(lock.IsLocked());
            QCOMPARE(RegWriteDword(u"Column0"_s, 4, kUserKey), long(EWOULDBLOCK));
            QCOMPARE(ReadFile(UserFile()), before);
        }
        // A holder that lets go within the wait: the write waits for it and succeeds. (flock locks
        // belong to the open file description: a second open() conflicts as another process would.)
        const int holder = ::open(QFile::encodeName(lockFile).constData(), O_RDWR | O_CLOEXEC);
        QVERIFY(holder >= 0);
        QCOMPARE(::flock(holder, LOCK_EX | LOCK_NB), 0);
        QThread* release = QThread::create([holder] {
            QThread::msleep(300);
            ::close(holder);
        });
        release->start();
        QCOMPARE(RegWriteDword(u"Column0"_s, 6, kUserKey), kRegSuccess);
        QVERIFY(release->wait(10000));
        delete release;
        QCOMPARE(Dword(u"Column0"_s, kUserKey), 6u);
    }

    void concurrentWritersLoseNothing()
    {
        // Each write reads the file afresh under a lock, so two writers never undo each other.
        auto writer = [](const QString& prefix) {
            for (int i = 0; i < 40; ++i)
                RegWriteDword(prefix + QString::number(i), quint32(i), kUserKey);
        };
        QThread* a = QThread::create(writer, u"A"_s);
        QThread* b = QThread::create(writer, u"B"_s);
        a->start();
        b->start();
        QVERIFY(a->wait(60000));
        QVERIFY(b->wait(60000));
        delete a;
        delete b;
        for (int i = 0; i < 40; ++i) {
            QCOMPARE(Dword(u"A"_s + QString::number(i), kUserKey), quint32(i));
            QCOMPARE(Dword(u"B"_s + QString::number(i), kUserKey), quint32(i));
        }
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"

// The settings store: REGEDIT4 files behind the two roots, value types, case, buffer sizes, and
// rewrites that keep everything else in the file.

#include "startup/Globals.h"
#include "startup/Registry.h"
#include "TestSupport.h"

#include <QTemporaryDir>
#include <QThread>

using namespace Qt::StringLiterals;

using namespace TestSupport;

namespace {
const QString kMachineKey = u"HKLM\\Software\\Corvane Software\\Loomwell\\Troveport"_s;
const QString kUserKey = u"HKCU\\Software\\Corvane Software\\Loomwell\\Troveport\\Explorer"_s;
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

        quint32 number = 7;
        QVERIFY(RegReadDword(u"VirusExitCode"_s, &number, kMachineKey));
        QCOMPARE(number, 31u);
        QVERIFY(RegReadDword(u"RawDword"_s, &number, kMachineKey));
        QCOMPARE(number, 42u);

        // Wrong or unreadable types behave as absent, and a number keeps the caller's default.
        for (const char* name :
             {"WordAsText", "Binary", "BadDword", "Unterminated", "Missing", "DatabasePath"}) {
            number = 99;
            QVERIFY2(!RegReadDword(QString::fromLatin1(name), &number, kMachineKey), name);
            QCOMPARE(number, 99u);
        }
        for (const char* name : {"VirusExitCode", "Binary", "BadDword", "Unterminated"})
            QVERIFY2(!RegReadString(QString::fromLatin1(name), text, 260, kMachineKey), name);
        QCOMPARE(RegGetString(u"VirusExitCode"_s, kMachineKey), QString());
    }

    void namesAndKeysIgnoreCase()
    {
        WriteFile(
            UserFile(),
            "REGEDIT4\n\n[hkey_current_user\\SOFTWARE\\Corvane Software\\Loomwell\\Troveport\\Explorer]\n"
            "\"VPosition\"=dword:000000c8\n");
        quint32 width = 0;
        QVERIFY(RegReadDword(u"vposition"_s, &width, kUserKey));
        QCOMPARE(width, 200u);

        // Written under another spelling, the value keeps its first spelling and is not doubled.
        QCOMPARE(RegWriteDword(u"Vposition"_s, 300, kUserKey), kRegSuccess);
        QVERIFY(RegReadDword(u"VPOSITION"_s, &width, kUserKey));
        QCOMPARE(width, 300u);
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

        const QByteArray machine = ReadFile(MachineFile());
        const QByteArray user = ReadFile(UserFile());
        QVERIFY(machine.startsWith("REGEDIT4"));
        QVERIFY(machine.contains("[HKEY_LOCAL_MACHINE\\Software\\Corvane Software\\Loomwell\\Troveport]"));
        QVERIFY(!machine.contains("/lower"));
        QVERIFY(user.contains("[HKEY_CURRENT_USER\\hklm\\Software\\Corvane Software\\Loomwell\\Troveport]"));
        QVERIFY(user.contains("[HKEY_CURRENT_USER\\Software\\Plain]"));
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
        QCOMPARE(RegGetString(u"HttpPath"_s, kMachineKey), fits ? value : QString());
        if (fits)
            QCOMPARE(read, value);
        // A number needs four bytes of buffer.
        QCOMPARE(RegWriteDword(u"N"_s, 5, kMachineKey), kRegSuccess);
        quint32 n = 0;
        QVERIFY(!RegReadValue(kMachineKey, u"N"_s, RegType::Dword, &n, 3));
        QVERIFY(RegReadValue(kMachineKey, u"N"_s, RegType::Dword, &n, 4));
    }

    void textsRoundTrip_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("backslashes and quotes") << u"C:\\dir\\\"quoted\" \\\\server\\"_s;
        QTest::newRow("line breaks") << u"one\r\ntwo\nthree"_s;
        QTest::newRow("non-ASCII") << u"Bücher – 書籍"_s;
    }

    void textsRoundTrip()
    {
        QFETCH(QString, text);
        QCOMPARE(RegWriteString(u"Before"_s, u"1"_s, kMachineKey), kRegSuccess);
        QCOMPARE(RegWriteString(u"Text"_s, text, kMachineKey), kRegSuccess);
        QCOMPARE(RegWriteString(u"After"_s, u"2"_s, kMachineKey), kRegSuccess);
        QString read;
        QVERIFY(RegReadString(u"Text"_s, read, 1000, kMachineKey));
        QCOMPARE(read, text);
        // The text must not have been taken for a section or another value.
        QCOMPARE(RegGetString(u"Before"_s, kMachineKey), u"1"_s);
        QCOMPARE(RegGetString(u"After"_s, kMachineKey), u"2"_s);
        QCOMPARE(RegGetString(u"A"_s, u"HKLM\\X"_s), QString());
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
        quint32 x = 5;
        QVERIFY(!RegReadDword(u"X"_s, &x, kUserKey));
        UseSettingsFilesIn(m_dir.path());
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
            for (const char* prefix : {"A", "B"}) {
                quint32 v = 9999;
                QVERIFY(RegReadDword(QLatin1String(prefix) + QString::number(i), &v, kUserKey));
                QCOMPARE(v, quint32(i));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"

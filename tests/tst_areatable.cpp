// The mapped record files: "Filearea.dat" and the group files, their sharing rules, partial and
// damaged records, and growth.

#include "settings/CFileAreaTable.h"
#include "settings/CGroupFile.h"
#include "TestSupport.h"

#include <QTemporaryDir>

#include <QtEndian>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

using namespace TestSupport;

class TestAreaTable : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString Path(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }

private slots:
    void partialRecordsAreNotCounted_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<quint32>("count");
        QTest::addColumn<int>("areas");
        QTest::newRow("header only") << HeaderRecord() << 1u << 0;
        QTest::newRow("less than a header") << QByteArray(867, 'x') << 0u << 0;
        QTest::newRow("two areas and 100 bytes")
            << HeaderRecord() + AreaRecord(5, "Games") + AreaRecord(6, "Tools") + QByteArray(100, 'z') << 3u
            << 2;
    }

    void partialRecordsAreNotCounted()
    {
        QFETCH(QByteArray, content);
        QFETCH(quint32, count);
        QFETCH(int, areas);
        WriteFile(Path("Filearea.dat"), content);
        CFileAreaTable table;
        QVERIFY(table.Open(Path("Filearea.dat")));
        QCOMPARE(table.GetRecordCount(), count);
        int found = 0;
        for (quint32 i = 1; i < table.GetRecordCount(); ++i)
            found += table.GetRecord(i) != nullptr;
        QCOMPARE(found, areas);
        QVERIFY(table.GetRecord(count) == nullptr);
        // The header is never taken for an area, whatever its bytes say.
        QVERIFY(table.FindArea(0x7f7f7f7fu) == nullptr);
    }

    void fieldsEndWithinTheirWidth()
    {
        // Every text field filled to its last byte, no terminator anywhere in the record.
        QByteArray raw = AreaRecord(7, QByteArray(80, 'N'));
        auto* r = reinterpret_cast<FileAreaRecord*>(raw.data());
        std::memset(r->path, 'P', sizeof r->path);
        std::memset(r->ftpAlias, 'F', sizeof r->ftpAlias);
        std::memset(r->httpAlias, 'H', sizeof r->httpAlias);
        r->SetFlags(0xFFFFFFFFu);
        WriteFile(Path("Filearea.dat"), HeaderRecord() + raw);

        CFileAreaTable table;
        QVERIFY(table.Open(Path("Filearea.dat")));
        const FileAreaRecord* area = table.FindArea(7u);
        QVERIFY(area);
        QCOMPARE(area->Name(), QString(80, QLatin1Char('N')));
        QCOMPARE(area->Path(), QString(260, QLatin1Char('P')));
        QCOMPARE(area->FtpAlias(), QString(260, QLatin1Char('F')));
        QCOMPARE(area->HttpAlias(), QString(260, QLatin1Char('H')));
        QVERIFY(area->HasFlag(kAreaAllowUploads));

        // Bytes that are not UTF-8 must not break the reading either.
        raw = AreaRecord(8, "Caf\xe9 \xff\xfe");
        WriteFile(Path("Filearea.dat"), HeaderRecord() + raw);
        QVERIFY(table.Open(Path("Filearea.dat")));
        QVERIFY(table.FindArea(8u)->Name().startsWith(u"Caf"_s));
    }

    void findAreaTakesTheFirstMatchingId()
    {
        WriteFile(Path("Filearea.dat"),
                  HeaderRecord() + AreaRecord(3, "Same name", "/a") + AreaRecord(4, "Same name", "/b") +
                      AreaRecord(3, "Later copy", "/c") + AreaRecord(4294967295u, "Highest", "/d", 0));
        CFileAreaTable table;
        QVERIFY(table.Open(Path("Filearea.dat")));
        QCOMPARE(table.FindArea(3u)->Path(), u"/a"_s);
        QCOMPARE(table.FindArea(4u)->Path(), u"/b"_s);
        QCOMPARE(table.FindArea(4294967295u)->Name(), u"Highest"_s);
        // Database ids arrive as doubles; the largest id still compares exactly.
        QCOMPARE(table.FindArea(4294967295.0)->Name(), u"Highest"_s);
        QCOMPARE(table.FindArea(4.0)->Path(), u"/b"_s);
        QVERIFY(table.FindArea(4294967294.0) == nullptr);
        QVERIFY(table.FindArea(3.5) == nullptr);
        QVERIFY(table.FindArea(9u) == nullptr);
    }

    void growthFillsWithZerosOrFailsCleanly()
    {
        const QString name = Path("grow.dat");
        WriteFile(name, QByteArray(10, 'a')); // less than one record
        CMappedFile writable(100, true);
        QVERIFY(writable.Open(name, 5));
        QCOMPARE(writable.GetRecordCount(), 5u);
        QCOMPARE(QFileInfo(name).size(), 500);
        QCOMPARE(writable.GetData()[9], uchar('a'));
        QCOMPARE(writable.GetData()[499], uchar(0));
        writable.GetWritableData()[499] = 'w';
        writable.Close();
        QCOMPARE(ReadFile(name).at(499), 'w');

        // Asking for more records than a file holds: true when writable, never by hanging or
        // half-open when the file is read-only.
        CMappedFile readOnly(100, false);
        QVERIFY(!readOnly.Open(name, 10000));
        QVERIFY(!readOnly.IsOpen());
        QCOMPARE(QFileInfo(name).size(), 500);
        QVERIFY(readOnly.Open(name, 5));
        QCOMPARE(readOnly.GetRecordCount(), 5u);
        QVERIFY(readOnly.GetWritableData() == nullptr);
    }

    void onlyRegularFilesAreTables()
    {
        QDir(m_dir.path()).mkpath(u"dir.dat"_s);
        CFileAreaTable table;
        QVERIFY(!table.Open(Path("dir.dat")));
        QVERIFY(!table.IsOpen());
        // A FIFO fails at once instead of waiting for a writer.
        QCOMPARE(::mkfifo(QFile::encodeName(Path("fifo.dat")).constData(), 0600), 0);
        QVERIFY(!table.Open(Path("fifo.dat")));
        // Reading a group that is not there does not make it.
        CGroupFile group;
        QVERIFY(!group.Open(Path("Missing.group")));
        QVERIFY(!QFileInfo::exists(Path("Missing.group")));
    }

    void groupFiles_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QList<quint32>>("ids");
        QTest::newRow("in order, duplicates kept")
            << GroupIds({9, 2, 9, 4294967295u}) << QList<quint32>{9, 2, 9, 4294967295u};
        QTest::newRow("three trailing bytes ignored")
            << GroupIds({1, 2}) + QByteArray("\x01\x02\x03", 3) << QList<quint32>{1, 2};
        QTest::newRow("too short for one id") << QByteArray("\x05\x00", 2) << QList<quint32>{};
        QTest::newRow("empty") << QByteArray() << QList<quint32>{};
    }

    void groupFiles()
    {
        QFETCH(QByteArray, content);
        QFETCH(QList<quint32>, ids);
        WriteFile(Path("Tools.group"), content);
        CGroupFile group;
        QVERIFY(group.Open(Path("Tools.group")));
        QList<quint32> read;
        for (quint32 i = 0; i < group.GetRecordCount(); ++i)
            read.append(group.GetAreaId(i));
        QCOMPARE(read, ids);
        QCOMPARE(group.GetAreaId(group.GetRecordCount()), 0u);
    }
};

QTEST_GUILESS_MAIN(TestAreaTable)
#include "tst_areatable.moc"

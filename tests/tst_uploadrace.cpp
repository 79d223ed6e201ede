// Uploads exchanged for something else while a scan works on them. Visitors can rename files in an
// upload area at any moment: whoever wins the race, the scan must not block on a FIFO, read one,
// or have the virus checker read a file from outside the area.

#include "ArchiveSupport.h"
#include "CheckerSupport.h"
#include "RaceSupport.h"
#include "settings/Globals.h"
#include "settings/Registry.h"
#include "TestSupport.h"
#include "uploads/UploadScan.h"

#include <QTemporaryDir>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace TestSupport;
using RaceSupport::CExchanger;

namespace {

// A little room for the scan between two exchanges, and a bound on them.
constexpr std::chrono::microseconds kPause{50};
constexpr long kMaxRounds = 200000;

// Bytes kept waiting in the FIFO: the start of a zip archive, as a reader would want it.
const QByteArray kFifoBytes = QByteArray("PK\x03\x04", 4) + QByteArray(60, 'f');

} // namespace

class TestUploadRace : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString Path(const QString& relative) const { return m_dir.filePath(relative); }
    QString Up(const QString& name) const { return Path(u"areas/up/"_s + name); }
    void UseChecker(bool on)
    {
        QCOMPARE(RegWriteString(u"VirusChecker"_s, on ? QStringLiteral(TROVEPORT_FAKE_VIRUSCHECK) : QString(),
                                g_pszRegKey),
                 kRegSuccess);
    }
    // Scans the areas over and over while the exchanger works, at least scans times and until it
    // has made rounds exchanges; every scan lists the one upload.
    void ScanWhileExchanging(CExchanger& exchanger, int scans, int rounds)
    {
        exchanger.Start();
        for (int done = 0; done < scans || exchanger.Exchanges() < rounds; ++done) {
            CPendingUploadArray list;
            QVERIFY(ScanUploadAreas(list));
            QCOMPARE(list.size(), 1);
        }
        exchanger.Stop();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        UseSettingsFilesIn(m_dir.path());
        qputenv("FAKE_VIRUSCHECK_READ", QFile::encodeName(Path(u"checker-read.log"_s)));
        QCOMPARE(RegWriteDword(u"VirusExitCode"_s, 1, g_pszRegKey), kRegSuccess);
        for (const char* dir : {"areas/up", "outside"})
            QVERIFY(QDir(m_dir.path()).mkpath(QLatin1String(dir)));
        WriteFile(Path(u"Filearea.dat"_s),
                  HeaderRecord() + AreaRecord(3, "Uploads", QFile::encodeName(Up(QString())), 3));
        QVERIFY(theFileAreaTable.Open(Path(u"Filearea.dat"_s)));
    }

    void init()
    {
        QDir(Up(QString())).removeRecursively();
        QVERIFY(QDir().mkpath(Up(QString())));
        QFile::remove(Path(u"checker-read.log"_s));
    }

    void cleanupTestCase() { theFileAreaTable.Close(); }

    // The upload and a FIFO change places while the scan opens, sizes and unpacks the upload. A
    // FIFO with a writer would feed a reader, and one without would hold a blocking open for ever:
    // this one has a writer (the test), so nothing hangs, and any byte taken from it shows.
    void fifoExchangedDuringTheArchiveRead()
    {
        UseChecker(false);
        QVERIFY(ArchiveSupport::WriteArchive(Up(u"up.zip"_s), {{"file_id.diz", "Archive text\r\n"}}));
        WriteFile(Up(u"up.zip.desc"_s), "Filename: up.zip\n");
        QCOMPARE(::mkfifo(QFile::encodeName(Up(u"swap"_s)).constData(), 0644), 0);
        const int fifo =
            ::open(QFile::encodeName(Up(u"swap"_s)).constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        QVERIFY(fifo >= 0);
        QCOMPARE(::write(fifo, kFifoBytes.constData(), size_t(kFifoBytes.size())),
                 ssize_t(kFifoBytes.size()));

        std::atomic<int> bytesTaken{0};
        CExchanger exchanger(
            Up(u"up.zip"_s), Up(u"swap"_s),
            [&] {
                int waiting = 0;
                if (::ioctl(fifo, FIONREAD, &waiting) == 0 && waiting < kFifoBytes.size()) {
                    bytesTaken += int(kFifoBytes.size()) - waiting;
                    // Refilled, so that a reader that took some does not wait for more.
                    [[maybe_unused]] const ssize_t refilled =
                        ::write(fifo, kFifoBytes.constData(), size_t(kFifoBytes.size() - waiting));
                }
            },
            // A reader still waiting on the FIFO gets its end of file, even if the scan never
            // came back to stop the exchanges.
            [fifo] { ::close(fifo); }, kPause, kMaxRounds);
        if (const QString refusal = exchanger.Refusal(); !refusal.isEmpty()) {
            ::close(fifo);
            QSKIP(qPrintable(refusal));
        }
        ScanWhileExchanging(exchanger, 300, 300);
        QCOMPARE(bytesTaken.load(), 0);
    }

    // The upload and a link to a file outside the area change places while the scan has the
    // upload checked: the checker reads the upload, or nothing, never the outside file.
    void linkExchangedDuringTheVirusCheck()
    {
        UseChecker(true);
        WriteFile(Path(u"outside/secret.txt"_s), "OUTSIDE secret\n");
        WriteFile(Up(u"up.zip"_s), "CLEAN upload\n");
        WriteFile(Up(u"up.zip.desc"_s), "Filename: up.zip\nShortDesc: s\n\nl\n");
        QVERIFY(QFile::link(Path(u"outside/secret.txt"_s), Up(u"swap"_s)));
        const QByteArray upload = CheckerSupport::FileIdentity(Up(u"up.zip"_s));
        const QByteArray outside = CheckerSupport::FileIdentity(Path(u"outside/secret.txt"_s));

        CExchanger exchanger(Up(u"up.zip"_s), Up(u"swap"_s), {}, {}, kPause, kMaxRounds);
        if (const QString refusal = exchanger.Refusal(); !refusal.isEmpty())
            QSKIP(qPrintable(refusal));
        ScanWhileExchanging(exchanger, 150, 300);
        const QList<QByteArray> read = CheckerSupport::ReadIdentities(Path(u"checker-read.log"_s));
        QVERIFY2(!read.contains(outside), "the checker read the file outside the area");
        // The race was real: the upload itself was checked on some rounds.
        QVERIFY(read.contains(upload));
        QCOMPARE(ReadFile(Path(u"outside/secret.txt"_s)), QByteArray("OUTSIDE secret\n"));
    }
};

QTEST_MAIN(TestUploadRace)
#include "tst_uploadrace.moc"

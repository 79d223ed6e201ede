// Uploads exchanged for something else while a scan works on them. Visitors can rename files in an
// upload area at any moment: whoever wins the race, the scan must not block on a FIFO, read one,
// or have the virus checker read a file from outside the area.

#include "ArchiveSupport.h"
#include "CheckerSupport.h"
#include "RaceSupport.h"
#include "uploads/UploadScan.h"

#include <atomic>
#include <fcntl.h>
#include <sys/ioctl.h>
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

class TestUploadRace : public QObject, public CheckerSupport::CUploadAreas
{
    Q_OBJECT

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
    void initTestCase() { OpenUploadAreas(); }
    void cleanupTestCase() { theFileAreaTable.Close(); }

    // The upload and a FIFO change places while the scan opens, sizes and unpacks the upload. A
    // FIFO with a writer would feed a reader, and one without would hold a blocking open for ever:
    // this one has a writer (the test), so nothing hangs, and any byte taken from it shows.
    void fifoExchangedDuringTheArchiveRead()
    {
        ResetUploadAreas({u"areas/up"_s}, QString());
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
        ResetUploadAreas({u"areas/up"_s}, QStringLiteral(TROVEPORT_FAKE_VIRUSCHECK));
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
        const QList<QByteArray> read = Checked();
        QVERIFY2(!read.contains(outside), "the checker read the file outside the area");
        // The race was real: the upload itself was checked on some rounds.
        QVERIFY(read.contains(upload));
        QCOMPARE(ReadFile(Path(u"outside/secret.txt"_s)), QByteArray("OUTSIDE secret\n"));
    }
};

QTEST_MAIN(TestUploadRace)
#include "tst_uploadrace.moc"

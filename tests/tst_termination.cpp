// Ending the explorer as the desktop does at logout: SIGTERM must end it as closing the window
// does, with its layout saved, not kill it on the spot.

#include "DemoLibrary.h"
#include "startup/TerminationSignals.h"
#include "TestSupport.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/types.h>

using namespace Qt::StringLiterals;

namespace {

// Whether the process has a handler of its own for the signal, from /proc/<pid>/status.
bool CatchesSignal(qint64 pid, int signal)
{
    QFile status(u"/proc/%1/status"_s.arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("SigCgt:"))
            return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (signal - 1)) & 1;
    }
    return false;
}

} // namespace

class TestTermination : public QObject
{
    Q_OBJECT

private slots:
    void signalsReachTheEventLoopAndAreGivenBack()
    {
        struct sigaction before = {};
        sigaction(SIGTERM, nullptr, &before);
        {
            CTerminationSignals handler;
            QVERIFY(handler.IsActive());
            QSignalSpy received(&handler, &CTerminationSignals::Received);
            // Two at once, as a desktop and a terminal may send them: both arrive, in order.
            ::raise(SIGTERM);
            ::raise(SIGHUP);
            QTRY_COMPARE(received.size(), 2);
            QCOMPARE(received.at(0).at(0).toInt(), SIGTERM);
            QCOMPARE(received.at(1).at(0).toInt(), SIGHUP);
            // Only one object owns the signals at a time; a second one stands aside.
            CTerminationSignals second;
            QVERIFY(!second.IsActive());
        }
        struct sigaction after = {};
        sigaction(SIGTERM, nullptr, &after);
        QCOMPARE(reinterpret_cast<void*>(after.sa_handler), reinterpret_cast<void*>(before.sa_handler));
    }

    void sigtermSavesTheLayout()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        TestSupport::UseSettingsFilesIn(dir.path());
        QString error, output;
        QTextStream out(&output);
        QVERIFY2(CreateDemoLibrary(dir.filePath(u"demo"_s), out, &error), qPrintable(error));
        const QString userSettings = dir.filePath(u"user.reg"_s);

        QProcess explorer;
        explorer.setProcessChannelMode(QProcess::ForwardedChannels);
        explorer.start(QStringLiteral(TROVEPORT_EXPLORER_PROGRAM), {});
        QVERIFY(explorer.waitForStarted());
        // Its window is up once it has taken the signals over.
        QTRY_VERIFY_WITH_TIMEOUT(CatchesSignal(explorer.processId(), SIGTERM) ||
                                     explorer.state() == QProcess::NotRunning,
                                 30000);
        QCOMPARE(explorer.state(), QProcess::Running);
        QVERIFY(!QFile::exists(userSettings) ||
                !TestSupport::ReadFile(userSettings).contains("Window Position"));
        ::kill(pid_t(explorer.processId()), SIGTERM);
        QVERIFY(explorer.waitForFinished(30000));
        QCOMPARE(explorer.exitStatus(), QProcess::NormalExit);
        QCOMPARE(explorer.exitCode(), 0);
        QVERIFY2(TestSupport::ReadFile(userSettings).contains("Window Position"),
                 "the layout was not saved");
    }
};

QTEST_GUILESS_MAIN(TestTermination)
#include "tst_termination.moc"

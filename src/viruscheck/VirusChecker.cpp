#include "viruscheck/VirusChecker.h"

#include "adding/LocalLocation.h"
#include "adding/PathUtils.h"
#include "startup/Globals.h"
#include "startup/Registry.h"
#include "startup/SafeFormat.h"

#include <QProcess>

#include <fcntl.h>
#include <unistd.h>

namespace {

struct CheckerRun
{
    bool reported = false;
    std::optional<quint32> exitCode;
};

// A descriptor the checker inherits, closed again in this process when the run is over.
struct InheritedFile
{
    int fd = -1;
    ~InheritedFile()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

CheckerRun RunChecker(int fd, const std::function<void()>& whileWaiting = {})
{
    CheckerRun run;
    const QString program = RegGetString(QStringLiteral("VirusChecker"), g_pszRegKey);
    quint32 virusCode = 0;
    if (program.isEmpty() || !RegReadDword(QStringLiteral("VirusExitCode"), &virusCode, g_pszRegKey))
        return run;
    // A number of the checker's own above its standard streams, close-on-exec here: only this
    // checker gets it, not a program another thread starts meanwhile.
    const InheritedFile file{::fcntl(fd, F_DUPFD_CLOEXEC, 3)};
    if (file.fd < 0)
        return run;
    QStringList arguments = QProcess::splitCommand(RegGetString(QStringLiteral("VirusCmdLine"), g_pszRegKey));
    arguments.append(QStringLiteral("/dev/fd/%1").arg(file.fd));

    QProcess checker;
    // A checker that asks a question must not wait for an answer that never comes, and one that
    // writes a lot must not stall on a full pipe while nobody reads it.
    checker.setStandardInputFile(QProcess::nullDevice());
    checker.setStandardOutputFile(QProcess::nullDevice());
    checker.setStandardErrorFile(QProcess::nullDevice());
    // Between fork and exec, in the checker: the descriptor is kept open across the exec.
    const int inherited = file.fd;
    checker.setChildProcessModifier([inherited] { ::fcntl(inherited, F_SETFD, 0); });
    checker.start(program, arguments);
    if (!checker.waitForStarted(-1))
        return run;
    // The window waits with it: a check cannot be cancelled, as the administrator was told. A
    // caller that shows progress gets the chance to repaint meanwhile.
    if (whileWaiting) {
        while (checker.state() != QProcess::NotRunning && !checker.waitForFinished(50))
            whileWaiting();
    } else {
        checker.waitForFinished(-1);
    }
    if (checker.state() != QProcess::NotRunning || checker.exitStatus() != QProcess::NormalExit)
        return run; // killed by a signal: no exit status to go by
    run.exitCode = quint32(checker.exitCode());
    run.reported = *run.exitCode == virusCode;
    return run;
}

} // namespace

bool RunVirusChecker(int fd, quint32* exitCode, const std::function<void()>& whileWaiting)
{
    const CheckerRun run = RunChecker(fd, whileWaiting);
    if (run.exitCode && exitCode)
        *exitCode = *run.exitCode;
    return run.reported;
}

VirusCheckResult CheckLocalCopies(const QStringList& locations)
{
    VirusCheckResult result;
    for (const QString& text : locations) {
        const std::optional<LocalLocation> location = ParseLocalLocation(text);
        if (!location)
            continue;
        // Every record with the id: a table may hold an id twice, and each is its own directory.
        for (quint32 i = 1; i < theFileAreaTable.GetRecordCount(); ++i) {
            const FileAreaRecord* area = theFileAreaTable.GetRecord(i);
            if (!area || double(area->AreaId()) != location->areaId)
                continue;
            CSafeFile copy = OpenInArea(area->Path(), location->relativePath);
            const FileFault::Kind fault = copy.Fault().kind;
            // A path that leaves the area or passes through a link is never handed to the checker.
            if (fault == FileFault::Kind::Link || fault == FileFault::Kind::BadName)
                continue;
            result.outcome = VirusCheckResult::Outcome::Passed;
            if (!copy.IsOpen())
                continue; // nothing the checker could read: not reported, as a checker that cannot run
            const CheckerRun run = RunChecker(copy.Fd());
            if (run.exitCode)
                result.exitCode = run.exitCode;
            if (run.reported) {
                result.outcome = VirusCheckResult::Outcome::Failed;
                result.failedPath = GetFullPathName(copy.Name());
                return result;
            }
        }
    }
    return result;
}

QString VirusCheckMessage(const VirusCheckResult& result)
{
    const qint64 code = result.exitCode ? qint64(*result.exitCode) : kNoVirusCheckerCode;
    switch (result.outcome) {
    case VirusCheckResult::Outcome::Failed:
        return SafeFormat(u"File %s failed virus checking!\n(Virus checker return code: %d)",
                          ElideStoredText(result.failedPath), code);
    case VirusCheckResult::Outcome::Passed:
        return SafeFormat(u"The selected file passed virus checking.\n(Virus checker return code: %d)", code);
    case VirusCheckResult::Outcome::NoLocalCopies:
        break;
    }
    return QStringLiteral("No local copies of the selected file were found.");
}

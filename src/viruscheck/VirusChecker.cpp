#include "viruscheck/VirusChecker.h"

#include "adding/download/LocalLocation.h"
#include "files/FaultMessage.h"
#include "files/PathUtils.h"
#include "files/SafeFormat.h"
#include "settings/Globals.h"
#include "settings/Registry.h"

#include <QDeadlineTimer>
#include <QProcess>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// How long a check may take when VirusTimeout does not say.
constexpr quint32 kDefaultTimeoutSeconds = 600;
// How often a running check looks whether it is to stop.
constexpr int kPollMs = 50;

VirusVerdict NotChecked(const QString& reason, std::optional<quint32> exitCode = std::nullopt)
{
    return {VirusVerdict::Kind::NotChecked, exitCode, reason};
}

VirusVerdict Cancelled()
{
    return NotChecked(QStringLiteral("the check was cancelled."));
}

// Stops the checker and whatever it started: a wrapper script's own checker too.
void StopChecker(QProcess& checker)
{
    if (const qint64 pid = checker.processId(); pid > 0)
        ::kill(-pid_t(pid), SIGKILL);
    checker.kill();
    checker.waitForFinished(-1);
}

} // namespace

VirusVerdict RunVirusChecker(int fd, const CheckCancelled& cancelled)
{
    const QString program = RegGetString(QStringLiteral("VirusChecker"), g_pszRegKey);
    if (program.isEmpty())
        return {VirusVerdict::Kind::NoChecker, std::nullopt,
                QStringLiteral("no virus checker is set up (VirusChecker).")};
    quint32 virusCode = 0;
    if (!RegReadDword(QStringLiteral("VirusExitCode"), &virusCode, g_pszRegKey))
        return NotChecked(QStringLiteral(
            "VirusExitCode is not set as a number, so no answer of the checker could be read."));
    quint32 timeout = kDefaultTimeoutSeconds;
    if (!RegReadDword(QStringLiteral("VirusTimeout"), &timeout, g_pszRegKey) || timeout == 0)
        timeout = kDefaultTimeoutSeconds;
    if (cancelled && cancelled())
        return Cancelled();
    // A number of the checker's own above its standard streams, close-on-exec here: only this
    // checker gets it, not a program another thread starts meanwhile.
    const CDescriptor file(::fcntl(fd, F_DUPFD_CLOEXEC, 3));
    if (file < 0)
        return NotChecked(SafeFormat(u"the file could not be handed to the checker: %s.",
                                     QString::fromLocal8Bit(std::strerror(errno))));
    QStringList arguments = QProcess::splitCommand(RegGetString(QStringLiteral("VirusCmdLine"), g_pszRegKey));
    arguments.append(QStringLiteral("/dev/fd/%1").arg(int(file)));

    QProcess checker;
    // A checker that asks a question must not wait for an answer that never comes, and one that
    // writes a lot must not stall on a full pipe while nobody reads it.
    checker.setStandardInputFile(QProcess::nullDevice());
    checker.setStandardOutputFile(QProcess::nullDevice());
    checker.setStandardErrorFile(QProcess::nullDevice());
    // Between fork and exec, in the checker: the descriptor is kept open across the exec, and the
    // checker leads a process group that can be stopped as a whole.
    const int inherited = file;
    checker.setChildProcessModifier([inherited] {
        ::fcntl(inherited, F_SETFD, 0);
        ::setpgid(0, 0);
    });
    checker.start(program, arguments);
    if (!checker.waitForStarted(-1))
        return NotChecked(SafeFormat(u"the checker %s could not be started (%s).", ElideStoredText(program),
                                     checker.errorString()));
    const QDeadlineTimer deadline(qint64(timeout) * 1000);
    while (checker.state() != QProcess::NotRunning && !checker.waitForFinished(kPollMs)) {
        if (cancelled && cancelled()) {
            StopChecker(checker);
            return Cancelled();
        }
        if (deadline.hasExpired()) {
            StopChecker(checker);
            return NotChecked(SafeFormat(
                u"the checker ran longer than the %u-second limit of VirusTimeout and was stopped.",
                timeout));
        }
    }
    if (checker.exitStatus() != QProcess::NormalExit) {
        // Qt gives the number of the signal that ended the checker as its exit code.
        const int signal = checker.exitCode();
        return NotChecked(SafeFormat(u"the checker was killed by signal %d (%s).", signal,
                                     QString::fromLocal8Bit(::strsignal(signal))));
    }
    const quint32 code = quint32(checker.exitCode());
    if (code == virusCode)
        return {VirusVerdict::Kind::Infected, code, QString()};
    if (code == 0)
        return {VirusVerdict::Kind::Clean, code, QString()};
    return NotChecked(SafeFormat(u"the checker ended with exit code %u, which means neither clean (0) nor "
                                 u"infected (VirusExitCode, %u).",
                                 code, virusCode),
                      code);
}

VirusCheckResult CheckLocalCopies(const QStringList& locations, const CheckCancelled& cancelled)
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
            const FileFault& fault = copy.Fault();
            // A path that leaves the area or passes through a link is never handed to the checker.
            if (fault.kind == FileFault::Kind::Link || fault.kind == FileFault::Kind::BadName)
                continue;
            result.outcome = VirusCheckResult::Outcome::Passed;
            result.path = GetFullPathName(copy.IsOpen() ? copy.Name() : fault.name);
            if (!copy.IsOpen()) {
                result.outcome = VirusCheckResult::Outcome::NotChecked;
                result.reason = SafeFormat(u"it could not be opened (%s).", ShownFaultMessage(fault));
                return result;
            }
            const VirusVerdict verdict = RunVirusChecker(copy.Fd(), cancelled);
            if (verdict.exitCode)
                result.exitCode = verdict.exitCode;
            if (verdict.kind == VirusVerdict::Kind::Clean)
                continue;
            result.outcome = verdict.kind == VirusVerdict::Kind::Infected
                                 ? VirusCheckResult::Outcome::Failed
                                 : VirusCheckResult::Outcome::NotChecked;
            result.reason = verdict.reason;
            return result;
        }
    }
    return result;
}

QString VirusNotCheckedMessage(const QString& path, const QString& reason)
{
    return SafeFormat(u"The virus check of %s could not be completed: %s", ElideStoredText(path), reason);
}

QString VirusCheckMessage(const VirusCheckResult& result)
{
    const quint32 code = result.exitCode.value_or(0);
    switch (result.outcome) {
    case VirusCheckResult::Outcome::Failed:
        return SafeFormat(u"File %s failed virus checking!\n(Virus checker return code: %u)",
                          ElideStoredText(result.path), code);
    case VirusCheckResult::Outcome::NotChecked:
        return VirusNotCheckedMessage(result.path, result.reason);
    case VirusCheckResult::Outcome::Passed:
        return SafeFormat(u"The selected file passed virus checking.\n(Virus checker return code: %u)", code);
    case VirusCheckResult::Outcome::NoLocalCopies:
        break;
    }
    return QStringLiteral("No local copies of the selected file were found.");
}

#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// Runs the virus checker configured in the machine settings on one open file and waits for it to
// end, however long it takes. The program is VirusChecker; its arguments are VirusCmdLine split
// into words as a shell splits them (double quotes group), then "/dev/fd/<n>" as one argument: the
// checker inherits a descriptor of the very file the caller opened and reads that, so a name
// exchanged meanwhile cannot put another file in its place. It runs in the caller's environment and
// current directory, reads nothing on its standard input and its output is discarded.
//
// True only when the checker ran to its end and its exit status equals VirusExitCode. False
// without starting anything when VirusChecker is empty or VirusExitCode is not a number; false
// too when the program cannot be started or is killed by a signal. *exitCode is written only when
// the checker ended with an exit status. whileWaiting, when given, is called every 50 ms while the
// checker runs.
bool RunVirusChecker(int fd, quint32* exitCode, const std::function<void()>& whileWaiting = {});

// What checking the local copies of one file found.
struct VirusCheckResult
{
    enum class Outcome
    {
        NoLocalCopies, // no location named a file kept in a known area
        Passed,        // every copy was checked and none was reported
        Failed,        // the copy at failedPath was reported; later copies were not checked
    };
    Outcome outcome = Outcome::NoLocalCopies;
    QString failedPath;
    // The exit status of the last run that gave one (for Failed, the reporting run's).
    std::optional<quint32> exitCode;
};

// Checks the local copies that a file's download locations name, in order: each well-formed local
// location in every area record with its id, skipping remote and malformed locations and paths
// that leave their area's directory or pass through a symbolic link. Each copy is opened in its
// area without following links and handed to the checker open. A copy that cannot be opened (it is
// missing, or no regular file) counts as one the checker did not report, as when the checker cannot
// run. Stops at the first copy reported.
VirusCheckResult CheckLocalCopies(const QStringList& locations);

// The message that tells the user the result.
QString VirusCheckMessage(const VirusCheckResult& result);

// The number the passed message shows when no checker run gave an exit status (the checker could
// not be started, was killed, or VirusExitCode is not set): no exit status can be negative.
constexpr int kNoVirusCheckerCode = -1;

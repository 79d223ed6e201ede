#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// What one run of the virus checker said about one file. Exit status 0 is clean and VirusExitCode
// infected (VirusExitCode decides when both are 0); anything else means the file was not checked.
struct VirusVerdict
{
    enum class Kind
    {
        NoChecker, // VirusChecker is not set: nothing was run, as the administrator chose
        Clean,
        Infected,
        NotChecked, // the check was tried and did not come to a verdict: reason says why
    };
    Kind kind = Kind::NotChecked;
    std::optional<quint32> exitCode; // when the checker ended with an exit status
    QString reason;                  // for NoChecker and NotChecked: a sentence, for messages
};

// Asked while the checker runs: true stops it, and the file counts as not checked.
using CheckCancelled = std::function<bool()>;

// Runs the virus checker configured in the machine settings on one open file and waits for it to
// end, at most VirusTimeout seconds (600 when it is absent or 0). The program is VirusChecker; its
// arguments are VirusCmdLine split into words as a shell splits them (double quotes group), then
// "/dev/fd/<n>" as one argument: the checker inherits a descriptor of the very file the caller
// opened and reads that, so a name exchanged meanwhile cannot put another file in its place. It runs
// in the caller's environment and current directory, in a process group of its own (so that
// stopping it stops whatever it started), reads nothing on its standard input and its output is
// discarded. Nothing is started when VirusChecker is empty or VirusExitCode is not a number. Meant
// for a worker thread: it returns only when the checker has ended.
VirusVerdict RunVirusChecker(int fd, const CheckCancelled& cancelled = {});

// What checking the local copies of one file found.
struct VirusCheckResult
{
    enum class Outcome
    {
        NoLocalCopies, // no location named a file kept in a known area
        Passed,        // every copy was checked and found clean
        Failed,        // the copy at path was reported infected; later copies were not checked
        NotChecked,    // the copy at path could not be checked (reason); later copies were not checked
    };
    Outcome outcome = Outcome::NoLocalCopies;
    QString path;
    QString reason;
    // The exit status of the last run that gave one (for Failed, the reporting run's).
    std::optional<quint32> exitCode;
};

// Checks the local copies that a file's download locations name, in order: each well-formed local
// location in every area record with its id, skipping remote and malformed locations and paths
// that leave their area's directory or pass through a symbolic link. Each copy is opened in its
// area without following links and handed to the checker open; one that cannot be opened (it is
// missing, or no regular file) could not be checked. Stops at the first copy that is not clean.
VirusCheckResult CheckLocalCopies(const QStringList& locations, const CheckCancelled& cancelled = {});

// "The virus check of <path> could not be completed: <reason>"
QString VirusNotCheckedMessage(const QString& path, const QString& reason);

// The message that tells the user the result.
QString VirusCheckMessage(const VirusCheckResult& result);

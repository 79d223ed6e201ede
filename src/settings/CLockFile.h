#pragma once

#include "files/SafeFiles.h"

#include <QByteArray>
#include <QString>

#include <chrono>

// An exclusive flock on a lock file beside a file that is replaced by rename ("<file>.lock"), so
// that every writer, in this process or another program, locks the same inode. The lock file is
// opened for writing, which network file systems need for a write lock, is created when missing and
// never deleted. The wait is bounded: a stuck holder cannot hang the program.
class CLockFile
{
public:
    static constexpr std::chrono::milliseconds kDefaultWait{2000};

    // Locks "<file>.lock", a path of the administrator's own (the settings files).
    explicit CLockFile(const QString& file, std::chrono::milliseconds wait = kDefaultWait);
    // Locks "<name>.lock" in a directory the web site can write: a link or anything but a regular
    // file in its place is refused, and nothing is created through a link.
    CLockFile(const CSafeDirectory& directory, const QByteArray& name,
              std::chrono::milliseconds wait = kDefaultWait);
    ~CLockFile();
    CLockFile(const CLockFile&) = delete;
    CLockFile& operator=(const CLockFile&) = delete;

    bool IsLocked() const { return m_fd >= 0; }
    // Why the lock was not taken (an errno value; EWOULDBLOCK after the wait).
    int Error() const { return m_error; }
    // The same, naming the lock file; Kind::Link for a link in its place.
    const FileFault& Fault() const { return m_fault; }

private:
    // Takes the lock on the open lock file, waiting at most wait.
    void Lock(std::chrono::milliseconds wait);
    void Fail(FileFault fault);

    int m_fd = -1;
    int m_error = 0;
    FileFault m_fault;
};

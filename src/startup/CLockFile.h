#pragma once

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

    // Locks "<file>.lock".
    explicit CLockFile(const QString& file, std::chrono::milliseconds wait = kDefaultWait);
    ~CLockFile();
    CLockFile(const CLockFile&) = delete;
    CLockFile& operator=(const CLockFile&) = delete;

    bool IsLocked() const { return m_fd >= 0; }
    // Why the lock was not taken (an errno value; EWOULDBLOCK after the wait).
    int Error() const { return m_error; }

private:
    int m_fd = -1;
    int m_error = 0;
};

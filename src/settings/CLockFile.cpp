#include "settings/CLockFile.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

CLockFile::CLockFile(const QString& file, std::chrono::milliseconds wait)
{
    m_fault.name = file + QStringLiteral(".lock");
    m_fd =
        ::open(QFile::encodeName(m_fault.name).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
    if (m_fd < 0)
        Fail({FileFault::Kind::System, errno, m_fault.name});
    else
        Lock(wait);
}

CLockFile::CLockFile(const CSafeDirectory& directory, const QByteArray& name, std::chrono::milliseconds wait)
{
    const QByteArray lockName = name + ".lock";
    m_fault.name = directory.PathOf(lockName);
    if (!directory.IsOpen()) {
        Fail(directory.Fault());
        return;
    }
    if (!CSafeDirectory::IsPlainName(name)) {
        Fail({FileFault::Kind::BadName, 0, m_fault.name});
        return;
    }
    // Not blocking: a FIFO put in its place fails the check below instead of hanging the open.
    m_fd = ::openat(directory.Fd(), lockName.constData(),
                    O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0666);
    if (m_fd < 0) {
        const int error = errno;
        const auto entry = directory.StatEntry(lockName);
        const bool link = entry && S_ISLNK(entry->st_mode);
        Fail({link ? FileFault::Kind::Link : FileFault::Kind::System, error, m_fault.name});
        return;
    }
    struct stat st;
    if (::fstat(m_fd, &st) != 0)
        Fail({FileFault::Kind::System, errno, m_fault.name});
    else if (!S_ISREG(st.st_mode))
        Fail({FileFault::Kind::NotRegular, 0, m_fault.name});
    else
        Lock(wait);
}

CLockFile::~CLockFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void CLockFile::Fail(FileFault fault)
{
    m_error = fault.error ? fault.error : fault.kind == FileFault::Kind::Link ? ELOOP : EINVAL;
    m_fault = std::move(fault);
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

void CLockFile::Lock(std::chrono::milliseconds wait)
{
    const auto deadline = std::chrono::steady_clock::now() + wait;
    auto pause = std::chrono::milliseconds(1);
    while (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        const auto now = std::chrono::steady_clock::now();
        if ((errno != EWOULDBLOCK && errno != EAGAIN) || now >= deadline) {
            Fail({FileFault::Kind::System, errno, m_fault.name});
            return;
        }
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(pause, deadline - now));
        pause = std::min(pause * 2, std::chrono::milliseconds(10));
    }
}

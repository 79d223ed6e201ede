#include "startup/CLockFile.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

CLockFile::CLockFile(const QString& file, std::chrono::milliseconds wait)
{
    m_fd = ::open(QFile::encodeName(file + QStringLiteral(".lock")).constData(),
                  O_RDWR | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
    if (m_fd < 0) {
        m_error = errno;
        return;
    }
    const auto deadline = std::chrono::steady_clock::now() + wait;
    auto pause = std::chrono::milliseconds(1);
    while (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        const auto now = std::chrono::steady_clock::now();
        if ((errno != EWOULDBLOCK && errno != EAGAIN) || now >= deadline) {
            m_error = errno;
            ::close(m_fd);
            m_fd = -1;
            return;
        }
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(pause, deadline - now));
        pause = std::min(pause * 2, std::chrono::milliseconds(10));
    }
}

CLockFile::~CLockFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

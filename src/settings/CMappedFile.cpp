#include "settings/CMappedFile.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

CMappedFile::CMappedFile(quint32 recordSize, bool writable, bool createMissing)
    : m_recordSize(recordSize ? recordSize : 1), m_writable(writable), m_createMissing(createMissing)
{
}

CMappedFile::~CMappedFile()
{
    Close();
}

void CMappedFile::Close()
{
    if (m_fd >= 0)
        Closing();
    if (m_view) {
        ::munmap(m_view, m_mappedSize);
        m_view = nullptr;
        m_mappedSize = 0;
    }
    if (m_fd >= 0) {
        ::close(m_fd); // also releases the flock
        m_fd = -1;
    }
    m_recordCount = 0;
}

namespace {

bool GrowWithZeros(int fd, quint64 wantedSize)
{
    static const char zeros[4096] = {};
    for (;;) {
        const off_t end = ::lseek(fd, 0, SEEK_END);
        if (end < 0)
            return false;
        if (quint64(end) >= wantedSize)
            return true;
        const size_t chunk = size_t(std::min<quint64>(wantedSize - quint64(end), sizeof zeros));
        const ssize_t written = ::write(fd, zeros, chunk);
        if (written <= 0 && errno != EINTR)
            return false; // a read-only descriptor or a full disk: give up rather than retry forever
    }
}

} // namespace

bool CMappedFile::Open(const QString& fileName, quint32 minimumRecordCount)
{
    Close();
    // Non-blocking, so that a FIFO in the way fails the check below instead of hanging the open.
    const int flags = (m_writable ? O_RDWR : O_RDONLY) | (m_createMissing ? O_CREAT : 0) | O_CLOEXEC | O_NONBLOCK;
    const int fd = ::open(QFile::encodeName(fileName).constData(), flags, 0666);
    if (fd < 0)
        return false;
    struct stat st;
    if (::flock(fd, (m_writable ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0 || ::fstat(fd, &st) != 0 ||
        !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }

    quint64 size = quint64(st.st_size);
    if (quint64(minimumRecordCount) * m_recordSize > size) {
        size = quint64(minimumRecordCount) * m_recordSize;
        if (!GrowWithZeros(fd, size)) {
            ::close(fd);
            return false;
        }
    }
    m_fd = fd;
    m_recordCount = quint32(std::min<quint64>(size / m_recordSize, std::numeric_limits<quint32>::max()));
    if (size == 0) {
        Opened(); // open, but an empty file has nothing to map
        return true;
    }

    void* view =
        ::mmap(nullptr, size_t(size), m_writable ? PROT_READ | PROT_WRITE : PROT_READ, MAP_SHARED, fd, 0);
    if (view == MAP_FAILED) {
        Close();
        return false;
    }
    m_view = static_cast<uchar*>(view);
    m_mappedSize = size_t(size);
    Opened();
    return true;
}

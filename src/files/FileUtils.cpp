#include "files/FileUtils.h"

#include <QDateTime>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// An open descriptor of an existing regular file that no other program holds for writing.
class CReadableFile
{
public:
    explicit CReadableFile(const QString& path)
    {
        // Non-blocking, so that a FIFO fails the regular-file check instead of hanging the open.
        m_fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        struct stat st;
        if (m_fd >= 0 &&
            (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode) || ::flock(m_fd, LOCK_SH | LOCK_NB) != 0)) {
            ::close(m_fd);
            m_fd = -1;
        }
        if (m_fd >= 0)
            m_size = st.st_size;
    }
    ~CReadableFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    CReadableFile(const CReadableFile&) = delete;
    CReadableFile& operator=(const CReadableFile&) = delete;

    int fd() const { return m_fd; }
    qint64 size() const { return m_size; }

private:
    int m_fd = -1;
    qint64 m_size = 0;
};

} // namespace

QByteArray ReadTextFile(const QString& path, qint64 maxBytes)
{
    CReadableFile file(path);
    if (file.fd() < 0)
        return QByteArray();
    const qint64 limit = qBound<qint64>(0, maxBytes, kMaxTextFileSize);
    QByteArray data(qsizetype(qMin(file.size(), limit)), Qt::Uninitialized);
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::read(file.fd(), data.data() + done, size_t(data.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break; // the file shrank meanwhile: keep what was there
        done += n;
    }
    data.truncate(done);
    const qsizetype nul = data.indexOf('\0');
    if (nul >= 0)
        data.truncate(nul);
    return data;
}

quint32 GetFileSizeByName(const QString& path)
{
    CReadableFile file(path);
    return file.fd() < 0 ? 0 : quint32(quint64(file.size()) & 0xFFFFFFFFu);
}

quint64 GetLocalFileTime()
{
    // Seconds between 1601-01-01 and 1970-01-01.
    constexpr qint64 kEpochDifference = 11644473600LL;
    const QDateTime now = QDateTime::currentDateTime();
    const qint64 localMsecs = now.toMSecsSinceEpoch() + qint64(now.offsetFromUtc()) * 1000;
    return quint64((localMsecs + kEpochDifference * 1000) * 10000);
}

#include "adding/FileUtils.h"

#include <QDateTime>
#include <QFile>

#include <cerrno>
#include <cstdlib>
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

// Copies everything from one descriptor to another: in the kernel where the file system allows it,
// else through a buffer.
bool CopyContents(int in, int out)
{
    for (;;) {
        const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, size_t(1) << 30, 0);
        if (n == 0)
            return true;
        if (n > 0)
            continue;
        if (errno == EINTR)
            continue;
        if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
            return false;
        break; // not offered here: copy the rest by hand
    }
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n == 0;
        for (ssize_t done = 0; done < n;) {
            const ssize_t written = ::write(out, buffer + done, size_t(n - done));
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                return false;
            done += written;
        }
    }
}

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

bool CopyFileIntoDirectory(const QString& source, const QString& directory, const QString& name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") ||
        name.contains(QLatin1Char('/')) || name.contains(QChar(0)) || directory.isEmpty() ||
        source.contains(QChar(0)) || directory.contains(QChar(0)))
        return false;

    // Non-blocking, so that a FIFO is refused by the regular-file check instead of hanging the open.
    const int in = ::open(QFile::encodeName(source).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (in < 0)
        return false;
    struct stat st;
    if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(in);
        return false;
    }

    QString target = directory;
    if (!target.endsWith(QLatin1Char('/')))
        target += QLatin1Char('/');
    // A short fixed pattern: the file's own name could be too long to carry a suffix.
    QByteArray temporary = QFile::encodeName(target) + ".troveport-copy-XXXXXX";
    const int out = ::mkostemp(temporary.data(), O_CLOEXEC);
    bool ok = out >= 0 && CopyContents(in, out);
    ::close(in);
    if (ok) {
        const struct timespec times[2] = {st.st_atim, st.st_mtim};
        // The area's directory is served to visitors: the copy is as readable as its source was.
        // No fsync: the rename below already keeps a crashed program from leaving half a file under
        // the real name, and a sync per file made importing a directory several times slower.
        ok = ::fchmod(out, st.st_mode & 07777 & ~mode_t(S_ISUID | S_ISGID)) == 0 &&
             ::futimens(out, times) == 0;
    }
    if (out >= 0)
        ok = ::close(out) == 0 && ok;
    // Only a complete copy takes the real name.
    if (ok)
        ok = ::rename(temporary.constData(), QFile::encodeName(target + name).constData()) == 0;
    if (!ok && out >= 0) {
        const int error = errno; // the caller reports why the copy failed, not the clean-up
        ::unlink(temporary.constData());
        errno = error;
    }
    return ok;
}

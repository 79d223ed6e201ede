#include "CLibraryLock.h"

#include "files/PathUtils.h"
#include "files/SafeFormat.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

CLibraryLock::~CLibraryLock()
{
    Release();
}

QString CLibraryLock::LockFileName(const QString& databaseDirectory)
{
    return MakePath(databaseDirectory, QStringLiteral("Filearea.lock"));
}

bool CLibraryLock::Acquire(const QString& databaseDirectory, QString* error)
{
    Release();
    const QString name = LockFileName(databaseDirectory);
    const QByteArray path = QFile::encodeName(name);
    // Non-blocking, so that a FIFO in the way is refused below instead of hanging the open. A lock
    // file made by another user may be read-only to us; a shared descriptor locks just as well.
    int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd < 0 && (errno == EACCES || errno == EROFS))
        fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        *error = QStringLiteral("Cannot open the lock file %1: %2.")
                     .arg(name, QString::fromLocal8Bit(std::strerror(fd < 0 ? errno : EINVAL)));
        if (fd >= 0)
            ::close(fd);
        return false;
    }

    // Polled rather than blocking, so that the wait has an end: a run that never finishes must not
    // hold up every later one without a word.
    const QDeadlineTimer deadline(kWaitSeconds * 1000);
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            *error =
                QStringLiteral("Cannot lock %1: %2.").arg(name, QString::fromLocal8Bit(std::strerror(errno)));
            ::close(fd);
            return false;
        }
        if (deadline.hasExpired()) {
            *error = SafeFormat(u"Another troveport-setup has been changing the library in %s for over %s "
                                u"seconds. Try again when it has finished.",
                                databaseDirectory, kWaitSeconds);
            ::close(fd);
            return false;
        }
        QThread::msleep(10);
    }
    m_fd = fd;
    return true;
}

void CLibraryLock::Release()
{
    if (m_fd >= 0) {
        ::close(m_fd); // also releases the flock
        m_fd = -1;
    }
}

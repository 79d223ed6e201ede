#include "adding/CWorkDirectory.h"

#include "adding/PathUtils.h"

#include <QDir>
#include <QFile>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Numbers the work directories of this process: 1, 2, 3, ...
std::atomic<long> g_workDirectoryCounter{1};

// A name that no other file had when it was made: the file mkstemp creates is deleted again and its
// name, with a counter appended, names the directory.
QString UniqueStem(const QString& base)
{
    QByteArray pattern = QFile::encodeName(MakePath(base, QStringLiteral("WKDXXXXXX")));
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0)
        return QString();
    ::close(fd);
    ::unlink(pattern.constData());
    return QFile::decodeName(pattern);
}

} // namespace

CWorkDirectory::CWorkDirectory(const QString& baseDirectory)
{
    QString base = baseDirectory.isEmpty() ? QDir::tempPath() : baseDirectory;
    if (base.isEmpty())
        base = QDir::currentPath();
    const QString stem = UniqueStem(base);
    if (stem.isEmpty())
        return;
    for (;;) {
        const QString candidate = stem + QStringLiteral(".%1").arg(g_workDirectoryCounter++);
        if (candidate.toUtf8().size() >= kMaxPathBuffer)
            return;
        if (::mkdir(QFile::encodeName(candidate).constData(), 0700) == 0) {
            m_path = candidate;
            m_valid = true;
            m_removeOnDestruction = true;
            return;
        }
        if (errno != EEXIST)
            return; // a leftover of that name is skipped; anything else is a real failure
    }
}

namespace {

// A directory itself, not a symbolic link to one: removing "through" a link would empty its target.
bool IsRealDirectory(const QString& path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode) && IsDirectory(path);
}

} // namespace

CWorkDirectory::CWorkDirectory(const QString& path, bool removeOnDestruction, bool create)
    : m_path(path), m_removeOnDestruction(removeOnDestruction)
{
    // An empty path would mean the current directory, which is never scratch space; a path too
    // long for its buffer is refused rather than cut, which would name another directory.
    if (m_path.isEmpty() || m_path.toUtf8().size() >= kMaxPathBuffer)
        return;
    m_valid = IsRealDirectory(m_path);
    if (!m_valid && create)
        m_valid = ::mkdir(QFile::encodeName(m_path).constData(), 0700) == 0;
}

CWorkDirectory::~CWorkDirectory()
{
    // removeRecursively does not follow symbolic links inside; the directory itself is checked
    // again, in case it was replaced by a link meanwhile.
    if (m_valid && m_removeOnDestruction && IsRealDirectory(m_path))
        QDir(m_path).removeRecursively();
}

bool CWorkDirectory::DeleteEntry(const QString& name) const
{
    if (!m_valid || name.isEmpty() || name.contains(QLatin1Char('/')) || name == QLatin1String(".") ||
        name == QLatin1String(".."))
        return false;
    return ::unlink(QFile::encodeName(MakePath(m_path, name)).constData()) == 0;
}

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

CWorkDirectory::CWorkDirectory(const QString& path, bool removeOnDestruction, bool create)
    : m_path(SafeStrCopy(path, kMaxPathBuffer)), m_removeOnDestruction(removeOnDestruction)
{
    // An empty path would mean the current directory, which is never scratch space.
    if (m_path.isEmpty())
        return;
    m_valid = IsDirectory(m_path);
    if (!m_valid && create)
        m_valid = ::mkdir(QFile::encodeName(m_path).constData(), 0777) == 0;
}

CWorkDirectory::~CWorkDirectory()
{
    // removeRecursively does not follow symbolic links, so nothing outside the directory is touched.
    if (m_valid && m_removeOnDestruction)
        QDir(m_path).removeRecursively();
}

bool CWorkDirectory::DeleteEntry(const QString& name) const
{
    if (!m_valid || name.isEmpty() || name.contains(QLatin1Char('/')) || name == QLatin1String(".") ||
        name == QLatin1String(".."))
        return false;
    return ::unlink(QFile::encodeName(MakePath(m_path, name)).constData()) == 0;
}

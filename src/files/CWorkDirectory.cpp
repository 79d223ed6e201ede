#include "files/CWorkDirectory.h"

#include "files/PathUtils.h"

#include <QDir>
#include <QFile>

#include <atomic>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Numbers the work directories of this process: 1, 2, 3, ...
std::atomic<long> g_workDirectoryCounter{1};

} // namespace

CWorkDirectory::CWorkDirectory(const QString& baseDirectory)
{
    QString base = baseDirectory.isEmpty() ? QDir::tempPath() : baseDirectory;
    if (base.isEmpty())
        base = QDir::currentPath();
    // "WKD<number>." and six random characters: mkdtemp makes a name nobody has, private to this
    // user, in one step, so nobody can put a directory or a link of that name there first.
    const QString pattern = MakePath(base, QStringLiteral("WKD%1.XXXXXX").arg(g_workDirectoryCounter++));
    QByteArray native = QFile::encodeName(pattern);
    if (native.size() >= kMaxPathBuffer || !::mkdtemp(native.data()))
        return;
    m_path = QFile::decodeName(native);
    m_valid = true;
    m_removeOnDestruction = true;
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

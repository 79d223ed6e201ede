#include "files/CTempDirectory.h"

#include "files/PathUtils.h"

#include <QDir>
#include <QFile>

#include <cstdlib>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

CTempDirectory::CTempDirectory(const QString& prefix)
{
    const QString base = QDir::tempPath();
    if (base.isEmpty())
        return;
    // mkdtemp picks a name nobody has and makes it private (0700) in one step: a name chosen in
    // advance could be taken by another user of the machine first.
    QByteArray pattern = QFile::encodeName(MakePath(base, prefix + QStringLiteral("XXXXXX")));
    if (::mkdtemp(pattern.data()))
        m_path = QFile::decodeName(pattern);
}

CTempDirectory::~CTempDirectory()
{
    if (!m_path.isEmpty())
        RemoveDirectoryTree(m_path, true);
}

bool RemoveDirectoryTree(const QString& path, bool descend)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat st;
    if (path.isEmpty() || ::lstat(native.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;

    if (DIR* dir = ::opendir(native.constData())) {
        // Names are gathered first: removing entries while reading the directory may skip some.
        QList<QByteArray> files;
        QList<QByteArray> subdirectories;
        while (const dirent* entry = ::readdir(dir)) {
            const QByteArray name(entry->d_name);
            if (name == "." || name == "..")
                continue;
            const QByteArray entryPath = native + '/' + name;
            struct stat entryStat;
            if (::lstat(entryPath.constData(), &entryStat) != 0)
                continue;
            if (S_ISDIR(entryStat.st_mode))
                subdirectories.append(entryPath);
            else
                files.append(entryPath); // a symbolic link, even to a directory, goes as a file
        }
        ::closedir(dir);
        for (const QByteArray& file : std::as_const(files))
            ::unlink(file.constData());
        if (descend) {
            for (const QByteArray& subdirectory : std::as_const(subdirectories))
                RemoveDirectoryTree(QFile::decodeName(subdirectory), true);
        }
    }
    return ::rmdir(native.constData()) == 0;
}

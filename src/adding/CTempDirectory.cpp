#include "adding/CTempDirectory.h"

#include "adding/PathUtils.h"

#include <QDir>
#include <QFile>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// So many names are tried before giving up: "<prefix>0" to "<prefix>98".
constexpr int kTempDirectoryNames = 99;

} // namespace

CTempDirectory::CTempDirectory(const QString& prefix)
{
    QString base = QDir::tempPath();
    if (base.isEmpty())
        return;
    AddTrailingBackslash(base);
    for (int number = 0; number < kTempDirectoryNames; ++number) {
        const QString candidate = base + prefix + QString::number(number);
        // Private to this user: archives may hold anything, and nobody else needs to see it.
        if (::mkdir(QFile::encodeName(candidate).constData(), 0700) == 0) {
            m_path = candidate;
            return;
        }
    }
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

#include "files/PathUtils.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

QString SafeStrCopy(QStringView source, int bufferSize)
{
    if (bufferSize <= 0)
        return QString();
    QByteArray bytes = source.toUtf8();
    const qsizetype limit = bufferSize - 1;
    if (bytes.size() <= limit)
        return source.toString();
    qsizetype cut = limit;
    // Step back over continuation bytes so that no character is cut in half.
    while (cut > 0 && (uchar(bytes[cut]) & 0xC0) == 0x80)
        --cut;
    return QString::fromUtf8(bytes.constData(), cut);
}

void AddTrailingBackslash(QString& path)
{
    if (!path.isEmpty() && !path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
}

QString CopyWithTrailingBackslash(const QString& source)
{
    QString copy = source;
    AddTrailingBackslash(copy);
    return copy;
}

void EnsureTrailingBackslash(QString& path)
{
    AddTrailingBackslash(path);
}

void RemoveTrailingSlash(QString& path)
{
    if (path.endsWith(QLatin1Char('/')))
        path.chop(1);
}

qsizetype FindExtension(QStringView path)
{
    for (qsizetype i = path.size() - 1; i >= 0; --i) {
        if (path[i] == QLatin1Char('.'))
            return i;
        if (path[i] == QLatin1Char('/'))
            return -1;
    }
    return -1;
}

QString StripExtension(const QString& path)
{
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? path : path.left(dot);
}

QString GetFullPathName(const QString& path)
{
    if (path.isEmpty())
        return QString();
    const QString absolute =
        path.startsWith(QLatin1Char('/')) ? path : QDir::currentPath() + QLatin1Char('/') + path;
    QString full = QDir::cleanPath(absolute);
    if (path.endsWith(QLatin1Char('/')))
        AddTrailingBackslash(full);
    return full;
}

namespace {

// The position after the last "/" when the path is already a full path, else -1. A path with a
// "." or ".." in it is not: "/srv/files/../../etc/passwd" holds its full path "/etc/passwd", but
// its parts must never be taken for a place inside "/srv/files".
qsizetype NameStartOfFullPath(const QString& path)
{
    const QString full = GetFullPathName(path);
    if (full.isEmpty() || !path.contains(full))
        return -1;
    for (const QStringView part : QStringView(path).split(QLatin1Char('/'))) {
        if (part == QLatin1String(".") || part == QLatin1String(".."))
            return -1;
    }
    return path.lastIndexOf(QLatin1Char('/')) + 1;
}

} // namespace

QString GetFileNamePart(const QString& path)
{
    const qsizetype start = NameStartOfFullPath(path);
    return start < 0 ? QString() : path.mid(start);
}

QString GetDirectoryPart(const QString& path)
{
    const qsizetype start = NameStartOfFullPath(path);
    return start < 0 ? QString() : path.left(start);
}

QString MakePath(const QString& directory, const QString& name, const QString& extension)
{
    QString result = directory;
    AddTrailingBackslash(result);
    result += name.startsWith(QLatin1Char('/')) ? name.mid(1) : name;
    if (!extension.isEmpty()) {
        if (!extension.startsWith(QLatin1Char('.')))
            result += QLatin1Char('.');
        result += extension;
    }
    return SafeStrCopy(result, kMaxMakePathBuffer);
}

bool IsDirectory(const QString& path)
{
    if (path.isEmpty())
        return true;
    const QByteArray native = QFile::encodeName(path);
    struct stat st;
    if (::stat(native.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    // Entering a directory needs search permission; ask without changing the current directory.
    return ::faccessat(AT_FDCWD, native.constData(), X_OK, AT_EACCESS) == 0;
}

bool FileExists(const QString& path)
{
    if (path.isEmpty())
        return false;
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && !IsDirectory(path);
}

QString TrimString(QString& text)
{
    text = text.trimmed();
    return text;
}

QString CopyTrimRight(const QString& source)
{
    qsizetype end = source.size();
    while (end > 0 && source[end - 1] == QLatin1Char(' '))
        --end;
    return source.left(end);
}

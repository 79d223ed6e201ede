#include "files/SafeFiles.h"

#include "files/TemporaryName.h"

#include "files/SafeFormat.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Reading never blocks: a FIFO or a device put in a file's place fails the fstat check instead of
// hanging the open. Links are never followed.
constexpr int kOpenFlags = O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY;

int RetryClose(int fd)
{
    // Linux closes the descriptor even when close is interrupted: never close it twice.
    const int result = ::close(fd);
    return result == 0 || errno == EINTR ? 0 : -1;
}

} // namespace

QString FileFault::Message() const
{
    switch (kind) {
    case Kind::None:
        return QString();
    case Kind::Link:
        return SafeFormat(u"%s is a symbolic link. Troveport Explorer does not follow links in "
                          u"directories the web site can write, and left it alone.",
                          name);
    case Kind::NotRegular:
        return SafeFormat(u"%s is not a regular file.", name);
    case Kind::BadName:
        return SafeFormat(u"%s is not a valid file name.", name);
    case Kind::System:
        break;
    }
    return SafeFormat(u"%s: %s", name, QString::fromLocal8Bit(std::strerror(error)));
}

// ---- CSafeDirectory ----

void CDescriptor::Reset(int fd)
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = fd;
}

CSafeDirectory::CSafeDirectory(int fd, QString path) : m_fd(fd), m_path(std::move(path)) {}

CSafeDirectory CSafeDirectory::Open(const QString& path)
{
    CSafeDirectory directory;
    directory.m_path = path;
    if (path.isEmpty() || path.contains(QChar(0))) {
        directory.m_fault = {FileFault::Kind::BadName, 0, path};
        return directory;
    }
    directory.m_fd.Reset(::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.m_fd < 0)
        directory.m_fault = {FileFault::Kind::System, errno, path};
    return directory;
}

QString CSafeDirectory::PathOf(const QByteArray& name) const
{
    QString path = m_path;
    if (!path.isEmpty() && !path.endsWith(u'/'))
        path += u'/';
    return path + QFile::decodeName(name);
}

QByteArray CSafeDirectory::NameBytes(QStringView name)
{
    const QByteArray bytes = QFile::encodeName(name.toString());
    return IsPlainName(bytes) ? bytes : QByteArray();
}

bool CSafeDirectory::IsPlainName(const QByteArray& name)
{
    return !name.isEmpty() && name != "." && name != ".." && !name.contains('/') && !name.contains('\0');
}

FileFault CSafeDirectory::FaultFor(const QByteArray& name, int error) const
{
    FileFault fault{FileFault::Kind::System, error, PathOf(name)};
    if (!IsPlainName(name)) {
        fault.kind = FileFault::Kind::BadName;
        return fault;
    }
    // O_NOFOLLOW says ELOOP for a final link (ENOTDIR with O_DIRECTORY on some systems), and a FIFO
    // opened for writing without a reader says ENXIO: ask what the entry really is.
    if (error != ENOENT && error != 0) {
        struct stat st;
        if (::fstatat(m_fd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
            if (S_ISLNK(st.st_mode))
                fault.kind = FileFault::Kind::Link;
            else if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode))
                fault.kind = FileFault::Kind::NotRegular;
        }
    }
    return fault;
}

CSafeDirectory CSafeDirectory::Descend(QStringView relative) const
{
    return Walk(relative, false, 0);
}

CSafeDirectory CSafeDirectory::DescendToParent(QStringView relative, QByteArray* leaf) const
{
    const qsizetype slash = relative.lastIndexOf(u'/');
    const QByteArray name = QFile::encodeName(relative.mid(slash + 1).toString());
    if (leaf)
        *leaf = name;
    CSafeDirectory parent;
    if (slash < 0) {
        // The file lies directly in this directory: a second descriptor of it.
        parent.m_path = m_path;
        parent.m_fault = m_fault;
        if (m_fd >= 0) {
            parent.m_fd.Reset(::fcntl(m_fd, F_DUPFD_CLOEXEC, 0));
            if (parent.m_fd < 0)
                parent.m_fault = {FileFault::Kind::System, errno, m_path};
        }
    } else {
        parent = Descend(relative.left(slash));
    }
    if (parent.IsOpen() && !IsPlainName(name)) {
        parent.m_fault = {FileFault::Kind::BadName, 0, parent.PathOf(name)};
        parent.m_fd.Reset();
    }
    return parent;
}

CSafeFile CSafeDirectory::OpenRegularFile(const QByteArray& name, int flags, mode_t createMode) const
{
    CSafeFile file;
    file.m_name = PathOf(name);
    if (m_fd < 0 || !IsPlainName(name)) {
        file.m_fault = m_fd < 0 ? m_fault : FaultFor(name, 0);
        return file;
    }
    const int fd = ::openat(m_fd, name.constData(), flags | kOpenFlags, createMode);
    if (fd < 0) {
        file.m_fault = FaultFor(name, errno);
        return file;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0)
        file.m_fault = {FileFault::Kind::System, errno, file.m_name};
    else if (!S_ISREG(st.st_mode))
        file.m_fault = {FileFault::Kind::NotRegular, 0, file.m_name};
    if (file.m_fault) {
        ::close(fd);
        return file;
    }
    return CSafeFile(fd, st, file.m_name);
}

CSafeFile CSafeDirectory::OpenForReading(const QByteArray& name) const
{
    return OpenRegularFile(name, O_RDONLY, 0);
}

CSafeFile CSafeDirectory::OpenForAppending(const QByteArray& name, mode_t createMode) const
{
    CSafeFile file = OpenRegularFile(name, O_WRONLY | O_APPEND | O_CREAT, createMode);
    // Writes to a regular file block as they always do; only the open had to be kept from hanging.
    if (file.IsOpen())
        ::fcntl(file.Fd(), F_SETFL, O_APPEND);
    return file;
}

std::optional<struct stat> CSafeDirectory::StatEntry(const QByteArray& name, FileFault* fault) const
{
    struct stat st;
    if (m_fd < 0 || !IsPlainName(name) || ::fstatat(m_fd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        if (fault)
            *fault = m_fd < 0 ? m_fault : FaultFor(name, IsPlainName(name) ? errno : 0);
        return std::nullopt;
    }
    return st;
}

bool CSafeDirectory::Remove(const QByteArray& name, FileFault* fault) const
{
    if (m_fd >= 0 && IsPlainName(name) && ::unlinkat(m_fd, name.constData(), 0) == 0)
        return true;
    if (fault)
        *fault = m_fd < 0 ? m_fault : FaultFor(name, IsPlainName(name) ? errno : 0);
    return false;
}

bool CSafeDirectory::Rename(const QByteArray& from, const QByteArray& to, FileFault* fault) const
{
    if (m_fd >= 0 && IsPlainName(from) && IsPlainName(to) &&
        ::renameat(m_fd, from.constData(), m_fd, to.constData()) == 0)
        return true;
    if (fault) {
        const int error = errno;
        *fault = m_fd < 0 ? m_fault : FaultFor(IsPlainName(from) ? to : from, error);
        if (fault->kind == FileFault::Kind::Link)
            fault->kind = FileFault::Kind::System;
    }
    return false;
}

CSafeDirectory CSafeDirectory::DescendMaking(QStringView relative, mode_t mode) const
{
    return Walk(relative, true, mode);
}

CSafeDirectory CSafeDirectory::Walk(QStringView relative, bool make, mode_t mode) const
{
    CSafeDirectory current;
    current.m_path = m_path;
    if (m_fd < 0) {
        current.m_fault = m_fault;
        return current;
    }
    if (relative.isEmpty() || relative.startsWith(u'/')) {
        current.m_fault = {FileFault::Kind::BadName, 0, PathOf(QFile::encodeName(relative.toString()))};
        return current;
    }
    const CSafeDirectory* from = this;
    for (const QStringView part : relative.split(u'/')) {
        const QByteArray name = QFile::encodeName(part.toString());
        CSafeDirectory next;
        next.m_path = from->PathOf(name);
        if (!IsPlainName(name)) {
            next.m_fault = {FileFault::Kind::BadName, 0, next.m_path};
            return next;
        }
        // Made or found, the entry is then opened without following a link: a link put there
        // meanwhile is refused like any other.
        if (make && ::mkdirat(from->m_fd, name.constData(), mode) != 0 && errno != EEXIST) {
            next.m_fault = from->FaultFor(name, errno);
            return next;
        }
        next.m_fd.Reset(::openat(from->m_fd, name.constData(), O_RDONLY | O_DIRECTORY | kOpenFlags));
        if (next.m_fd < 0) {
            next.m_fault = from->FaultFor(name, errno);
            return next;
        }
        current = std::move(next);
        from = &current;
    }
    return current;
}

bool CSafeDirectory::MoveWithoutReplacing(const QByteArray& name, const CSafeDirectory& to, const QByteArray& toName,
                                          FileFault* fault) const
{
    if (m_fd >= 0 && to.m_fd >= 0 && IsPlainName(name) && IsPlainName(toName) &&
        ::renameat2(m_fd, name.constData(), to.m_fd, toName.constData(), RENAME_NOREPLACE) == 0)
        return true;
    const int error = errno;
    if (fault) {
        if (m_fd < 0)
            *fault = m_fault;
        else if (to.m_fd < 0)
            *fault = to.m_fault;
        else if (!IsPlainName(name) || !IsPlainName(toName))
            *fault = {FileFault::Kind::BadName, 0, IsPlainName(name) ? to.PathOf(toName) : PathOf(name)};
        else
            // The entry moves whatever it is: a link or a FIFO is no reason for the move to fail.
            *fault = {FileFault::Kind::System, error, error == EEXIST ? to.PathOf(toName) : PathOf(name)};
    }
    return false;
}

QList<QByteArray> CSafeDirectory::EntryNames(FileFault* fault) const
{
    QList<QByteArray> names;
    for (Entry& entry : Entries(fault))
        names.append(std::move(entry.name));
    return names;
}

QList<CSafeDirectory::Entry> CSafeDirectory::Entries(FileFault* fault) const
{
    QList<Entry> entries;
    // fdopendir takes the descriptor over; a duplicate keeps ours open. Reading starts at the
    // beginning whatever was read through the duplicate before.
    const int fd = m_fd < 0 ? -1 : ::openat(m_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = fd < 0 ? nullptr : ::fdopendir(fd);
    if (!dir) {
        if (fault)
            *fault = m_fd < 0 ? m_fault : FileFault{FileFault::Kind::System, errno, m_path};
        if (fd >= 0)
            ::close(fd);
        return entries;
    }
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArrayView name(entry->d_name);
        if (name != "." && name != "..")
            entries.append({name.toByteArray(), entry->d_type == DT_UNKNOWN ? mode_t(0) : mode_t(DTTOIF(entry->d_type))});
        errno = 0;
    }
    if (errno != 0 && fault)
        *fault = {FileFault::Kind::System, errno, m_path};
    ::closedir(dir);
    return entries;
}

// ---- CSafeFile ----

CSafeFile::CSafeFile(int fd, const struct stat& st, QString name) : m_fd(fd), m_stat(st), m_name(std::move(name))
{
}

void CSafeFile::SetFault(int error)
{
    m_fault = {FileFault::Kind::System, error, m_name};
}

QByteArray CSafeFile::ReadAll(qint64 limit, bool* complete)
{
    QByteArray data;
    if (m_fd < 0) {
        if (complete)
            *complete = false;
        return data;
    }
    // The size fstat gave is only a hint: the file may grow or shrink while it is read.
    data.resize(qsizetype(qBound<qint64>(0, qint64(m_stat.st_size), limit)));
    qint64 done = 0;
    for (;;) {
        if (done == data.size()) {
            if (done >= limit)
                break;
            data.resize(qsizetype(qMin<qint64>(limit, qMax<qint64>(done * 2, 64 * 1024))));
        }
        const ssize_t n = ::pread(m_fd, data.data() + done, size_t(data.size() - done), done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            SetFault(errno);
        if (n <= 0)
            break;
        done += n;
    }
    data.truncate(qsizetype(done));
    if (complete) {
        char probe;
        ssize_t more;
        do
            more = ::pread(m_fd, &probe, 1, done);
        while (more < 0 && errno == EINTR);
        *complete = !m_fault && more == 0;
    }
    return data;
}

bool CSafeFile::WriteAll(const QByteArray& bytes)
{
    if (m_fd < 0)
        return false;
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            SetFault(n < 0 ? errno : ENOSPC);
            return false;
        }
        done += n;
    }
    return true;
}

bool CSafeFile::Close()
{
    if (m_fd < 0)
        return !m_fault;
    if (RetryClose(m_fd.Release()) != 0) {
        SetFault(errno);
        return false;
    }
    return !m_fault;
}

int CSafeFile::Release()
{
    return m_fd.Release();
}

// ---- CFileReplacement ----

CFileReplacement::CFileReplacement(const CSafeDirectory& directory, const QByteArray& name, mode_t newMode)
    : m_directory(directory), m_name(name)
{
    if (!directory.IsOpen()) {
        Fail(directory.Fault());
        return;
    }
    if (!CSafeDirectory::IsPlainName(name)) {
        Fail({FileFault::Kind::BadName, 0, directory.PathOf(name)});
        return;
    }
    mode_t mode = newMode;
    FileFault fault;
    if (const auto old = directory.StatEntry(name, &fault)) {
        if (S_ISLNK(old->st_mode)) {
            Fail({FileFault::Kind::Link, 0, directory.PathOf(name)});
            return;
        }
        if (!S_ISREG(old->st_mode)) {
            Fail({FileFault::Kind::NotRegular, 0, directory.PathOf(name)});
            return;
        }
        mode = old->st_mode & 0777;
    } else if (fault.error != ENOENT) {
        Fail(fault);
        return;
    }
    // A dot name, so the site's listings skip it; random, so nobody can put a link there first.
    for (int attempt = 0; attempt < 100; ++attempt) {
        m_temporary = TemporaryReplacementName(name);
        const int fd = ::openat(directory.Fd(), m_temporary.constData(),
                                O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd >= 0) {
            struct stat st = {};
            m_file = CSafeFile(fd, st, directory.PathOf(m_temporary));
            // umask must not narrow what the site needs to read.
            if (::fchmod(fd, mode) != 0)
                Fail(FileFault{FileFault::Kind::System, errno, directory.PathOf(name)});
            return;
        }
        if (errno != EEXIST) {
            m_temporary.clear();
            Fail(FileFault{FileFault::Kind::System, errno, directory.PathOf(name)});
            return;
        }
    }
    m_temporary.clear();
    Fail({FileFault::Kind::System, EEXIST, directory.PathOf(name)});
}

CFileReplacement::~CFileReplacement()
{
    m_file.Close();
    if (!m_temporary.isEmpty())
        m_directory.Remove(m_temporary);
}

bool CFileReplacement::Fail(FileFault fault)
{
    if (!m_failed) {
        m_failed = true;
        m_fault = std::move(fault);
    }
    return false;
}

bool CFileReplacement::Write(const QByteArray& bytes)
{
    if (m_failed)
        return false;
    if (!m_file.WriteAll(bytes)) {
        FileFault fault = m_file.Fault();
        fault.name = m_directory.PathOf(m_name);
        return Fail(fault);
    }
    return true;
}

bool CFileReplacement::Commit()
{
    if (m_failed)
        return false;
    // A full disk often shows only at the flush or the close: both are checked before the rename.
    if (::fsync(m_file.Fd()) != 0)
        return Fail({FileFault::Kind::System, errno, m_directory.PathOf(m_name)});
    if (!m_file.Close()) {
        FileFault fault = m_file.Fault();
        fault.name = m_directory.PathOf(m_name);
        return Fail(fault);
    }
    // A link put at the name since the start is replaced by the rename, never written through; it
    // is still refused, as the user was promised.
    FileFault fault;
    const auto old = m_directory.StatEntry(m_name, &fault);
    if (old && S_ISLNK(old->st_mode))
        return Fail({FileFault::Kind::Link, 0, m_directory.PathOf(m_name)});
    if (old && !S_ISREG(old->st_mode))
        return Fail({FileFault::Kind::NotRegular, 0, m_directory.PathOf(m_name)});
    if (!m_directory.Rename(m_temporary, m_name, &fault)) {
        fault.name = m_directory.PathOf(m_name);
        return Fail(fault);
    }
    m_temporary.clear();
    return true;
}

#include "files/SafeCopy.h"

#include "files/TemporaryName.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace {

// Pieces small enough that progress moves and Cancel is heard within a moment on a slow disk.
constexpr qint64 kPiece = qint64(4) << 20;

// Everything from the start of one descriptor to the end of the other: in the kernel where the
// file systems allow it, else through a buffer. 0, or the errno value of the failure (ECANCELED when
// progress said stop); *readFault tells whether reading failed rather than writing.
int CopyContents(int in, int out, const std::function<bool(qint64)>& progress, bool* readFault)
{
    *readFault = false;
    const auto goOn = [&progress](off_t copied) { return !progress || progress(qint64(copied)); };
    off_t offset = 0;
    for (;;) {
        const ssize_t n = ::copy_file_range(in, &offset, out, nullptr, size_t(kPiece), 0);
        if (n == 0)
            return 0;
        if (n > 0) {
            if (!goOn(offset))
                return ECANCELED;
            continue;
        }
        if (errno == EINTR)
            continue;
        if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
            return errno;
        break; // not offered here: copy the rest by hand
    }
    char buffer[64 * 1024];
    off_t reported = offset;
    for (;;) {
        const ssize_t n = ::pread(in, buffer, sizeof buffer, offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            *readFault = true;
        if (n <= 0)
            return n == 0 ? 0 : errno;
        offset += n;
        for (ssize_t done = 0; done < n;) {
            const ssize_t written = ::write(out, buffer + done, size_t(n - done));
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                return written < 0 ? errno : ENOSPC;
            done += written;
        }
        if (offset - reported >= kPiece) {
            reported = offset;
            if (!goOn(offset))
                return ECANCELED;
        }
    }
}

// Renames the finished copy to the name without replacing anything there: atomically where the
// file system offers it, else as a second link that fails when the name is taken.
bool RenameWithoutReplacing(const CSafeDirectory& directory, const QByteArray& from, const QByteArray& to,
                            FileFault* fault)
{
    const int fd = directory.Fd();
    if (::renameat2(fd, from.constData(), fd, to.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno == EINVAL && ::linkat(fd, from.constData(), fd, to.constData(), 0) == 0) {
        directory.Remove(from);
        return true;
    }
    *fault = {FileFault::Kind::System, errno, QString()};
    return false;
}

// The fault for what stands at the name, when it is something a copy must not replace.
FileFault RefusalAt(const CSafeDirectory& directory, const QByteArray& name)
{
    FileFault fault;
    const auto entry = directory.StatEntry(name, &fault);
    if (!entry)
        return fault.error == ENOENT ? FileFault{} : fault;
    if (S_ISLNK(entry->st_mode))
        return {FileFault::Kind::Link, 0, directory.PathOf(name)};
    if (!S_ISREG(entry->st_mode))
        return {FileFault::Kind::NotRegular, 0, directory.PathOf(name)};
    return {};
}

} // namespace

CSafeFile OpenAdministratorsFile(const QString& path)
{
    const QFileInfo info(path);
    const QString resolved = info.canonicalFilePath();
    if (resolved.isEmpty()) {
        // Missing, or a link that leads nowhere: opened as it stands, the open says why.
        return CSafeDirectory::Open(info.absolutePath()).OpenForReading(QFile::encodeName(info.fileName()));
    }
    const QFileInfo target(resolved);
    return CSafeDirectory::Open(target.path()).OpenForReading(QFile::encodeName(target.fileName()));
}

FileFault CopyIntoDirectory(const CSafeFile& source, const CSafeDirectory& directory, const QByteArray& name,
                            const CopyOptions& options)
{
    if (source.IsOpen() && directory.IsOpen() && CSafeDirectory::IsPlainName(name)) {
        // Nothing is written where a copy would be refused anyway.
        if (FileFault refusal = RefusalAt(directory, name))
            return refusal;
    }
    return CPendingCopy::Write(source, directory, name, options).Commit();
}

CPendingCopy::~CPendingCopy()
{
    Discard();
}

CPendingCopy::CPendingCopy(CPendingCopy&& other) noexcept
    : m_directory(other.m_directory), m_name(std::move(other.m_name)),
      m_temporary(std::exchange(other.m_temporary, QByteArray())), m_replace(other.m_replace),
      m_fault(std::move(other.m_fault))
{
}

CPendingCopy& CPendingCopy::operator=(CPendingCopy&& other) noexcept
{
    if (this != &other) {
        Discard();
        m_directory = other.m_directory;
        m_name = std::move(other.m_name);
        m_temporary = std::exchange(other.m_temporary, QByteArray());
        m_replace = other.m_replace;
        m_fault = std::move(other.m_fault);
    }
    return *this;
}

void CPendingCopy::Discard()
{
    if (m_directory && !m_temporary.isEmpty())
        m_directory->Remove(m_temporary);
    m_temporary.clear();
}

CPendingCopy CPendingCopy::Write(const CSafeFile& source, const CSafeDirectory& directory, const QByteArray& name,
                                 const CopyOptions& options)
{
    CPendingCopy copy;
    copy.m_directory = &directory;
    copy.m_name = name;
    copy.m_replace = options.replace;
    const auto fail = [&copy](FileFault fault) {
        copy.m_fault = std::move(fault);
        return std::move(copy);
    };
    if (!source.IsOpen())
        return fail(source.Fault());
    if (!directory.IsOpen())
        return fail(directory.Fault());
    if (!CSafeDirectory::IsPlainName(name))
        return fail({FileFault::Kind::BadName, 0, directory.PathOf(name)});
    if (!options.replace && directory.StatEntry(name))
        return fail({FileFault::Kind::System, EEXIST, directory.PathOf(name)});

    // A dot name, so the site's listings skip it; random, so nobody can have put a link there.
    QByteArray temporary;
    int out = -1;
    for (int attempt = 0; attempt < 100 && out < 0; ++attempt) {
        temporary = TemporaryCopyName();
        out = ::openat(directory.Fd(), temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                       0600);
        if (out < 0 && errno != EEXIST)
            return fail({FileFault::Kind::System, errno, directory.PathOf(name)});
    }
    if (out < 0)
        return fail({FileFault::Kind::System, EEXIST, directory.PathOf(name)});
    copy.m_temporary = temporary;

    FileFault fault;
    bool readFault = false;
    if (const int error = CopyContents(source.Fd(), out, options.progress, &readFault))
        fault = {FileFault::Kind::System, error, readFault ? source.Name() : directory.PathOf(name)};
    const struct stat& st = source.Status();
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    // The area's directory is served to visitors: the copy is as readable as its source was. No
    // fsync: the rename at the commit already keeps a crash from leaving half a file under the real
    // name, and a sync per file made importing a directory several times slower.
    if (!fault && (::fchmod(out, st.st_mode & 0777) != 0 || ::futimens(out, times) != 0))
        fault = {FileFault::Kind::System, errno, directory.PathOf(name)};
    // A full disk may show only at the close.
    if (::close(out) != 0 && errno != EINTR && !fault)
        fault = {FileFault::Kind::System, errno, directory.PathOf(name)};
    if (fault) {
        copy.Discard();
        return fail(fault);
    }
    return copy;
}

FileFault CPendingCopy::Commit()
{
    if (m_fault || !m_directory)
        return m_fault;
    // A link put at the name meanwhile would be replaced by the rename, never written through; it
    // is refused all the same, as every link in the area is.
    FileFault fault = RefusalAt(*m_directory, m_name);
    if (!fault && !(m_replace ? m_directory->Rename(m_temporary, m_name, &fault)
                              : RenameWithoutReplacing(*m_directory, m_temporary, m_name, &fault)))
        fault.name = m_directory->PathOf(m_name);
    if (fault)
        Discard();
    else
        m_temporary.clear(); // it is the name now
    m_fault = fault;
    return fault;
}

#include "reviews/SiteRecordFile.h"

#include "files/FileMode.h"
#include "files/SafeFormat.h"
#include "settings/CLockFile.h"

#include <QFile>

#include <cerrno>
#include <unistd.h>

namespace {

bool IsAbsent(const FileFault& fault)
{
    return fault.kind == FileFault::Kind::System && fault.error == ENOENT;
}

// The directory that holds the file at path, and the file's name in it. The directory is entered
// from its parent without following a link: reviews/ is the site's, which could put a link in its
// place, while the web root above it is the administrator's.
CSafeDirectory OpenParent(QStringView path, QByteArray* name)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    *name = QFile::encodeName(path.mid(slash + 1).toString());
    if (slash < 0)
        return CSafeDirectory::Open(QStringLiteral("."));
    const QStringView directory = path.left(slash);
    const qsizetype above = directory.lastIndexOf(u'/');
    const QByteArray last = QFile::encodeName(directory.mid(above + 1).toString());
    if (!CSafeDirectory::IsPlainName(last))
        return CSafeDirectory::Open(directory.isEmpty() ? QStringLiteral("/") : directory.toString());
    const QString parent = above < 0    ? QStringLiteral(".")
                           : above == 0 ? QStringLiteral("/")
                                        : directory.left(above).toString();
    return CSafeDirectory::Open(parent).Descend(directory.mid(above + 1));
}

} // namespace

CSiteRecordFile::CSiteRecordFile(const QString& path) : m_directory(OpenParent(path, &m_name)) {}

CSiteRecordFile::CSiteRecordFile(const QString& directory, const QByteArray& name)
    : m_name(name), m_directory(CSafeDirectory::Open(directory))
{
}

CSiteRecordFile::~CSiteRecordFile() = default;

bool CSiteRecordFile::Fail(const FileFault& fault)
{
    return Fail(fault.Message());
}

bool CSiteRecordFile::Fail(const QString& problem)
{
    m_problem = problem;
    return false;
}

bool CSiteRecordFile::Lock()
{
    m_lock = std::make_unique<CLockFile>(m_directory, m_name);
    if (m_lock->IsLocked())
        return true;
    const FileFault& fault = m_lock->Fault();
    if (fault.kind == FileFault::Kind::System && (fault.error == EWOULDBLOCK || fault.error == EAGAIN))
        return Fail(
            SafeFormat(u"%s is locked by another program (the web site, or another Troveport Explorer), "
                       u"which did not let go of it within 2 seconds. Try again in a moment.",
                       fault.name));
    return Fail(fault);
}

bool CSiteRecordFile::Read()
{
    m_data.clear();
    m_whole = true;
    m_file = m_directory.OpenForReading(m_name);
    if (!m_file.IsOpen())
        return IsAbsent(m_file.Fault()) || Fail(m_file.Fault());
    m_data = m_file.ReadAll(kReadLimit, &m_whole);
    return !m_file.Fault() || Fail(m_file.Fault());
}

bool CSiteRecordFile::ReadWhole()
{
    if (!Read())
        return false;
    return m_whole ||
           Fail(SafeFormat(u"%s is larger than 4 MiB. Troveport Explorer reads only its beginning, "
                           u"and does not write it back.",
                           m_directory.PathOf(m_name)));
}

bool CSiteRecordFile::Replace(const QByteArray& bytes)
{
    const bool rest = m_file.IsOpen() && !m_whole;
    if (bytes.isEmpty() && !rest) {
        FileFault fault;
        const auto entry = m_directory.StatEntry(m_name, &fault);
        if (!entry)
            return IsAbsent(fault) || Fail(fault);
        if (S_ISLNK(entry->st_mode))
            return Fail(FileFault{FileFault::Kind::Link, 0, m_directory.PathOf(m_name)});
        return m_directory.Remove(m_name, &fault) || IsAbsent(fault) || Fail(fault);
    }
    CFileReplacement replacement(m_directory, m_name, DefaultFileMode());
    replacement.Write(bytes);
    // What lies past the part that was read is copied as it is.
    QByteArray chunk(64 * 1024, Qt::Uninitialized);
    for (qint64 offset = m_data.size(); rest;) {
        const ssize_t n = ::pread(m_file.Fd(), chunk.data(), size_t(chunk.size()), off_t(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return Fail(FileFault{FileFault::Kind::System, errno, m_directory.PathOf(m_name)});
        if (n == 0 || !replacement.Write(chunk.left(qsizetype(n))))
            break;
        offset += n;
    }
    return replacement.Commit() || Fail(replacement.Fault());
}

bool CSiteRecordFile::Append(QByteArray bytes)
{
    // A last line without its line end would swallow the first line of what is added.
    {
        CSafeFile existing = m_directory.OpenForReading(m_name);
        if (!existing.IsOpen() && !IsAbsent(existing.Fault()))
            return Fail(existing.Fault());
        char last = '\n';
        const off_t size = existing.Status().st_size;
        if (existing.IsOpen() && size > 0 && ::pread(existing.Fd(), &last, 1, size - 1) == 1 &&
            last != '\n' && last != '\r')
            bytes.prepend("\r\n");
    }
    CSafeFile file = m_directory.OpenForAppending(m_name, 0666);
    if (!file.IsOpen())
        return Fail(file.Fault());
    // Under the lock nobody else appends: cutting back to the old size takes back exactly what
    // this write left of itself.
    const off_t before = file.Status().st_size;
    if (!file.WriteAll(bytes)) {
        const FileFault fault = file.Fault();
        (void)::ftruncate(file.Fd(), before);
        return Fail(fault);
    }
    return file.Close() || Fail(file.Fault());
}

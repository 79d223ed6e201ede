#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>

#include <optional>
#include <utility>
#include <sys/stat.h>

// The file layer for directories that the web site, and through it any visitor, can write: the
// areas, the upload areas, reviews/ with submissions.txt and its lock. Everything there happens
// relative to a directory descriptor this program opened itself, walking one name at a time and
// never following a symbolic link, so that a link or a directory exchanged meanwhile can never
// lead an open, a write, a rename or a delete outside. Files are opened without following links and
// without blocking (a FIFO cannot hang the program), and checked with fstat before a byte moves.
// docs/security.md lists where these calls are required.

// Why an operation of this layer was refused or failed.
struct FileFault
{
    enum class Kind
    {
        None,
        Link,       // a symbolic link stood where a file or directory was wanted
        NotRegular, // a FIFO, device, socket or directory where a regular file was wanted
        BadName,    // an empty, ".", ".." or "/"-holding name, or a NUL in it
        System,     // the system refused: error holds its errno value
    };
    Kind kind = Kind::None;
    int error = 0;
    QString name; // the path the user knows the file by

    explicit operator bool() const { return kind != Kind::None; }
    // "<name> is a symbolic link: ...", "<name>: No space left on device" and so on.
    QString Message() const;
};

class CSafeFile;

// A descriptor that closes with its owner and moves with it.
class CDescriptor
{
public:
    CDescriptor() = default;
    explicit CDescriptor(int fd) : m_fd(fd) {}
    ~CDescriptor() { Reset(); }
    CDescriptor(CDescriptor&& other) noexcept : m_fd(other.Release()) {}
    CDescriptor& operator=(CDescriptor&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    CDescriptor(const CDescriptor&) = delete;
    CDescriptor& operator=(const CDescriptor&) = delete;

    operator int() const { return m_fd; }
    int Release() { return std::exchange(m_fd, -1); }
    void Reset(int fd = -1);

private:
    int m_fd = -1;
};

// An open directory; the descriptor closes with the object.
class CSafeDirectory
{
public:
    CSafeDirectory() = default;

    // A directory the administrator configured (an area's directory, the web root's reviews/), by
    // its path. Links in that path are the administrator's and are followed.
    static CSafeDirectory Open(const QString& path);

    // The directory at a relative path below this one ("a/b"), walked one part at a time without
    // following links. Empty, "." and ".." parts, and a leading "/", are refused.
    CSafeDirectory Descend(QStringView relative) const;
    // The directory that holds a relative path's last part, and that part as bytes in *leaf: the
    // place where a file "a/b/name" is opened, created or deleted.
    CSafeDirectory DescendToParent(QStringView relative, QByteArray* leaf) const;

    bool IsOpen() const { return m_fd >= 0; }
    int Fd() const { return m_fd; }
    const FileFault& Fault() const { return m_fault; }
    // The path this directory was reached by, for messages ("/srv/area/docs").
    const QString& Path() const { return m_path; }
    QString PathOf(const QByteArray& name) const;

    // A regular file in this directory, opened for reading. A link or anything but a regular file
    // is refused.
    CSafeFile OpenForReading(const QByteArray& name) const;
    // A regular file opened for appending, made with createMode when missing. A link or anything but
    // a regular file is refused.
    CSafeFile OpenForAppending(const QByteArray& name, mode_t createMode) const;

    // The entry itself, never what a link leads to; nullopt when there is none.
    std::optional<struct stat> StatEntry(const QByteArray& name, FileFault* fault = nullptr) const;
    // Removes an entry that is not a directory; a link is removed itself, never its target.
    bool Remove(const QByteArray& name, FileFault* fault = nullptr) const;
    // Renames an entry of this directory to another name in it, replacing what had that name.
    bool Rename(const QByteArray& from, const QByteArray& to, FileFault* fault = nullptr) const;
    // The directory at a relative path below this one, each missing part made with mode on the
    // way, walked as Descend walks: a link anywhere on it is refused, never followed.
    CSafeDirectory DescendMaking(QStringView relative, mode_t mode) const;
    // Moves an entry of this directory to a name in another directory (renameat2 with
    // RENAME_NOREPLACE): what has that name is never replaced (EEXIST), a link is moved itself, and
    // between file systems it fails with EXDEV instead of copying.
    bool MoveWithoutReplacing(const QByteArray& name, const CSafeDirectory& to, const QByteArray& toName,
                              FileFault* fault = nullptr) const;
    // The names in the directory ("." and ".." left out), in the order the system gives them.
    QList<QByteArray> EntryNames(FileFault* fault = nullptr) const;
    struct Entry
    {
        QByteArray name;
        mode_t type = 0; // the S_IFMT bits of the entry itself, as the directory tells them; 0 when unknown
    };
    // The entries with their types, as EntryNames lists them: a walk stats only those whose type the
    // file system does not tell. A link is typed S_IFLNK, never as what it leads to.
    QList<Entry> Entries(FileFault* fault = nullptr) const;

    // A plain file name as the bytes it has on disk; empty when it is no plain name.
    static QByteArray NameBytes(QStringView name);
    static bool IsPlainName(const QByteArray& name);

private:
    CSafeDirectory(int fd, QString path);
    // Descend, making each missing directory with mode when make is set.
    CSafeDirectory Walk(QStringView relative, bool make, mode_t mode) const;
    FileFault FaultFor(const QByteArray& name, int error) const;
    CSafeFile OpenRegularFile(const QByteArray& name, int flags, mode_t createMode) const;

    CDescriptor m_fd;
    QString m_path;
    FileFault m_fault;
};

// An open regular file; the descriptor closes with the object unless released.
class CSafeFile
{
public:
    CSafeFile() = default;

    bool IsOpen() const { return m_fd >= 0; }
    int Fd() const { return m_fd; }
    const FileFault& Fault() const { return m_fault; }
    // What fstat said when the file was opened.
    const struct stat& Status() const { return m_stat; }
    const QString& Name() const { return m_name; }

    // Up to limit bytes from the start. *complete, when given, tells whether the file held no more.
    QByteArray ReadAll(qint64 limit, bool* complete = nullptr);
    // Every byte, or false with the fault set.
    bool WriteAll(const QByteArray& bytes);
    // Closes the descriptor; false when the close reported an error (a write that did not land).
    bool Close();
    // Gives up the descriptor to the caller, who closes it.
    int Release();

private:
    friend class CSafeDirectory;
    friend class CFileReplacement;
    CSafeFile(int fd, const struct stat& st, QString name);
    void SetFault(int error);

    CDescriptor m_fd;
    struct stat m_stat = {};
    QString m_name;
    FileFault m_fault;
};

// A file that takes the place of a name in a directory only when it is complete: written under a
// temporary name beside it, every write and the flush checked, then renamed over the name. The old
// file stays as it was on every failure. A link found at the name is refused, never written
// through. Without Commit the temporary file is removed.
class CFileReplacement
{
public:
    // The new file gets the old one's permission bits, or newMode when there is none.
    CFileReplacement(const CSafeDirectory& directory, const QByteArray& name, mode_t newMode);
    ~CFileReplacement();
    CFileReplacement(const CFileReplacement&) = delete;
    CFileReplacement& operator=(const CFileReplacement&) = delete;

    bool IsOpen() const { return m_file.IsOpen(); }
    bool Write(const QByteArray& bytes);
    // Flushes, closes and renames into place. False, the old file untouched, on any failure.
    bool Commit();
    const FileFault& Fault() const { return m_fault; }

private:
    bool Fail(FileFault fault);

    const CSafeDirectory& m_directory;
    QByteArray m_name;
    QByteArray m_temporary;
    CSafeFile m_file;
    FileFault m_fault;
    bool m_failed = false;
};

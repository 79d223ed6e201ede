#pragma once

#include "files/SafeFiles.h"

#include <QByteArray>
#include <QString>

#include <sys/stat.h>

// A regular file open for reading, to be copied: opened through the file layer when it lies in a
// directory the web site can write, or by the administrator's own path otherwise.
class CCopySource
{
public:
    CCopySource() = default;
    // Takes over an open file of the layer (or its fault).
    explicit CCopySource(CSafeFile&& file);
    ~CCopySource();
    CCopySource(CCopySource&& other) noexcept;
    CCopySource& operator=(CCopySource&& other) noexcept;
    CCopySource(const CCopySource&) = delete;
    CCopySource& operator=(const CCopySource&) = delete;

    // A file the administrator named, by its path: links in it are followed, as the administrator
    // meant them. Opened without blocking, and refused unless it is a regular file.
    static CCopySource OpenPath(const QString& path);

    bool IsOpen() const { return m_fd >= 0; }
    int Fd() const { return m_fd; }
    const struct stat& Status() const { return m_stat; }
    const FileFault& Fault() const { return m_fault; }
    const QString& Name() const { return m_name; }
    // A path that opens this very file again, whatever becomes of its name meanwhile, for readers
    // that take a path (Linux's /proc/self/fd); empty when the file is not open.
    QString ReopenPath() const;

private:
    int m_fd = -1;
    struct stat m_stat = {};
    QString m_name;
    FileFault m_fault;
};

// Copies the source into the directory under a plain name, replacing a regular file of that name.
// The copy is written under a new temporary dot name (created with O_EXCL and O_NOFOLLOW, so nobody
// can have put a link there), every write and the close checked, given the source's permission bits
// (set-id bits dropped) and times, then renamed over the name: the name never shows half a file,
// and a failure leaves nothing behind. A link or anything but a regular file at the name is
// refused and stays as it is. Returns the fault, naming the file; none when the copy is in place.
FileFault CopyIntoDirectory(const CCopySource& source, const CSafeDirectory& directory, const QByteArray& name);

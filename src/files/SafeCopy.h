#pragma once

#include "files/SafeFiles.h"

#include <QByteArray>
#include <QString>

#include <functional>

// A file the administrator named by its path (a file chooser's choice, a file of a directory to
// import), outside every directory the web site can write: its links are followed as the
// administrator meant them, then it is opened as the layer opens files, without blocking and only
// when it is a regular file.
CSafeFile OpenAdministratorsFile(const QString& path);

struct CopyOptions
{
    // Told the bytes copied so far after each piece of a few MB; false stops the copy, which then
    // fails with ECANCELED and leaves nothing behind.
    std::function<bool(qint64 copied)> progress;
    // Whether a regular file at the name is replaced. When not, a file found there, even one that
    // arrives while the copy runs, fails the copy with EEXIST and stays as it is.
    bool replace = true;
};

// Copies the source into the directory under a plain name, replacing a regular file of that name
// unless the options say otherwise. The copy is written under a new temporary dot name (created
// with O_EXCL and O_NOFOLLOW, so nobody can have put a link there), every write and the close
// checked, given the source's permission bits (set-id bits dropped) and times, then renamed over
// the name: the name never shows half a file, and a failure leaves nothing behind. A link or
// anything but a regular file at the name is refused and stays as it is. Returns the fault, naming
// the file; none when the copy is in place.
FileFault CopyIntoDirectory(const CSafeFile& source, const CSafeDirectory& directory, const QByteArray& name,
                            const CopyOptions& options = {});

// A copy written under a temporary dot name in the directory and not yet under its name: the first
// half of CopyIntoDirectory, so that the bytes can be written ahead of the decision to publish
// them. Commit renames it to its name as CopyIntoDirectory does (refusing a link or anything but a
// regular file found there then); destroying an uncommitted copy removes the temporary file. The
// directory must outlive it.
class CPendingCopy
{
public:
    CPendingCopy() = default;
    ~CPendingCopy();
    CPendingCopy(CPendingCopy&& other) noexcept;
    CPendingCopy& operator=(CPendingCopy&& other) noexcept;
    CPendingCopy(const CPendingCopy&) = delete;
    CPendingCopy& operator=(const CPendingCopy&) = delete;

    // Writes the source under a new temporary name; the fault, if any, is kept for Commit.
    static CPendingCopy Write(const CSafeFile& source, const CSafeDirectory& directory, const QByteArray& name,
                              const CopyOptions& options = {});
    // The copy under its name; the fault of the write or of the rename, naming the file.
    FileFault Commit();

private:
    void Discard();

    const CSafeDirectory* m_directory = nullptr;
    QByteArray m_name;
    QByteArray m_temporary; // empty when there is nothing to commit or remove
    bool m_replace = true;
    FileFault m_fault;
};


#pragma once

#include <QString>

// A private directory for one extraction: "<prefix>" and six random characters under the system's
// temporary directory (QDir::tempPath(), which honours TMPDIR), made by mkdtemp with mode 0700, so
// that nobody else can have made it first or look inside. The path is empty when none could be
// made. Destroying the object removes the directory with everything in it.
class CTempDirectory
{
public:
    explicit CTempDirectory(const QString& prefix);
    ~CTempDirectory();
    CTempDirectory(const CTempDirectory&) = delete;
    CTempDirectory& operator=(const CTempDirectory&) = delete;

    const QString& GetPath() const { return m_path; }

private:
    QString m_path;
};

// Deletes the files of a directory, with descend its subdirectories too, then the directory itself.
// True when the directory itself was removed. Symbolic links are deleted, never followed; a path
// that is itself a symbolic link is left alone.
bool RemoveDirectoryTree(const QString& path, bool descend);

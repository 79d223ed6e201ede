#pragma once

#include <QString>

// A scratch directory. Made private with a name nobody else had ("WKD<number>.<random>", by mkdtemp)
// under the temporary directory or a given base, or taken from a path; removed with its contents
// on destruction when asked to.
class CWorkDirectory
{
public:
    // Makes a new, uniquely named directory under baseDirectory (the system's temporary directory
    // when empty) and removes it with its contents on destruction.
    explicit CWorkDirectory(const QString& baseDirectory = QString());
    // Takes an existing directory, or creates it when create is set.
    CWorkDirectory(const QString& path, bool removeOnDestruction, bool create);
    ~CWorkDirectory();
    CWorkDirectory(const CWorkDirectory&) = delete;
    CWorkDirectory& operator=(const CWorkDirectory&) = delete;

    bool IsValid() const { return m_valid; }
    const QString& GetPath() const { return m_path; }
    // Deletes one file of the directory. Names that would reach outside it are refused.
    bool DeleteEntry(const QString& name) const;

private:
    QString m_path;
    bool m_valid = false;
    bool m_removeOnDestruction = false;
};

#pragma once

#include "files/SafeFiles.h"

#include <QFile>
#include <QHash>
#include <QString>

// A path inside an area as the reports show it: the area's directory and the path below it, whole
// (MakePath would cut a long one).
inline QString JoinPath(const QString& directory, const QString& relative)
{
    return directory.endsWith(u'/') ? directory + relative : directory + u'/' + relative;
}

// Finds the directories of local copies through the file layer, keeping the last area's directory
// and the last directory reached open: locations read in order share them, so most lookups cost one
// fstatat.
class CAreaLocator
{
public:
    // The directory that holds the relative path's last part (a plain path, see
    // IsPlainRelativePath, as the bytes it has on disk), and that part in *leaf; null with *fault set
    // when it cannot be reached (a link on the way is FileFault::Kind::Link). The area's directory is
    // its table path.
    const CSafeDirectory* ParentOf(quint32 areaId, const QString& areaPath, const QByteArray& relative,
                                   QByteArray* leaf, FileFault* fault);
    const CSafeDirectory* ParentOf(quint32 areaId, const QString& areaPath, const QString& relative, QByteArray* leaf,
                                   FileFault* fault)
    {
        return ParentOf(areaId, areaPath, QFile::encodeName(relative), leaf, fault);
    }
    // The area's own directory; null with *fault set when it does not open.
    const CSafeDirectory* AreaDirectory(quint32 areaId, const QString& areaPath, FileFault* fault);

private:
    quint32 m_areaId = 0;
    CSafeDirectory m_area;
    QByteArray m_parentPath; // relative to the area, empty for none reached
    CSafeDirectory m_parent;
    bool m_parentTried = false;
};

// "file", "directory", "symlink", "fifo", "socket", "device" for a mode from stat.
QString EntryTypeName(mode_t mode);

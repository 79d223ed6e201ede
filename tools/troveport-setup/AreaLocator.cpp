#include "AreaLocator.h"

#include "files/AreaDirectory.h"

#include <QFile>

const CSafeDirectory* CAreaLocator::AreaDirectory(quint32 areaId, const QString& areaPath, FileFault* fault)
{
    if (areaId != m_areaId || (!m_area.IsOpen() && !m_area.Fault())) {
        m_areaId = areaId;
        m_area = OpenAreaDirectory(areaPath);
        m_parentPath.clear();
        m_parent = CSafeDirectory();
        m_parentTried = false;
    }
    if (!m_area.IsOpen()) {
        *fault = m_area.Fault();
        return nullptr;
    }
    return &m_area;
}

const CSafeDirectory* CAreaLocator::ParentOf(quint32 areaId, const QString& areaPath, const QByteArray& relative,
                                             QByteArray* leaf, FileFault* fault)
{
    const CSafeDirectory* area = AreaDirectory(areaId, areaPath, fault);
    if (!area)
        return nullptr;
    const qsizetype slash = relative.lastIndexOf('/');
    *leaf = relative.mid(slash + 1);
    if (slash < 0)
        return area;
    const QByteArrayView parentPath = QByteArrayView(relative).first(slash);
    // A directory that could not be reached is not tried again for the files after it.
    if (!m_parentTried || m_parentPath != parentPath) {
        m_parent = area->Descend(QFile::decodeName(parentPath.toByteArray()));
        m_parentPath = parentPath.toByteArray();
        m_parentTried = true;
    }
    if (!m_parent.IsOpen()) {
        *fault = m_parent.Fault();
        return nullptr;
    }
    return &m_parent;
}

QString EntryTypeName(mode_t mode)
{
    if (S_ISREG(mode))
        return QStringLiteral("file");
    if (S_ISDIR(mode))
        return QStringLiteral("directory");
    if (S_ISLNK(mode))
        return QStringLiteral("symlink");
    if (S_ISFIFO(mode))
        return QStringLiteral("fifo");
    if (S_ISSOCK(mode))
        return QStringLiteral("socket");
    return QStringLiteral("device");
}

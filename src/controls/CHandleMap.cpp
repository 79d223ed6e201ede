#include "controls/CHandleMap.h"

quint32 CHandleMap::Add(CTreeItem* item)
{
    // After 4,294,967,295 handles the counter would come round to 0 and then to handles in use.
    if (m_nextHandle == 0)
        return 0;
    const quint32 handle = m_nextHandle++;
    if (m_items.contains(handle))
        return 0;
    m_items.insert(handle, item);
    return handle;
}

bool CHandleMap::Remove(quint32 handle)
{
    return m_items.remove(handle);
}

CTreeItem* CHandleMap::Lookup(quint32 handle) const
{
    return m_items.value(handle, nullptr);
}

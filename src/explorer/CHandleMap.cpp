#include "explorer/CHandleMap.h"

#include <algorithm>

quint32 CHandleMap::Add(CTreeItem* item)
{
    const quint32 handle = m_nextHandle++;
    const auto at = std::lower_bound(m_handles.begin(), m_handles.end(), handle);
    if (at != m_handles.end() && *at == handle)
        return 0;
    const qsizetype index = at - m_handles.begin();
    m_handles.insert(index, handle);
    m_items.insert(index, item);
    return handle;
}

bool CHandleMap::Remove(quint32 handle)
{
    const auto at = std::lower_bound(m_handles.begin(), m_handles.end(), handle);
    if (at == m_handles.end() || *at != handle)
        return false;
    const qsizetype index = at - m_handles.begin();
    m_handles.removeAt(index);
    m_items.removeAt(index);
    return true;
}

CTreeItem* CHandleMap::Lookup(quint32 handle) const
{
    const auto at = std::lower_bound(m_handles.cbegin(), m_handles.cend(), handle);
    if (at == m_handles.cend() || *at != handle)
        return nullptr;
    return m_items[at - m_handles.cbegin()];
}

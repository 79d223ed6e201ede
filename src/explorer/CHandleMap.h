#pragma once

#include <QList>
#include <QtGlobal>

class CTreeItem;

// Hands out 32-bit handles for items, in increasing order, never reusing one during a run.
// Handles are kept sorted, with their items in a parallel list, and found by binary search.
class CHandleMap
{
public:
    // The new handle; 0 when it was somehow taken already.
    quint32 Add(CTreeItem* item);
    bool Remove(quint32 handle);
    CTreeItem* Lookup(quint32 handle) const;
    qsizetype GetCount() const { return m_handles.size(); }

private:
    quint32 m_nextHandle = 1;
    QList<quint32> m_handles;
    QList<CTreeItem*> m_items;
};

#pragma once

#include <QHash>
#include <QtGlobal>

class CTreeItem;

// Hands out 32-bit handles for items, in increasing order, never reusing one during a run. Items
// are found by hash, so that adding, removing and looking up cost the same however many there are.
class CHandleMap
{
public:
    // The new handle; 0 when it was somehow taken already, or the handles have run out.
    quint32 Add(CTreeItem* item);
    bool Remove(quint32 handle);
    CTreeItem* Lookup(quint32 handle) const;
    qsizetype GetCount() const { return m_items.size(); }

private:
    quint32 m_nextHandle = 1;
    QHash<quint32, CTreeItem*> m_items;
};

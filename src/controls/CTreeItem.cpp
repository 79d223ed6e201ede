#include "controls/CTreeItem.h"

#include "controls/CTreeItemRegistry.h"

#include <QMutex>
#include <QSet>

#include <utility>

namespace {

// Every live item, so that an address from elsewhere can be checked before it is used.
struct LiveItems
{
    QMutex mutex;
    QSet<const void*> items;
};

LiveItems& Live()
{
    static LiveItems live;
    return live;
}

} // namespace

CTreeItem::CTreeItem(CTreeItem* parent) : m_parent(parent)
{
    QMutexLocker lock(&Live().mutex);
    Live().items.insert(this);
}

CTreeItem::~CTreeItem()
{
    // An item deleted while still registered (or still among its parent's children) must not be
    // found afterwards. The invisible root, never registered, has handle 0.
    if (m_handle != 0)
        theTreeItemRegistry.Remove(this, true);
    m_parent = nullptr;
    CTreeItem::Clear();
    QMutexLocker lock(&Live().mutex);
    Live().items.remove(this);
}

bool CTreeItem::IsValidItem(const void* address)
{
    if (!address)
        return false;
    QMutexLocker lock(&Live().mutex);
    return Live().items.contains(address);
}

void CTreeItem::Clear()
{
    m_name.clear();
    DeleteChildren();
}

void CTreeItem::DeleteChildren()
{
    // The children are taken out all at once and deleted front to back: nothing shifts, and no
    // child's deletion has to look for itself among the ones still waiting.
    const QList<CTreeItem*> children = std::exchange(m_children, {});
    for (CTreeItem* child : children) {
        theTreeItemRegistry.Remove(child, false);
        delete child;
    }
}

CTreeItem* CTreeItem::GetChild(qsizetype index) const
{
    return index >= 0 && index < m_children.size() ? m_children[index] : nullptr;
}

void CTreeItem::RemoveChild(CTreeItem* item)
{
    if (IsValidItem(item))
        m_children.removeOne(item);
}

CFolderTreeItem::CFolderTreeItem(CTreeItem* parent, const QString& name, quint32 areaId, int image)
    : CTreeItem(parent), m_areaId(areaId), m_image(image)
{
    SetName(name);
}

void CFolderTreeItem::Clear()
{
    m_areaId = 0;
    m_image = -1;
    CTreeItem::Clear();
}

CFolderTreeItem* CFolderTreeItem::FromAddress(const void* address)
{
    if (!IsValidItem(address))
        return nullptr;
    return dynamic_cast<CFolderTreeItem*>(static_cast<CTreeItem*>(const_cast<void*>(address)));
}

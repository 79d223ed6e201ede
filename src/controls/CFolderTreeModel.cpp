#include "controls/CFolderTreeModel.h"

#include "controls/CTreeItemRegistry.h"
#include "resources/ExplorerIcons.h"

namespace {

// The node's normal picture, with the next picture of the image list for its selected state.
QIcon PairedIcon(ExplorerIcon normal, ExplorerIcon selected)
{
    QIcon icon;
    for (int size : {16, 32}) {
        icon.addPixmap(LoadExplorerIcon(normal).pixmap(size), QIcon::Normal);
        icon.addPixmap(LoadExplorerIcon(selected).pixmap(size), QIcon::Selected);
    }
    return icon;
}

} // namespace

CFolderTreeModel::CFolderTreeModel(QObject* parent)
    : QAbstractItemModel(parent),
      m_folderIcon(PairedIcon(ExplorerIcon::ClosedFolder, ExplorerIcon::OpenFolder)),
      m_searchIcon(PairedIcon(ExplorerIcon::Search, ExplorerIcon::SearchSelected))
{
}

void CFolderTreeModel::SetRoot(CFolderTreeItem* root)
{
    beginResetModel();
    m_rootHandle = CTreeItem::IsValidItem(root) ? root->GetHandle() : 0;
    endResetModel();
}

CFolderTreeItem* CFolderTreeModel::GetRoot() const
{
    return theTreeItemRegistry.LookupFolder(m_rootHandle);
}

CFolderTreeItem* CFolderTreeModel::ItemForIndex(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != this)
        return nullptr;
    return theTreeItemRegistry.LookupFolder(quint32(index.internalId()));
}

QModelIndex CFolderTreeModel::IndexForItem(const CTreeItem* item) const
{
    if (!CTreeItem::IsValidItem(item) || !theTreeItemRegistry.Lookup(item->GetHandle()))
        return QModelIndex();
    if (item->GetHandle() == m_rootHandle)
        return createIndex(0, 0, quintptr(m_rootHandle));
    const CTreeItem* parent = item->GetParent();
    if (!CTreeItem::IsValidItem(parent) || !IndexForItem(parent).isValid())
        return QModelIndex();
    return createIndex(int(parent->IndexOfChild(item)), 0, quintptr(item->GetHandle()));
}

void CFolderTreeModel::NotifyRenamed(const CTreeItem* item)
{
    const QModelIndex index = IndexForItem(item);
    if (index.isValid())
        emit dataChanged(index, index, {Qt::DisplayRole, Qt::AccessibleTextRole});
}

QModelIndex CFolderTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (column != 0 || row < 0)
        return QModelIndex();
    if (!parent.isValid())
        return row == 0 && GetRoot() ? createIndex(0, 0, quintptr(m_rootHandle)) : QModelIndex();
    const CTreeItem* item = ItemForIndex(parent);
    const CTreeItem* child = item ? item->GetChild(row) : nullptr;
    return child ? createIndex(row, 0, quintptr(child->GetHandle())) : QModelIndex();
}

QModelIndex CFolderTreeModel::parent(const QModelIndex& child) const
{
    const CTreeItem* item = ItemForIndex(child);
    if (!item || item->GetHandle() == m_rootHandle)
        return QModelIndex();
    return IndexForItem(item->GetParent());
}

int CFolderTreeModel::rowCount(const QModelIndex& parent) const
{
    if (parent.column() > 0)
        return 0;
    if (!parent.isValid())
        return GetRoot() ? 1 : 0;
    const CTreeItem* item = ItemForIndex(parent);
    return item ? int(item->GetChildCount()) : 0;
}

int CFolderTreeModel::columnCount(const QModelIndex&) const
{
    return 1;
}

QVariant CFolderTreeModel::data(const QModelIndex& index, int role) const
{
    const CFolderTreeItem* item = ItemForIndex(index);
    if (!item)
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return item->GetName();
    case Qt::DecorationRole:
        return item->GetImage() == 2 ? m_searchIcon : m_folderIcon;
    default:
        return QVariant();
    }
}

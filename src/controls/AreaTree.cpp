#include "controls/AreaTree.h"

#include "controls/CFolderTreeModel.h"
#include "controls/CTreeItem.h"
#include "resources/ExplorerIcons.h"

#include <QKeyEvent>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

namespace AreaTree {

QTreeWidget* CreateTree(QWidget* page, const QString& accessibleName)
{
    auto* tree = new QTreeWidget(page);
    tree->setHeaderHidden(true);
    tree->setColumnCount(1);
    tree->setAccessibleName(accessibleName);
    return tree;
}

bool IsToggleKey(const QEvent* event)
{
    return event->type() == QEvent::KeyPress && static_cast<const QKeyEvent*>(event)->key() == Qt::Key_Space;
}

QTreeWidgetItem* AddNode(QTreeWidget* tree, QTreeWidgetItem* parent, const CTreeItem* node)
{
    static const QIcon closed = LoadExplorerIcon(ExplorerIcon::ClosedFolder);
    static const QIcon open = LoadExplorerIcon(ExplorerIcon::OpenFolder);
    const CFolderTreeItem* folder = CFolderTreeItem::FromAddress(node);
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree);
    item->setText(0, node->GetName());
    item->setData(0, kAreaIdRole, folder ? double(folder->GetAreaId()) : 0.0);
    item->setData(0, kNodeTypeRole, node->GetType());
    // The items are not user-checkable: the mark follows the page's own set of areas.
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    if (node->GetChildCount() == 0) {
        item->setIcon(0, closed);
        item->setCheckState(0, Qt::Unchecked);
        return item;
    }
    // The open folder while selected.
    QIcon icon;
    icon.addPixmap(closed.pixmap(16, 16), QIcon::Normal);
    icon.addPixmap(open.pixmap(16, 16), QIcon::Selected);
    item->setIcon(0, icon);
    for (qsizetype i = 0; i < node->GetChildCount(); ++i) {
        const CTreeItem* child = node->GetChild(i);
        if (child && (child->GetType() == kNodeGroup || child->GetType() == kNodeArea))
            AddNode(tree, item, child); // not the search results, nor anything under them
    }
    return item;
}

QTreeWidgetItem* AddRoot(QTreeWidget* tree, const CFolderTreeModel* folders)
{
    const CTreeItem* root = folders ? folders->GetRoot() : nullptr;
    if (!root)
        return nullptr;
    QTreeWidgetItem* top = AddNode(tree, nullptr, root);
    top->setExpanded(true);
    return top;
}

void MarkArea(QTreeWidget* tree, double areaId, bool checked, bool scroll)
{
    for (QTreeWidgetItemIterator it(tree); *it; ++it) {
        QTreeWidgetItem* item = *it;
        if (item->data(0, kNodeTypeRole).toUInt() != kNodeArea ||
            item->data(0, kAreaIdRole).toDouble() != areaId)
            continue;
        item->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
        if (scroll)
            tree->scrollToItem(item);
    }
}

double CurrentAreaId(const QTreeWidget* tree)
{
    const QTreeWidgetItem* item = tree->currentItem();
    if (!item || item->data(0, kNodeTypeRole).toUInt() != kNodeArea)
        return 0;
    return item->data(0, kAreaIdRole).toDouble();
}

} // namespace AreaTree

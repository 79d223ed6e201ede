#pragma once

#include <QList>
#include <Qt>

class CFolderTreeModel;
class CTreeItem;
class QEvent;
class QString;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

// The explorer's groups and areas as a tree of marks, shared by the pages that put a file into
// areas: every area without children carries a mark, and an area that stands in several groups
// shows the same mark in each place.
namespace AreaTree {

// The area id an item stands for (0 for the root and groups), and its node's type.
constexpr int kAreaIdRole = Qt::UserRole + 1;
constexpr int kNodeTypeRole = Qt::UserRole + 2;

// A page's tree: one column, no header, named for screen readers.
QTreeWidget* CreateTree(QWidget* page, const QString& accessibleName);
// Whether the event is the keyboard's click on the tree's selected item: Space pressed.
bool IsToggleKey(const QEvent* event);

// Adds an item for the node, as the last child of parent (or at the tree's top level), and items
// for the groups and areas under it; the search results are left out. Returns the node's item.
QTreeWidgetItem* AddNode(QTreeWidget* tree, QTreeWidgetItem* parent, const CTreeItem* node);
// Adds the explorer's root ("Troveport") with everything under it as the tree's top item, opened;
// null when there is no tree.
QTreeWidgetItem* AddRoot(QTreeWidget* tree, const CFolderTreeModel* folders);
// Gives every item of the area the mark, scrolling each into view if asked (which opens its
// parents).
void MarkArea(QTreeWidget* tree, double areaId, bool checked, bool scroll);
// The area id of the tree's current item when that item is an area; 0 otherwise.
double CurrentAreaId(const QTreeWidget* tree);

// A click on an area for a page that keeps its own list: takes the first occurrence of the id out
// of the list when it is there, else appends it. True when the area is now chosen.
template<typename Id>
bool ToggleId(QList<Id>& ids, Id id)
{
    if (ids.removeOne(id))
        return false;
    ids.append(id);
    return true;
}

} // namespace AreaTree

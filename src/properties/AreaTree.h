#pragma once

#include <Qt>

class CTreeItem;
class QTreeWidget;
class QTreeWidgetItem;

// The explorer's groups and areas as a tree of marks, shared by the pages that put a file into
// areas: every area without children carries a mark, and an area that stands in several groups
// shows the same mark in each place.
namespace AreaTree {

// The area id an item stands for (0 for the root and groups), and its node's type.
constexpr int kAreaIdRole = Qt::UserRole + 1;
constexpr int kNodeTypeRole = Qt::UserRole + 2;

// Adds an item for the node, as the last child of parent (or at the tree's top level), and items
// for the groups and areas under it; the search results are left out. Returns the node's item.
QTreeWidgetItem* AddNode(QTreeWidget* tree, QTreeWidgetItem* parent, const CTreeItem* node);
// Gives every item of the area the mark, scrolling each into view if asked (which opens its
// parents).
void MarkArea(QTreeWidget* tree, double areaId, bool checked, bool scroll);
// The area id of the tree's current item when that item is an area; 0 otherwise.
double CurrentAreaId(const QTreeWidget* tree);

} // namespace AreaTree

#include "explorer/CFolderTreeView.h"

#include <QContextMenuEvent>
#include <QHeaderView>

CFolderTreeView::CFolderTreeView(QWidget* parent) : QTreeView(parent)
{
    setHeaderHidden(true);
    setRootIsDecorated(false); // expand buttons inside the tree, none beside "Troveport"
    setUniformRowHeights(true);
    setSelectionMode(SingleSelection);
    setEditTriggers(NoEditTriggers);
    setTabKeyNavigation(false);
    setAccessibleName(tr("Groups and areas"));
}

void CFolderTreeView::contextMenuEvent(QContextMenuEvent* event)
{
    // From the keyboard the menu opens at the selected node; from the mouse the node under the
    // pointer is selected first.
    if (event->reason() == QContextMenuEvent::Mouse) {
        const QModelIndex hit = indexAt(event->pos());
        if (hit.isValid())
            setCurrentIndex(hit);
        emit PopupMenuRequested(event->globalPos());
        return;
    }
    const QRect current = visualRect(currentIndex());
    emit PopupMenuRequested(viewport()->mapToGlobal(current.isValid() ? current.center() : QPoint()));
}

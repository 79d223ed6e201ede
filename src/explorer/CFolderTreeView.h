#pragma once

#include <QTreeView>

// The tree pane: groups and areas under "Troveport". Right-clicking selects the node under the
// pointer before the frame shows its menu.
class CFolderTreeView : public QTreeView
{
    Q_OBJECT

public:
    explicit CFolderTreeView(QWidget* parent = nullptr);

signals:
    void PopupMenuRequested(const QPoint& globalPosition);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
};

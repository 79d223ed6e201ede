#pragma once

#include <QAbstractItemModel>
#include <QIcon>

class CFolderTreeItem;
class CTreeItem;

// The tree pane's model over the registry's nodes. An index carries the node's registry handle,
// never its address, and every use looks the handle up first.
class CFolderTreeModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    explicit CFolderTreeModel(QObject* parent = nullptr);

    // Shows the tree under this root (a model reset).
    void SetRoot(CFolderTreeItem* root);
    CFolderTreeItem* GetRoot() const;
    CFolderTreeItem* ItemForIndex(const QModelIndex& index) const;
    QModelIndex IndexForItem(const CTreeItem* item) const;
    // Tells the views that a node's label changed.
    void NotifyRenamed(const CTreeItem* item);

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    quint32 m_rootHandle = 0;
    QIcon m_folderIcon;
    QIcon m_searchIcon;
};

#pragma once

#include <QList>
#include <QString>

// Kinds of node in the tree of groups and areas.
enum TreeNodeType : quint32 {
    kNodeRoot = 2,
    kNodeGroup = 3,
    kNodeArea = 4,
    kNodeSearchResults = 6,
};

// A node of the tree: a name, children in insertion order, a parent and the handle under which
// theTreeItemRegistry knows it. Nodes are handed around by handle; a pointer that arrives from
// elsewhere is first checked with IsValidItem.
class CTreeItem
{
public:
    explicit CTreeItem(CTreeItem* parent = nullptr);
    virtual ~CTreeItem();
    CTreeItem(const CTreeItem&) = delete;
    CTreeItem& operator=(const CTreeItem&) = delete;

    // True when the address is a live CTreeItem (of any class derived from it).
    static bool IsValidItem(const void* address);

    // Frees the name and deletes the children.
    virtual void Clear();
    // Unregisters and deletes the children, front to back.
    virtual void DeleteChildren();

    void SetName(const QString& name) { m_name = name; }
    const QString& GetName() const { return m_name; }
    CTreeItem* GetParent() const { return m_parent; }
    void SetParent(CTreeItem* parent) { m_parent = parent; }
    qsizetype GetChildCount() const { return m_children.size(); }
    CTreeItem* GetChild(qsizetype index) const;
    qsizetype IndexOfChild(const CTreeItem* child) const { return m_children.indexOf(child); }
    void AppendChild(CTreeItem* child) { m_children.append(child); }
    // Takes the first occurrence of the item out of the children, without deleting it.
    void RemoveChild(CTreeItem* item);

    quint32 GetType() const { return m_type; }
    void SetType(quint32 type) { m_type = type; }
    quint32 GetHandle() const { return m_handle; }
    void SetHandle(quint32 handle) { m_handle = handle; }

private:
    QString m_name;
    QList<CTreeItem*> m_children;
    CTreeItem* m_parent = nullptr;
    quint32 m_type = 0;
    quint32 m_handle = 0;
};

// A node shown in the tree: a group, an area, the root or the search results.
class CFolderTreeItem : public CTreeItem
{
public:
    CFolderTreeItem() : CTreeItem(nullptr) {}
    CFolderTreeItem(CTreeItem* parent, const QString& name, quint32 areaId, int image);

    void Clear() override;

    quint32 GetAreaId() const { return m_areaId; }
    int GetImage() const { return m_image; }
    // Non-zero once the node stands in the tree pane.
    quint32 GetTreeHandle() const { return m_treeHandle; }
    void SetTreeHandle(quint32 handle) { m_treeHandle = handle; }

    // The address as a live folder item, or null.
    static CFolderTreeItem* FromAddress(const void* address);

private:
    quint32 m_treeHandle = 0;
    quint32 m_areaId = 0;
    int m_image = -1;
};

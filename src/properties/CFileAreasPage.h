#pragma once

#include "adding/wizard/CWizardPage.h"
#include "controls/AreaTree.h"

#include <QList>

class CFileRecord;
class CFolderTreeModel;
class QTreeWidget;

// "File Areas": the explorer's groups and areas with a mark on each area that holds the file. A
// click on an area links or unlinks the file at once; the page cannot be left while the file is
// in no area.
class CFileAreasPage : public CWizardPage
{
    Q_OBJECT

public:
    static constexpr quint32 kTemplateId = 0x0120;
    static constexpr quint32 kHelpTopic = 20;
    // The area id a tree item stands for (0 for a group), and its node's type.
    static constexpr int kAreaIdRole = AreaTree::kAreaIdRole;
    static constexpr int kNodeTypeRole = AreaTree::kNodeTypeRole;

    // The tree is built from the explorer's tree model when the page is first shown.
    CFileAreasPage(CFileRecord* file, const CFolderTreeModel* folders, QWidget* parent = nullptr);

    bool OnSetActive() override;
    bool OnKillActive() override;

    QTreeWidget* GetTree() const { return m_tree; }
    // The areas the file belongs to, in the order learned.
    const QList<double>& GetAreaIds() const { return m_areaIds; }

    // A click in the tree: acts on the selected item.
    void OnClickTree();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildTree();

    CFileRecord* m_file;
    const CFolderTreeModel* m_folders;
    bool m_loaded = false;
    QList<double> m_areaIds;
    QTreeWidget* m_tree = nullptr;
};

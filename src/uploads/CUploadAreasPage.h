#pragma once

#include "adding/wizard/CWizardPage.h"

#include <QList>

class CFolderTreeModel;
class QTreeWidget;

// "File Areas" of an upload under review: the explorer's groups and areas with a mark on each area
// the upload is to be posted into. A double-click (or Space) on an area changes the upload's list
// at once, so the sheet can no longer be cancelled; the page cannot be left with no area chosen.
class CUploadAreasPage : public CWizardPage
{
    Q_OBJECT

public:
    static constexpr quint32 kTemplateId = 0x0160;
    static constexpr quint32 kHelpTopic = 20;

    // areaIds is the upload's own list, edited in place; the tree is built from the explorer's
    // tree model when the page is first shown.
    CUploadAreasPage(QList<quint32>& areaIds, const CFolderTreeModel* folders, QWidget* parent = nullptr);

    bool OnSetActive() override;
    bool OnKillActive() override;

    QTreeWidget* GetTree() const { return m_tree; }

    // A double-click, or Space: toggles the selected item when it is an area.
    void OnToggle();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildTree();

    QList<quint32>& m_areaIds;
    const CFolderTreeModel* m_folders;
    bool m_loaded = false;
    QTreeWidget* m_tree = nullptr;
};

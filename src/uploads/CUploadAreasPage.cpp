#include "uploads/CUploadAreasPage.h"

#include "controls/AreaTree.h"
#include "controls/CMessageBox.h"
#include "controls/CPropertySheet.h"

#include <QTreeWidget>
#include <QVBoxLayout>

CUploadAreasPage::CUploadAreasPage(QList<quint32>& areaIds, const CFolderTreeModel* folders, QWidget* parent)
    : CWizardPage(kTemplateId, tr("File Areas"), parent), m_areaIds(areaIds), m_folders(folders)
{
    SetHelpTopic(kHelpTopic);
    m_tree = AreaTree::CreateTree(this, GetTitle());
    connect(m_tree, &QTreeWidget::itemDoubleClicked, this, [this] { OnToggle(); });
    m_tree->installEventFilter(this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tree);
}

bool CUploadAreasPage::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_tree && AreaTree::IsToggleKey(event)) {
        OnToggle();
        return true;
    }
    return CWizardPage::eventFilter(watched, event);
}

void CUploadAreasPage::BuildTree()
{
    AreaTree::AddRoot(m_tree, m_folders);
    for (quint32 areaId : std::as_const(m_areaIds))
        AreaTree::MarkArea(m_tree, areaId, true, true);
}

bool CUploadAreasPage::OnSetActive()
{
    if (!m_loaded) {
        BuildTree();
        m_loaded = true;
    }
    return CWizardPage::OnSetActive();
}

void CUploadAreasPage::OnToggle()
{
    const double areaId = AreaTree::CurrentAreaId(m_tree);
    if (areaId == 0)
        return;
    AreaTree::MarkArea(m_tree, areaId, AreaTree::ToggleId(m_areaIds, quint32(areaId)), false);
    // The upload's list has changed for good: Cancel could not put it back.
    if (CPropertySheet* sheet = GetSheet())
        sheet->CancelToClose();
}

bool CUploadAreasPage::OnKillActive()
{
    if (!m_areaIds.isEmpty())
        return true;
    CMessageBox::Show(this, tr("You must select the file into at least one file area."));
    return false;
}

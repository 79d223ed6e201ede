#include "properties/CFileAreasPage.h"

#include "controls/AreaTree.h"
#include "controls/CFolderTreeModel.h"
#include "controls/CMessageBox.h"
#include "controls/CTreeItem.h"
#include "database/CFileRecord.h"
#include "database/CTroveportDatabaseManager.h"
#include "files/SafeFormat.h"
#include "properties/FileProperties.h"

#include <QTreeWidget>
#include <QVBoxLayout>

CFileAreasPage::CFileAreasPage(CFileRecord* file, const CFolderTreeModel* folders, QWidget* parent)
    : CWizardPage(kTemplateId, tr("File Areas"), parent), m_file(file), m_folders(folders)
{
    SetHelpTopic(kHelpTopic);
    m_tree = AreaTree::CreateTree(this, GetTitle());
    // The items are not user-checkable: a click on a mark would change it by itself, while here
    // the mark follows what the database accepted.
    connect(m_tree, &QTreeWidget::itemClicked, this, [this] { OnClickTree(); });
    m_tree->installEventFilter(this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tree);
}

bool CFileAreasPage::eventFilter(QObject* watched, QEvent* event)
{
    // The keyboard's click: Space on the selected item.
    if (watched == m_tree && AreaTree::IsToggleKey(event)) {
        OnClickTree();
        return true;
    }
    return CWizardPage::eventFilter(watched, event);
}

void CFileAreasPage::BuildTree()
{
    // The groups stand at the top level: the root is no item here.
    if (const CTreeItem* root = m_folders ? m_folders->GetRoot() : nullptr) {
        for (qsizetype i = 0; i < root->GetChildCount(); ++i) {
            const CTreeItem* child = root->GetChild(i);
            if (child && (child->GetType() == kNodeGroup || child->GetType() == kNodeArea))
                AreaTree::AddNode(m_tree, nullptr, child);
        }
    }
    QList<double> areaIds;
    if (!theDatabaseManager.GetAreaIDsForFile(m_file->file_id, areaIds))
        return;
    for (double areaId : std::as_const(areaIds)) {
        m_areaIds.append(areaId);
        AreaTree::MarkArea(m_tree, areaId, true, true);
    }
}

bool CFileAreasPage::OnSetActive()
{
    if (!m_loaded) {
        BuildTree();
        m_loaded = true;
    }
    return CWizardPage::OnSetActive();
}

void CFileAreasPage::OnClickTree()
{
    const double areaId = AreaTree::CurrentAreaId(m_tree);
    if (areaId == 0)
        return;
    const bool wasLinked = m_areaIds.contains(areaId);
    QString failure;
    // An area in two groups stands in the tree twice: both items show the same.
    AreaTree::MarkArea(m_tree, areaId, ToggleFileArea(*m_file, m_areaIds, areaId, &failure), false);
    if (failure.isEmpty())
        return;
    const QString area = ElideStoredText(m_tree->currentItem()->text(0));
    CMessageBox::Show(this,
                      wasLinked ? SafeFormat(u"The file could not be taken out of the area %s:\n%s", area, failure)
                                : SafeFormat(u"The file could not be put into the area %s:\n%s", area, failure),
                      QString(), QMessageBox::Warning);
}

bool CFileAreasPage::OnKillActive()
{
    if (!m_areaIds.isEmpty())
        return true;
    CMessageBox::Show(this, tr("You must select the file into at least one file area."));
    return false;
}

#include "properties/CFileAreasPage.h"

#include "controls/CMessageBox.h"
#include "database/CFileRecord.h"
#include "database/CTroveportDatabaseManager.h"
#include "explorer/CFolderTreeModel.h"
#include "explorer/CTreeItem.h"
#include "properties/FileProperties.h"
#include "resources/ExplorerIcons.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>

CFileAreasPage::CFileAreasPage(CFileRecord* file, const CFolderTreeModel* folders, QWidget* parent)
    : CWizardPage(kTemplateId, tr("File Areas"), parent), m_file(file), m_folders(folders)
{
    SetHelpTopic(kHelpTopic);
    m_tree = new QTreeWidget(this);
    m_tree->setHeaderHidden(true);
    m_tree->setColumnCount(1);
    m_tree->setAccessibleName(GetTitle());
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
    if (watched == m_tree && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space) {
        OnClickTree();
        return true;
    }
    return CWizardPage::eventFilter(watched, event);
}

void CFileAreasPage::AddChildren(const CTreeItem* node, QTreeWidgetItem* parent)
{
    static const QIcon closed = LoadExplorerIcon(ExplorerIcon::ClosedFolder);
    static const QIcon open = LoadExplorerIcon(ExplorerIcon::OpenFolder);
    for (qsizetype i = 0; i < node->GetChildCount(); ++i) {
        const CTreeItem* child = node->GetChild(i);
        if (!child || (child->GetType() != kNodeGroup && child->GetType() != kNodeArea))
            continue; // the search results, and anything under them
        const CFolderTreeItem* folder = CFolderTreeItem::FromAddress(child);
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(m_tree);
        item->setText(0, child->GetName());
        item->setData(0, kAreaIdRole, folder ? double(folder->GetAreaId()) : 0.0);
        item->setData(0, kNodeTypeRole, child->GetType());
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        if (child->GetChildCount() == 0) {
            item->setIcon(0, closed);
            item->setCheckState(0, Qt::Unchecked);
        } else {
            // The open folder while selected.
            QIcon icon;
            icon.addPixmap(closed.pixmap(16, 16), QIcon::Normal);
            icon.addPixmap(open.pixmap(16, 16), QIcon::Selected);
            item->setIcon(0, icon);
            AddChildren(child, item);
        }
    }
}

void CFileAreasPage::BuildTree()
{
    if (const CTreeItem* root = m_folders ? m_folders->GetRoot() : nullptr)
        AddChildren(root, nullptr);
    QList<double> areaIds;
    if (!theDatabaseManager.GetAreaIDsForFile(m_file->file_id, areaIds))
        return;
    for (double areaId : std::as_const(areaIds)) {
        m_areaIds.append(areaId);
        MarkArea(areaId, true, true);
    }
}

void CFileAreasPage::MarkArea(double areaId, bool checked, bool scroll)
{
    for (QTreeWidgetItemIterator it(m_tree); *it; ++it) {
        QTreeWidgetItem* item = *it;
        if (item->data(0, kNodeTypeRole).toUInt() != kNodeArea ||
            item->data(0, kAreaIdRole).toDouble() != areaId)
            continue;
        item->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
        if (scroll)
            m_tree->scrollToItem(item); // opens its parents
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
    const QTreeWidgetItem* item = m_tree->currentItem();
    if (!item || item->data(0, kNodeTypeRole).toUInt() != kNodeArea)
        return;
    const double areaId = item->data(0, kAreaIdRole).toDouble();
    // An area in two groups stands in the tree twice: both items show the same.
    MarkArea(areaId, ToggleFileArea(*m_file, m_areaIds, areaId), false);
}

bool CFileAreasPage::OnKillActive()
{
    if (!m_areaIds.isEmpty())
        return true;
    CMessageBox::Show(this, tr("You must select the file into at least one file area."));
    return false;
}

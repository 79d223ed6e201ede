#include "adding/addfile/CAddFileTitlePage.h"

#include "adding/addfile/AddFileSource.h"
#include "adding/addfile/CNewFileSource.h"
#include "controls/AreaTree.h"
#include "controls/CFolderTreeModel.h"
#include "controls/CMessageBox.h"
#include "controls/CPropertySheet.h"
#include "controls/CTreeItem.h"
#include "controls/PageControls.h"
#include "database/CFileRecord.h"
#include "files/PathUtils.h"

#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>
#include <QVBoxLayout>

CAddFileTitlePage::CAddFileTitlePage(const CNewFileSource& source, NewFileEntries& entries,
                                     const CFolderTreeModel* folders, QWidget* parent)
    : CWizardPage(kTemplateId, QString(), parent), m_source(source), m_entries(entries)
{
    SetHelpTopic(kHelpTopic);
    auto* text = new QLabel(tr("Please enter the title for the file you are adding. Then, select the file "
                               "area to receive the file."),
                            this);
    text->setWordWrap(true);
    NameAfterText(text, text->text());
    m_title = new QLineEdit(this);
    m_title->setMaxLength(CFileRecord::kTitleLength);
    m_tree = AreaTree::CreateTree(this, QString());
    auto* titleLabel = new QLabel(tr("File &Title:"), this);
    auto* areasLabel = new QLabel(tr("File &Areas:"), this);
    titleLabel->setBuddy(m_title);
    areasLabel->setBuddy(m_tree);
    for (QLabel* label : {titleLabel, areasLabel})
        NameAfterText(label, label->text());
    NameAfterText(m_title, titleLabel->text());
    NameAfterText(m_tree, areasLabel->text());
    connect(m_tree, &QTreeWidget::itemClicked, this, [this] { OnClickTree(); });
    m_tree->installEventFilter(this);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(titleLabel);
    layout->addWidget(m_title);
    layout->addWidget(areasLabel);
    layout->addWidget(m_tree, 1);
    BuildTree(folders);
}

void CAddFileTitlePage::BuildTree(const CFolderTreeModel* folders)
{
    QTreeWidgetItem* top = AreaTree::AddRoot(m_tree, folders);
    if (!top)
        return;
    for (int i = 0; i < top->childCount(); ++i)
        top->child(i)->setExpanded(true);
    m_tree->scrollToItem(top);
}

bool CAddFileTitlePage::eventFilter(QObject* watched, QEvent* event)
{
    // The keyboard's click: Space on the selected item.
    if (watched == m_tree && AreaTree::IsToggleKey(event)) {
        OnClickTree();
        return true;
    }
    return CWizardPage::eventFilter(watched, event);
}

void CAddFileTitlePage::OnClickTree()
{
    const double areaId = AreaTree::CurrentAreaId(m_tree);
    if (areaId == 0)
        return;
    const bool chosen = AreaTree::ToggleId(m_entries.areaIds, areaId);
    // An area in two groups stands in the tree twice: both items show the same.
    AreaTree::MarkArea(m_tree, areaId, chosen, false);
}

void CAddFileTitlePage::Refill()
{
    if (!m_source.ChangedSince(m_filledGeneration))
        return;
    QString title;
    if (m_source.IsSubmissionUsed())
        title = m_source.GetSubmission().GetValue(QStringLiteral("Title"));
    else if (m_source.GetKind() == CNewFileSource::kLocalFile)
        title = LocalFileTitle(m_source.GetText());
    m_entries.title = title;
    m_title->setText(title);
}

bool CAddFileTitlePage::OnSetActive()
{
    if (CPropertySheet* sheet = GetSheet())
        sheet->SetWizardButtons(CPropertySheet::kBack | CPropertySheet::kNext);
    Refill();
    return CWizardPage::OnSetActive();
}

bool CAddFileTitlePage::OnKillActive()
{
    QString title = m_title->text();
    m_entries.title = TrimString(title);
    if (m_entries.title.isEmpty()) {
        CMessageBox::Show(this, tr("Please enter a valid file title."));
        return false;
    }
    if (m_entries.areaIds.isEmpty()) {
        CMessageBox::Show(this, tr("Please select a file area to receive the file."));
        return false;
    }
    return true;
}

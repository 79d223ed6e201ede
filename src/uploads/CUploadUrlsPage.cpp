#include "uploads/CUploadUrlsPage.h"

#include "adding/CDownloadUrlDialog.h"
#include "controls/CMessageBox.h"
#include "controls/CModalRun.h"
#include "properties/PageControls.h"

#include <QListWidget>
#include <QPushButton>

CUploadUrlsPage::CUploadUrlsPage(QStringList& urls, QWidget* parent)
    : CWizardPage(kTemplateId, tr("URLs"), parent), m_urls(urls)
{
    SetHelpTopic(kHelpTopic);
    const LocationListControls controls = BuildLocationListControls(this, nullptr);
    m_list = controls.list;
    m_list->setSortingEnabled(true);
    m_list->setAccessibleName(GetTitle());
    m_add = controls.add;
    m_edit = controls.edit;
    m_remove = controls.remove;
    connect(m_add, &QPushButton::clicked, this, &CUploadUrlsPage::OnAdd);
    connect(m_edit, &QPushButton::clicked, this, &CUploadUrlsPage::OnEdit);
    connect(m_remove, &QPushButton::clicked, this, &CUploadUrlsPage::OnRemove);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &CUploadUrlsPage::OnEdit);
    // Filled at once: OK writes the list back even when the page was never shown.
    m_list->addItems(m_urls);
}

bool CUploadUrlsPage::OnKillActive()
{
    if (m_list->count() > 0)
        return true;
    CMessageBox::Show(this, tr("Please add at least one URL for this file."));
    return false;
}

void CUploadUrlsPage::OnOK()
{
    m_urls.clear();
    for (int i = 0; i < m_list->count(); ++i)
        m_urls.append(m_list->item(i)->text());
}

void CUploadUrlsPage::AddLocation(const QString& location)
{
    // Posting adds each location once: a second copy would only make the post fail.
    QList<QListWidgetItem*> same = m_list->findItems(location, Qt::MatchExactly | Qt::MatchCaseSensitive);
    QListWidgetItem* item = same.value(0);
    if (!item) {
        item = new QListWidgetItem(location);
        m_list->addItem(item);
    }
    m_list->setCurrentItem(item);
}

void CUploadUrlsPage::OnAdd()
{
    CDownloadUrlDialog dialog(this);
    if (CModalRun::Exec(dialog) == QDialog::Accepted)
        AddLocation(dialog.GetLocation());
}

void CUploadUrlsPage::OnEdit()
{
    QListWidgetItem* item = m_list->selectedItems().value(0);
    if (!item)
        return;
    CDownloadUrlDialog dialog(this);
    dialog.SetLocation(item->text());
    if (CModalRun::Exec(dialog) != QDialog::Accepted)
        return;
    delete item;
    AddLocation(dialog.GetLocation());
}

void CUploadUrlsPage::OnRemove()
{
    QListWidgetItem* item = m_list->selectedItems().value(0);
    if (!item)
        return;
    if (CMessageBox::Show(this, tr("Are you sure you want to remove this URL?"), tr("Question"),
                          QMessageBox::Question, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes)
        delete item;
}

#include "uploads/CUploadUrlsPage.h"

#include "adding/download/CDownloadUrlDialog.h"
#include "controls/CMessageBox.h"
#include "controls/CModalRun.h"

#include <QListWidget>
#include <QPushButton>

CUploadUrlsPage::CUploadUrlsPage(QStringList& urls, QWidget* parent)
    : CLocationListPage(kTemplateId, tr("URLs"), nullptr, tr("URLs"), parent), m_urls(urls)
{
    SetHelpTopic(kHelpTopic);
    m_list->setSortingEnabled(true);
    // Filled at once: OK writes the list back even when the page was never shown.
    m_list->addItems(m_urls);
}

bool CUploadUrlsPage::OnKillActive()
{
    return RequireLocation(tr("Please add at least one URL for this file."));
}

void CUploadUrlsPage::OnOK()
{
    m_urls = ListedLocations();
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

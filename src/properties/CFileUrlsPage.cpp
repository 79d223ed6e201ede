#include "properties/CFileUrlsPage.h"

#include "adding/download/CDownloadUrlDialog.h"
#include "controls/CMessageBox.h"
#include "controls/CModalRun.h"
#include "controls/CPropertySheet.h"
#include "database/CFileRecord.h"
#include "database/CTroveportDatabaseManager.h"
#include "files/SafeFormat.h"
#include "properties/FileProperties.h"

#include <QListWidget>
#include <QPushButton>

CFileUrlsPage::CFileUrlsPage(CFileRecord* file, QWidget* parent)
    : CLocationListPage(kTemplateId, tr("URLs"), nullptr, tr("URLs"), parent), m_file(file)
{
    SetHelpTopic(kHelpTopic);
    m_list->setSortingEnabled(true);
}

bool CFileUrlsPage::OnSetActive()
{
    if (!m_loaded) {
        QStringList urls;
        if (theDatabaseManager.GetDownloadURLs(m_file->file_id, urls)) {
            for (const QString& url : std::as_const(urls))
                AddLocationItem(url);
        }
        m_loaded = true;
    }
    return CWizardPage::OnSetActive();
}

bool CFileUrlsPage::OnKillActive()
{
    return RequireLocation(tr("Please add at least one URL for this file."));
}

void CFileUrlsPage::CancelToClose()
{
    if (CPropertySheet* sheet = GetSheet())
        sheet->CancelToClose();
}

void CFileUrlsPage::AddLocation(const QString& location)
{
    StartWriteWatch(*m_file->GetManager());
    if (!m_file->AddDownloadURL(location)) {
        ReportFailure(u"The location %s could not be added:\n%s", location);
        return;
    }
    m_list->setCurrentItem(AddLocationItem(location));
    CancelToClose();
}

void CFileUrlsPage::RemoveLocation(QListWidgetItem* item)
{
    const QString location = LocationOf(item);
    StartWriteWatch(*m_file->GetManager());
    if (!m_file->DeleteDownloadURL(location)) {
        ReportFailure(u"The location %s could not be removed:\n%s", location);
        return;
    }
    delete item;
    CancelToClose();
}

void CFileUrlsPage::ReportFailure(QStringView format, const QString& location)
{
    CMessageBox::Show(this,
                      SafeFormat(format, ElideStoredText(location),
                                 WriteFailure(*m_file->GetManager(), FileGoneReason())),
                      QString(), QMessageBox::Warning);
}

void CFileUrlsPage::OnAdd()
{
    CDownloadUrlDialog dialog(this);
    if (CModalRun::Exec(dialog) == QDialog::Accepted)
        AddLocation(dialog.GetLocation());
}

void CFileUrlsPage::OnEdit()
{
    QListWidgetItem* item = m_list->selectedItems().value(0);
    if (!item)
        return;
    const QString old = LocationOf(item);
    CDownloadUrlDialog dialog(this);
    dialog.SetLocation(old);
    if (CModalRun::Exec(dialog) != QDialog::Accepted || dialog.GetSiteUrl() == old)
        return;
    // A local location always arrives here, since its site URL text is empty: it is replaced by
    // what the dialog forms, even when that is the same. The new one is added even when the old
    // one could not be removed.
    RemoveLocation(item);
    AddLocation(dialog.GetLocation());
}

void CFileUrlsPage::OnRemove()
{
    QListWidgetItem* item = m_list->selectedItems().value(0);
    if (!item ||
        CMessageBox::Show(this, tr("Are you sure you want to delete this item?"), tr("Question"),
                          QMessageBox::Question, QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    RemoveLocation(item);
}

#include "adding/addfile/CAddFileUrlPage.h"

#include "adding/addfile/AddFileSource.h"
#include "adding/addfile/CNewFileSource.h"
#include "adding/addfile/NewFileEntries.h"
#include "adding/download/CDownloadUrlDialog.h"
#include "controls/CMessageBox.h"
#include "controls/CModalRun.h"
#include "controls/CPropertySheet.h"
#include "controls/PageControls.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

namespace {

QLabel* Heading()
{
    auto* text = new QLabel(CAddFileUrlPage::tr("Add available download URL's for the selected file."));
    text->setWordWrap(true);
    NameAfterText(text, text->text());
    return text;
}

} // namespace

CAddFileUrlPage::CAddFileUrlPage(const CNewFileSource& source, NewFileEntries& entries, QWidget* parent)
    : CLocationListPage(kTemplateId, QString(), Heading(), tr("Download URLs"), parent), m_source(source),
      m_entries(entries)
{
    SetHelpTopic(kHelpTopic);
}

QStringList CAddFileUrlPage::GetLocations() const
{
    return ListedLocations();
}

void CAddFileUrlPage::Refill()
{
    if (!m_source.ChangedSince(m_filledGeneration))
        return;
    m_list->clear();
    if (m_source.IsSubmissionUsed()) {
        for (const QString& location : ReadSubmissionLocations(m_source.GetSubmission()))
            AddLocationItem(location);
    } else if (m_source.GetKind() == CNewFileSource::kWebFile) {
        AddLocationItem(m_source.GetText());
    } else if (m_source.GetKind() == CNewFileSource::kLocalFile) {
        // The dialog opens over the page, not while the sheet is still switching to it.
        QTimer::singleShot(0, this, [this, path = m_source.GetText()] { AddLocalFile(path); });
    }
}

void CAddFileUrlPage::AddLocalFile(const QString& path)
{
    CDownloadUrlDialog dialog(path, this);
    if (CModalRun::Exec(dialog) == QDialog::Accepted)
        AddLocationItem(dialog.GetLocation());
}

bool CAddFileUrlPage::OnSetActive()
{
    if (CPropertySheet* sheet = GetSheet())
        sheet->SetWizardButtons(CPropertySheet::kBack | CPropertySheet::kNext);
    Refill();
    return CWizardPage::OnSetActive();
}

bool CAddFileUrlPage::OnKillActive()
{
    if (!RequireLocation(tr("Please enter at least one valid download URL.")))
        return false;
    m_entries.locations = ListedLocations();
    return true;
}

void CAddFileUrlPage::OnAdd()
{
    CDownloadUrlDialog dialog(this);
    if (CModalRun::Exec(dialog) == QDialog::Accepted)
        AddLocationItem(dialog.GetLocation());
}

void CAddFileUrlPage::OnEdit()
{
    const int row = m_list->currentRow();
    QListWidgetItem* item = m_list->currentItem();
    if (!item || !item->isSelected())
        return;
    CDownloadUrlDialog dialog(this);
    dialog.SetLocation(LocationOf(item));
    if (CModalRun::Exec(dialog) != QDialog::Accepted)
        return;
    delete m_list->takeItem(row);
    AddLocationItem(dialog.GetLocation(), row);
    m_list->setCurrentRow(row);
}

void CAddFileUrlPage::OnRemove()
{
    QListWidgetItem* item = m_list->currentItem();
    if (!item || !item->isSelected())
        return;
    if (CMessageBox::Show(this, tr("Are you sure you want to delete this item?"), tr("Question"),
                          QMessageBox::Question, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes)
        delete m_list->takeItem(m_list->row(item));
}

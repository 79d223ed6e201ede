#include "adding/addfile/CAddFileUrlPage.h"

#include "adding/addfile/AddFileSource.h"
#include "adding/addfile/CAddFileWizard.h"
#include "adding/download/CDownloadUrlDialog.h"
#include "controls/CMessageBox.h"
#include "controls/CModalRun.h"
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

CAddFileUrlPage::CAddFileUrlPage(QWidget* parent)
    : CLocationListPage(kTemplateId, QString(), Heading(), tr("Download URLs"), parent)
{
    SetHelpTopic(kHelpTopic);
}

QStringList CAddFileUrlPage::GetLocations() const
{
    return ListedLocations();
}

void CAddFileUrlPage::Refill()
{
    auto* wizard = CAddFileWizard::SourceChangedSince(GetSheet(), m_filledGeneration);
    if (!wizard)
        return;
    m_list->clear();
    if (wizard->IsSubmissionUsed()) {
        for (const QString& location : ReadSubmissionLocations(wizard->GetSubmission()))
            AddLocationItem(location);
    } else if (wizard->GetSourceKind() == CAddFileWizard::kWebFile) {
        AddLocationItem(wizard->GetSourceText());
    } else if (wizard->GetSourceKind() == CAddFileWizard::kLocalFile) {
        // The dialog opens over the page, not while the sheet is still switching to it.
        QTimer::singleShot(0, this, [this, path = wizard->GetSourceText()] { AddLocalFile(path); });
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
    return RequireLocation(tr("Please enter at least one valid download URL."));
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

#include "adding/addfile/CAddFileFinishedPage.h"

#include "adding/addfile/AddFileSource.h"
#include "adding/addfile/NewFileEntries.h"
#include "controls/CMessageBox.h"
#include "controls/CPropertySheet.h"
#include "controls/PageControls.h"
#include "database/CFileRecord.h"
#include "database/CSavepoint.h"
#include "database/CTroveportDatabaseManager.h"
#include "files/SafeFormat.h"

#include <QLabel>
#include <QVBoxLayout>

CAddFileFinishedPage::CAddFileFinishedPage(const NewFileEntries& entries, QWidget* parent)
    : CWizardPage(kTemplateId, QString(), parent), m_entries(entries)
{
    SetHelpTopic(kHelpTopic);
    auto* text = new QLabel(tr("You are now ready to add the selected file to the system. To do so, click "
                               "Finish. Otherwise, press Back to change your settings."),
                            this);
    text->setWordWrap(true);
    NameAfterText(text, text->text());
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addStretch();
}

bool CAddFileFinishedPage::OnSetActive()
{
    if (CPropertySheet* sheet = GetSheet())
        sheet->SetWizardButtons(CPropertySheet::kBack | CPropertySheet::kFinish);
    return CWizardPage::OnSetActive();
}

bool CAddFileFinishedPage::OnWizardFinish()
{
    CFileRecord record(&theDatabaseManager);
    record.title = m_entries.title;
    record.file_size = m_entries.fileSize;
    record.short_desc = m_entries.brief;
    record.long_desc = m_entries.detailed;
    record.upld_name = m_entries.authorName;
    record.upld_email = m_entries.email;
    record.version = m_entries.version;
    record.requires_form = m_entries.requiresForm ? 1 : 0;
    record.file_date = m_entries.fileDate;
    // The file with its links and locations lands whole or not at all; a refusal (a lock the site
    // held too long, a rule of its own) is told, and the wizard stays so that nothing is lost.
    theDatabaseManager.TakeLastError();
    bool stored = false;
    {
        CSavepoint whole(&theDatabaseManager, QStringLiteral("add_file"));
        stored = StoreNewFile(record, m_entries.areaIds, m_entries.locations) && whole.Release();
    }
    if (stored)
        return true;
    const QString logged = theDatabaseManager.TakeLastError();
    CMessageBox::Show(this,
                      SafeFormat(u"The file \"%s\" could not be added to the library:\n%s\n\nPress Finish to try "
                                 u"again, or Cancel to give it up.",
                                 ElideStoredText(record.title),
                                 logged.isEmpty() ? QStringLiteral("the database refused it.")
                                                  : ElideStoredText(logged, 400)),
                      QString(), QMessageBox::Warning);
    return false;
}

#include "adding/addfile/CAddFileFinishedPage.h"

#include "adding/addfile/AddFileSource.h"
#include "adding/addfile/CAddFileDetailsPage.h"
#include "adding/addfile/CAddFilesDescriptionPage.h"
#include "adding/addfile/CAddFileTitlePage.h"
#include "adding/addfile/CAddFileUrlPage.h"
#include "adding/addfile/CAddFileWizard.h"
#include "controls/CDateEdit.h"
#include "controls/CMessageBox.h"
#include "controls/PageControls.h"
#include "database/CFileRecord.h"
#include "database/CSavepoint.h"
#include "database/CTroveportDatabaseManager.h"
#include "files/SafeFormat.h"

#include <QLabel>
#include <QVBoxLayout>

CAddFileFinishedPage::CAddFileFinishedPage(QWidget* parent) : CWizardPage(kTemplateId, QString(), parent)
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
    auto* wizard = qobject_cast<CAddFileWizard*>(GetSheet());
    if (!wizard)
        return true;
    const CAddFileTitlePage* title = wizard->GetTitlePage();
    const CAddFileDetailsPage* details = wizard->GetDetailsPage();
    const CAddFilesDescriptionPage* description = wizard->GetDescriptionPage();
    CFileRecord record(&theDatabaseManager);
    record.title = title->GetFileTitle();
    record.file_size = details->GetFileSize();
    record.short_desc = description->GetBrief();
    record.long_desc = description->GetDetailed();
    record.upld_name = details->GetAuthorName();
    record.upld_email = details->GetEmailAddress();
    record.version = details->GetVersion();
    record.requires_form = details->GetRequiresForm() ? 1 : 0;
    record.file_date = details->GetDateEdit()->GetTime(); // 12:00 UTC of the day shown
    // The file with its links and locations lands whole or not at all; a refusal (a lock the site
    // held too long, a rule of its own) is told, and the wizard stays so that nothing is lost.
    theDatabaseManager.TakeLastError();
    bool stored = false;
    {
        CSavepoint whole(&theDatabaseManager, QStringLiteral("add_file"));
        stored = StoreNewFile(record, title->GetAreaIds(), wizard->GetUrlPage()->GetLocations()) &&
                 whole.Release();
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

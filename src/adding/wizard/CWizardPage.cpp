#include "adding/wizard/CWizardPage.h"

#include "adding/wizard/CWizard.h"

CWizardPage::CWizardPage(quint32 templateId, const QString& title, QWidget* parent)
    : CHelpPropertyPage(templateId & 0xFFFFu, title, parent)
{
}

CWizard* CWizardPage::GetWizard() const
{
    return qobject_cast<CWizard*>(GetSheet());
}

int CWizardPage::OnWizardNext()
{
    if (CWizard* wizard = GetWizard())
        wizard->PushPage(GetPageId());
    return 0;
}

int CWizardPage::OnWizardBack()
{
    if (CWizard* wizard = GetWizard())
        return wizard->PopPage();
    return 0; // in a plain sheet: the previous page in order
}

bool CWizardPage::OnHelpRequest(const HelpRequest&)
{
    return OnCommandHelp();
}

#include "adding/addfile/CAddFileClipboardPage.h"

#include "adding/addfile/CAddFileTitlePage.h"
#include "adding/addfile/CNewFileSource.h"
#include "controls/CPropertySheet.h"
#include "controls/PageControls.h"

#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

CAddFileClipboardPage::CAddFileClipboardPage(CNewFileSource& source, QWidget* parent)
    : CWizardPage(kTemplateId, QString(), parent), m_source(source)
{
    SetHelpTopic(kHelpTopic);
    auto* text = new QLabel(tr("A formatted file submission was found on your clipboard. Would you like to "
                               "process this file now?"),
                            this);
    text->setWordWrap(true);
    NameAfterText(text, text->text());
    m_yes = new QRadioButton(tr("&Yes, process the formatted file submission now."), this);
    m_no = new QRadioButton(
        tr("N&o, do not process the formatted submission, but allow me to add another file."), this);
    for (QRadioButton* button : {m_yes, m_no})
        NameAfterText(button, button->text());
    m_yes->setChecked(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addSpacing(12);
    layout->addWidget(m_yes);
    layout->addWidget(m_no);
    layout->addStretch();
}

bool CAddFileClipboardPage::OnSetActive()
{
    if (CPropertySheet* sheet = GetSheet())
        sheet->SetWizardButtons(CPropertySheet::kBack | CPropertySheet::kNext);
    return CWizardPage::OnSetActive();
}

int CAddFileClipboardPage::OnWizardNext()
{
    const bool process = m_yes->isChecked();
    m_source.Choose(process);
    // A jump records nothing: Back on the title page cannot come back here.
    if (process)
        return int(CAddFileTitlePage::kTemplateId);
    return CWizardPage::OnWizardNext();
}

#include "adding/addfiles/CAddFilesSummary.h"

#include "adding/addfiles/AddFilesChoice.h"
#include "controls/PageControls.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVBoxLayout>

CAddFilesSummary::CAddFilesSummary(const AddFilesChoice& choice, QWidget* parent)
    : CWizardPage(kTemplateId, tr("Add Multiple Files"), parent), m_choice(choice)
{
    SetHelpTopic(kHelpTopic);
    auto* intro = new QLabel(tr("You have chosen to add the following files to:"), this);
    NameAfterText(intro, intro->text());
    m_areaName = new QLineEdit(this);
    m_areaName->setReadOnly(true);
    NameAfterText(m_areaName, intro->text());
    m_fileList = new QPlainTextEdit(this);
    m_fileList->setReadOnly(true);
    m_fileList->setLineWrapMode(QPlainTextEdit::NoWrap);
    NameAfterText(m_fileList, tr("Files"));
    auto* next = new QLabel(tr("Choose \"Next\" to begin the adding process."), this);
    NameAfterText(next, next->text());
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(m_areaName);
    layout->addWidget(m_fileList, 1);
    layout->addWidget(next);
}

bool CAddFilesSummary::OnSetActive()
{
    m_areaName->setText(m_choice.host.name);
    m_fileList->setPlainText(m_choice.files.join(QLatin1Char('\n')));
    return CWizardPage::OnSetActive();
}

#include "adding/addfiles/CAddFilesDonePage.h"

#include "controls/CPropertySheet.h"
#include "controls/PageControls.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

CAddFilesDonePage::CAddFilesDonePage(const QString& resultsLog, QWidget* parent)
    : CWizardPage(kTemplateId, tr("Add Multiple Files"), parent), m_resultsLog(resultsLog)
{
    SetHelpTopic(kHelpTopic);
    auto* label = new QLabel(tr("Results"), this);
    NameAfterText(label, label->text());
    m_results = new QPlainTextEdit(this);
    m_results->setReadOnly(true);
    NameAfterText(m_results, label->text());
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_results, 1);
}

bool CAddFilesDonePage::OnSetActive()
{
    if (CPropertySheet* sheet = GetSheet())
        sheet->SetWizardButtons(CPropertySheet::kFinish);
    // The log keeps its CR LF line ends; the box shows plain lines.
    QString text = m_resultsLog;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    m_results->setPlainText(text);
    return CWizardPage::OnSetActive();
}

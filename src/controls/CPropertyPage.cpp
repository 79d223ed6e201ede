#include "controls/CPropertyPage.h"

#include "controls/HelpRequest.h"

CPropertyPage::CPropertyPage(quint32 templateId, const QString& title, QWidget* parent)
    : QWidget(parent), m_templateId(templateId), m_title(title)
{
    setAccessibleName(title);
}

bool CPropertyPage::OnHelpRequest(const HelpRequest&)
{
    return false;
}

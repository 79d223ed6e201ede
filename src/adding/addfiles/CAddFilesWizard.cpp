#include "adding/addfiles/CAddFilesWizard.h"

#include "adding/addfiles/CAddFilesDoitPage.h"
#include "adding/addfiles/CAddFilesDonePage.h"
#include "adding/addfiles/CAddFilesInfoPage.h"
#include "adding/addfiles/CAddFilesSummary.h"

CAddFilesWizard::CAddFilesWizard(const QString& caption, QWidget* parent, int firstPage)
    : CWizard(caption, parent, firstPage)
{
    m_infoPage = new CAddFilesInfoPage(&m_choice);
    m_summaryPage = new CAddFilesSummary(m_choice);
    m_doitPage = new CAddFilesDoitPage(m_choice, m_resultsLog);
    m_donePage = new CAddFilesDonePage(m_resultsLog);
    AddPage(m_infoPage);
    AddPage(m_summaryPage);
    AddPage(m_doitPage);
    AddPage(m_donePage);
}

CAddFilesWizard::~CAddFilesWizard()
{
    // The progress page's worker must not outlive what it reads.
    m_doitPage->StopAndWait();
}

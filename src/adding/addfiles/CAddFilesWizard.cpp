#include "adding/addfiles/CAddFilesWizard.h"

#include "adding/addfiles/CAddFilesDoitPage.h"
#include "adding/addfiles/CAddFilesDonePage.h"
#include "adding/addfiles/CAddFilesInfoPage.h"
#include "adding/addfiles/CAddFilesSummary.h"
#include "files/PathUtils.h"

#include <atomic>

namespace {

std::atomic<CAddFilesWizard*> g_runningWizard{nullptr};

} // namespace

CAddFilesWizard::CAddFilesWizard(const QString& caption, QWidget* parent, int firstPage)
    : CWizard(caption, parent, firstPage)
{
    m_infoPage = new CAddFilesInfoPage;
    m_summaryPage = new CAddFilesSummary;
    m_doitPage = new CAddFilesDoitPage;
    m_donePage = new CAddFilesDonePage;
    AddPage(m_infoPage);
    AddPage(m_summaryPage);
    AddPage(m_doitPage);
    AddPage(m_donePage);
}

CAddFilesWizard::~CAddFilesWizard()
{
    // The progress page's worker must not outlive what it reads.
    m_doitPage->StopAndWait();
    CAddFilesWizard* self = this;
    g_runningWizard.compare_exchange_strong(self, nullptr);
}

void CAddFilesWizard::SetHost(const AddFilesHost& host)
{
    m_host = host;
    AddTrailingBackslash(m_host.directory);
}

CAddFilesWizard* CAddFilesWizard::GetRunning()
{
    return g_runningWizard.load();
}

void CAddFilesWizard::SetRunning(CAddFilesWizard* wizard)
{
    g_runningWizard.store(wizard);
}

#pragma once

#include "adding/addfiles/AddFilesChoice.h"
#include "adding/wizard/CWizard.h"

class CAddFilesDoitPage;
class CAddFilesDonePage;
class CAddFilesInfoPage;
class CAddFilesSummary;

// "Add Files Wizard": imports a whole directory into one area that hosts files locally. The first
// page fills the choice of files and host area; the progress page's worker imports them and writes
// the results log, which the last page shows.
class CAddFilesWizard : public CWizard
{
    Q_OBJECT

public:
    CAddFilesWizard(const QString& caption, QWidget* parent = nullptr, int firstPage = 0);
    ~CAddFilesWizard() override;

    const QStringList& GetFileList() const { return m_choice.files; }
    const QString& GetResultsLog() const { return m_resultsLog; }

    CAddFilesInfoPage* GetInfoPage() const { return m_infoPage; }
    CAddFilesSummary* GetSummaryPage() const { return m_summaryPage; }
    CAddFilesDoitPage* GetDoitPage() const { return m_doitPage; }
    CAddFilesDonePage* GetDonePage() const { return m_donePage; }

private:
    // Made before the pages, which hold on to them and use them only while the wizard is open.
    AddFilesChoice m_choice;
    QString m_resultsLog;

    CAddFilesInfoPage* m_infoPage = nullptr;
    CAddFilesSummary* m_summaryPage = nullptr;
    CAddFilesDoitPage* m_doitPage = nullptr;
    CAddFilesDonePage* m_donePage = nullptr;
};

#pragma once

#include "adding/addfiles/AddFilesImport.h"
#include "adding/wizard/CWizard.h"

#include <QStringList>

class CAddFilesDoitPage;
class CAddFilesDonePage;
class CAddFilesInfoPage;
class CAddFilesSummary;

// "Add Files Wizard": imports a whole directory into one area that hosts files locally. The pages
// fill the file list and the host area; the progress page's worker reads them and writes the
// results log while the window thread leaves them alone.
class CAddFilesWizard : public CWizard
{
    Q_OBJECT

public:
    CAddFilesWizard(const QString& caption, QWidget* parent = nullptr, int firstPage = 0);
    ~CAddFilesWizard() override;

    QStringList& GetFileList() { return m_files; }
    // The results lines of what the collection could not take; the import's results begin with them.
    QString& GetCollectionRefusals() { return m_collectionRefusals; }
    const AddFilesHost& GetHost() const { return m_host; }
    void SetHost(const AddFilesHost& host);
    bool GetExtractDescriptions() const { return m_extractDescriptions; }
    void SetExtractDescriptions(bool extract) { m_extractDescriptions = extract; }
    QString& GetResultsLog() { return m_resultsLog; }

    CAddFilesInfoPage* GetInfoPage() const { return m_infoPage; }
    CAddFilesSummary* GetSummaryPage() const { return m_summaryPage; }
    CAddFilesDoitPage* GetDoitPage() const { return m_doitPage; }
    CAddFilesDonePage* GetDonePage() const { return m_donePage; }

    // The wizard whose progress page started the worker last; null when none runs.
    static CAddFilesWizard* GetRunning();
    static void SetRunning(CAddFilesWizard* wizard);

private:
    QStringList m_files;
    QString m_collectionRefusals;
    AddFilesHost m_host;
    bool m_extractDescriptions = false;
    QString m_resultsLog;

    CAddFilesInfoPage* m_infoPage = nullptr;
    CAddFilesSummary* m_summaryPage = nullptr;
    CAddFilesDoitPage* m_doitPage = nullptr;
    CAddFilesDonePage* m_donePage = nullptr;
};

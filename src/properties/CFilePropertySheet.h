#pragma once

#include "controls/CPropertySheet.h"

#include <memory>

class CFileAreasPage;
class CFileDescriptionPage;
class CFileGeneralPage;
class CFileRecord;
class CFileUrlsPage;
class CFolderTreeModel;
class CReviewsPage;

// "File Properties": the General, Description, File Areas, URLs and Reviews pages of one file. The
// pages share one working copy of the file's record; what General and Description change is kept
// there until the sheet is accepted, what File Areas and URLs change is written at once.
class CFilePropertySheet : public CPropertySheet
{
    Q_OBJECT

public:
    // The sheet owns the working copy; folders is the explorer's tree, for the File Areas page.
    CFilePropertySheet(std::unique_ptr<CFileRecord> file, const CFolderTreeModel* folders,
                       QWidget* parent = nullptr);
    ~CFilePropertySheet() override;

    CFileRecord& GetFile() const { return *m_file; }
    CFileGeneralPage* GetGeneralPage() const { return m_general; }
    CFileDescriptionPage* GetDescriptionPage() const { return m_description; }
    CFileAreasPage* GetAreasPage() const { return m_areas; }
    CFileUrlsPage* GetUrlsPage() const { return m_urls; }
    CReviewsPage* GetReviewsPage() const { return m_reviews; }

    // Runs the sheet; OK writes the working copy back to the file's row. True when it was written.
    bool Run();

protected:
    // A write that does not land is reported with its reason, and the sheet stays open.
    bool Commit() override;

private:
    std::unique_ptr<CFileRecord> m_file;
    CFileGeneralPage* m_general;
    CFileDescriptionPage* m_description;
    CFileAreasPage* m_areas;
    CFileUrlsPage* m_urls;
    CReviewsPage* m_reviews;
};

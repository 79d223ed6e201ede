#pragma once

#include "controls/CPropertySheet.h"

#include <memory>

struct CPendingUpload;
class CFileDescriptionPage;
class CFileGeneralPage;
class CFileRecord;
class CFolderTreeModel;
class CUploadAreasPage;
class CUploadUrlsPage;

// "File Properties" of an upload before it is posted: the General and Description pages of a file
// on a record made from the upload (never added to the database), and pages for the upload's own
// areas and locations. Once an area has been changed the sheet cannot be cancelled: OK reads Close
// and Cancel is greyed.
class CUploadReviewSheet : public CPropertySheet
{
    Q_OBJECT

public:
    // folders is the explorer's tree, for the File Areas page.
    CUploadReviewSheet(CPendingUpload& upload, const CFolderTreeModel* folders, QWidget* parent = nullptr);
    ~CUploadReviewSheet() override;

    CFileRecord& GetFile() const { return *m_file; }
    CFileGeneralPage* GetGeneralPage() const { return m_general; }
    CFileDescriptionPage* GetDescriptionPage() const { return m_description; }
    CUploadAreasPage* GetAreasPage() const { return m_areas; }
    CUploadUrlsPage* GetUrlsPage() const { return m_urls; }

    // Runs the sheet; after OK (or Close) the upload holds the values of every page. False after
    // Cancel.
    bool Run();

    void CancelToClose() override;

protected:
    // Escape and the window's close button are Cancel: nothing once Cancel is greyed.
    void reject() override;

private:
    CPendingUpload& m_upload;
    std::unique_ptr<CFileRecord> m_file;
    CFileGeneralPage* m_general;
    CFileDescriptionPage* m_description;
    CUploadAreasPage* m_areas;
    CUploadUrlsPage* m_urls;
    bool m_closeOnly = false;
};

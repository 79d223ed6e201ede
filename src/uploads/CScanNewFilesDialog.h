#pragma once

#include "uploads/PendingUpload.h"

#include "controls/CRowWalkDialog.h"

class CFolderTreeModel;
class QTreeWidgetItem;

// "Scan for new files": the uploads a scan found, one row each (row i shows entry i of the scan's
// list). Review opens each highlighted upload's sheet and posts it on OK; Post posts the highlighted
// uploads as they are; Delete removes their files. A posted or deleted upload leaves the list and
// its row together; what is left when the dialog closes stays pending on disk.
class CScanNewFilesDialog : public CRowWalkDialog
{
    Q_OBJECT

public:
    static constexpr quint32 kHelpTopic = 59;

    // The dialog works on the scan's list, which it does not own; folders is the explorer's tree,
    // for the review sheet's File Areas page.
    CScanNewFilesDialog(CPendingUploadArray& uploads, const CFolderTreeModel* folders,
                        QWidget* parent = nullptr);

    void OnReview() override;
    void OnPost() override;
    void OnDelete() override;

private:
    void AddRow(const CPendingUpload& upload);
    // Shows the upload's name, or the warning that stands for it, in its row.
    void ShowName(QTreeWidgetItem* item, const CPendingUpload& upload);
    void RemoveRow(int row);
    // Posts the upload of the row; false when it was not posted. An upload that cannot be posted
    // (not safe, or no longer the file the scan checked) is marked so in its row, and the user is
    // told why; a database failure is left to the caller to report.
    bool Post(int row);
    void RefuseUnsafe(const CPendingUpload& upload);

    CPendingUploadArray& m_uploads;
    const CFolderTreeModel* m_folders;
};

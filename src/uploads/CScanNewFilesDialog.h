#pragma once

#include "uploads/PendingUpload.h"

#include "controls/CRowWalkDialog.h"

class CFolderTreeModel;
class QTreeWidgetItem;

// "Scan for new files": the uploads a scan found, one row each (row i shows entry i of the scan's
// list), with what the virus checker said of each. Review opens each highlighted upload's sheet and
// posts it on OK; Post posts the highlighted uploads as they are; Delete removes their files. An
// upload that is not safe, or that the checker did not find clean, can only be deleted. A posted or
// deleted upload leaves the list and its row together; what is left when the dialog closes stays
// pending on disk.
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
    enum class Posting
    {
        Posted,
        Refused, // the user was told why
        Failed,  // the database failed: the caller says so, or not
    };

    void AddRow(const CPendingUpload& upload);
    void FitNameColumn();
    // Shows the upload's name, or the warning that stands for it, in its row.
    void ShowName(QTreeWidgetItem* item, const CPendingUpload& upload);
    void ShowVirusVerdict(QTreeWidgetItem* item, const CPendingUpload& upload);
    void RemoveRow(int row);
    // Posts the upload of the row. An upload found changed since the scan is marked so in its row.
    Posting Post(int row);
    // Tells the user why the upload cannot be posted, if it cannot as the scan left it; true then.
    bool Refuse(const CPendingUpload& upload);

    CPendingUploadArray& m_uploads;
    const CFolderTreeModel* m_folders;
};

#pragma once

#include "uploads/PendingUpload.h"

#include <QDialog>

#include <functional>

class CFolderTreeModel;
class CUploadListView;
class QPushButton;

// "Scan for new files": the uploads a scan found, one row each (row i shows entry i of the scan's
// list). Review opens each highlighted upload's sheet and posts it on OK; Post posts the highlighted
// uploads as they are; Delete removes their files. A posted or deleted upload leaves the list and
// its row together; what is left when the dialog closes stays pending on disk.
class CScanNewFilesDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr quint32 kHelpTopic = 59;

    // The dialog works on the scan's list, which it does not own; folders is the explorer's tree,
    // for the review sheet's File Areas page.
    CScanNewFilesDialog(CPendingUploadArray& uploads, const CFolderTreeModel* folders, QWidget* parent = nullptr);

    CUploadListView* GetList() const { return m_list; }
    QPushButton* GetReviewButton() const { return m_review; }
    QPushButton* GetPostButton() const { return m_post; }
    QPushButton* GetDeleteButton() const { return m_delete; }
    QPushButton* GetCloseButton() const { return m_close; }
    QPushButton* GetHelpButton() const { return m_help; }

    void OnReview();
    void OnPost();
    void OnDelete();
    void OnHelp();

private:
    // What a walk's step did with its row.
    enum class Step
    {
        Kept,    // the row stays: go on below it
        Removed, // the row is gone: the row that moved up is next
        Stop,    // no further rows
    };
    // Calls step for each highlighted row from the top, as the rows are at that moment.
    void WalkHighlighted(const std::function<Step(int row)>& step);
    void AddRow(const CPendingUpload& upload);
    void RemoveRow(int row);
    // Says why an upload that is not safe cannot be posted.
    void RefuseUnsafe(const CPendingUpload& upload);

    CPendingUploadArray& m_uploads;
    const CFolderTreeModel* m_folders;
    bool m_walking = false;
    CUploadListView* m_list = nullptr;
    QPushButton* m_review = nullptr;
    QPushButton* m_post = nullptr;
    QPushButton* m_delete = nullptr;
    QPushButton* m_close = nullptr;
    QPushButton* m_help = nullptr;
};

#pragma once

#include "reviews/CEditReviewDialog.h"
#include "reviews/Submissions.h"

// "Edit Submission - <file name>": a submitted review's fields, with the Edit Review dialog's checks.
// "Post" closes with Accepted once the fields are taken, "Delete" with kDeleteResult once the
// administrator confirms it, "Cancel" with Rejected. Callers hand it a copy: the fields are taken
// into it before the caller knows whether posting works.
class CEditSubmissionDialog : public CEditReviewDialog
{
    Q_OBJECT

public:
    static constexpr int kDeleteResult = QDialog::Accepted + 1;

    explicit CEditSubmissionDialog(CSubmission& submission, QWidget* parent = nullptr);

    QPushButton* GetPostButton() const { return GetOkButton(); }
    QPushButton* GetDeleteButton() const { return m_delete; }
    QPushButton* GetCancelButton() const { return m_cancel; }

    // Asks first; No leaves the dialog open.
    void OnDelete();

private:
    QPushButton* m_delete = nullptr;
    QPushButton* m_cancel = nullptr;
};

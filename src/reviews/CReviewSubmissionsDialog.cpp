#include "reviews/CReviewSubmissionsDialog.h"

#include "controls/CHighlightList.h"
#include "controls/CMessageBox.h"
#include "controls/CModalRun.h"
#include "reviews/CEditSubmissionDialog.h"
#include "reviews/ScanForNewReviews.h"
#include "startup/SafeFormat.h"

CReviewSubmissionsDialog::CReviewSubmissionsDialog(const QString& path, QWidget* parent)
    : CRowWalkDialog(tr("Review New File Reviews"), tr("Submitted reviews"),
                     {tr("Filename"), tr("Name"), tr("Email"), tr("Date")}, {100, 80, 150, 70}, kHelpTopic,
                     parent),
      m_strPath(path)
{
    ReadSubmissions(m_strPath, m_submissions, &m_readProblem);
    QList<QTreeWidgetItem*> rows;
    rows.reserve(m_submissions.size());
    for (const CSubmission& submission : std::as_const(m_submissions))
        rows.append(
            new QTreeWidgetItem({submission.file_name, submission.name, submission.email, submission.date}));
    GetList()->addTopLevelItems(rows);
    GetList()->setFocus(Qt::OtherFocusReason);
}

void CReviewSubmissionsDialog::Remove(int row)
{
    // What the file is rid of at Close is the record as it was read, not the edited copy posted.
    m_removed.append(m_submissions.takeAt(row));
    delete GetList()->takeTopLevelItem(row);
    m_bModified = true;
}

void CReviewSubmissionsDialog::OnReview()
{
    WalkHighlighted([this](int row) {
        CSubmission copy = m_submissions[row];
        CEditSubmissionDialog dialog(copy, this);
        const int result = CModalRun::Exec(dialog);
        if (result == CEditSubmissionDialog::kDeleteResult) {
            Remove(row);
            return Step::Removed;
        }
        if (result != QDialog::Accepted)
            return Step::Stop;
        // A post that fails keeps the submission as it was read; the edits are lost.
        if (!PostSubmission(copy, this))
            return Step::Kept;
        Remove(row);
        return Step::Removed;
    });
}

void CReviewSubmissionsDialog::OnPost()
{
    WalkHighlighted([this](int row) {
        if (!PostSubmission(m_submissions[row], this))
            return Step::Kept;
        Remove(row);
        return Step::Removed;
    });
}

void CReviewSubmissionsDialog::OnDelete()
{
    // Asked even when nothing is highlighted.
    if (CMessageBox::Show(this, tr("Are you sure you want to delete the highlighted review(s)?"),
                          tr("Warning"), QMessageBox::Question,
                          QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    WalkHighlighted([this](int row) {
        Remove(row);
        return Step::Removed;
    });
}

void CReviewSubmissionsDialog::accept()
{
    // Only the removed records are taken out, under the site's lock: records the site appended
    // while the dialog was open stay in the file.
    QString problem;
    if (m_bModified && !RemoveSubmissions(m_strPath, m_removed, &problem))
        CMessageBox::Show(this,
                          SafeFormat(u"The submissions file could not be rewritten. The posted and deleted "
                                     u"submissions stay in it and are offered again at the next scan.\n\n%s",
                                     problem),
                          tr("Error"), QMessageBox::Warning, QMessageBox::Ok);
    QDialog::accept();
}

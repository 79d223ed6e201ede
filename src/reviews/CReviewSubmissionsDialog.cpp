#include "reviews/CReviewSubmissionsDialog.h"

#include "controls/CHighlightList.h"
#include "controls/CMessageBox.h"
#include "controls/CModalRun.h"
#include "files/SafeFormat.h"
#include "reviews/CEditSubmissionDialog.h"
#include "reviews/PostedSubmissions.h"
#include "reviews/ScanForNewReviews.h"

using namespace Qt::StringLiterals;

CReviewSubmissionsDialog::CReviewSubmissionsDialog(const QString& path, QWidget* parent)
    : CRowWalkDialog(tr("Review New File Reviews"), tr("Submitted reviews"),
                     {tr("Filename"), tr("Name"), tr("Email"), tr("Date")}, {100, 80, 150, 70}, kHelpTopic,
                     parent),
      m_strPath(path)
{
    // Those posted before are not offered again; leaving takes them out of the file with the rest.
    QString problem;
    if (ReadSubmissions(m_strPath, m_submissions, &m_readProblem) &&
        !TakeNotedPosts(m_submissions, &m_posted, &problem))
        m_readProblem = SafeFormat(u"Troveport Explorer could not read which submissions were posted "
                                   u"before, so some of those listed may be published already.\n\n%s",
                                   problem);
    QList<QTreeWidgetItem*> rows;
    rows.reserve(m_submissions.size());
    for (const CSubmission& submission : std::as_const(m_submissions))
        rows.append(
            new QTreeWidgetItem({submission.file_name, submission.name, submission.email, submission.date}));
    GetList()->addTopLevelItems(rows);
    GetList()->setFocus(Qt::OtherFocusReason);
}

void CReviewSubmissionsDialog::Remove(int row, QList<CSubmission>& into)
{
    // What the file is rid of is the record as it was read, not the edited copy posted.
    into.append(m_submissions.takeAt(row));
    delete GetList()->takeTopLevelItem(row);
}

bool CReviewSubmissionsDialog::Post(int row, const CSubmission& submission)
{
    if (!PostSubmission(submission, this))
        return false;
    // Noted at once: even an explorer that ends before the dialog is left never offers it again.
    Remove(row, NotePosted({m_submissions[row]}, &m_noteProblem) ? m_posted : m_unnoted);
    return true;
}

void CReviewSubmissionsDialog::OnReview()
{
    WalkHighlighted([this](int row) {
        CSubmission copy = m_submissions[row];
        CEditSubmissionDialog dialog(copy, this);
        const int result = CModalRun::Exec(dialog);
        if (result == CEditSubmissionDialog::kDeleteResult) {
            Remove(row, m_deleted);
            return Step::Removed;
        }
        if (result != QDialog::Accepted)
            return Step::Stop;
        // A post that fails keeps the submission as it was read; the edits are lost.
        return Post(row, copy) ? Step::Removed : Step::Kept;
    });
}

void CReviewSubmissionsDialog::OnPost()
{
    WalkHighlighted([this](int row) { return Post(row, m_submissions[row]) ? Step::Removed : Step::Kept; });
}

void CReviewSubmissionsDialog::OnDelete()
{
    // Asked even when nothing is highlighted.
    if (CMessageBox::Show(this, tr("Are you sure you want to delete the highlighted review(s)?"),
                          tr("Warning"), QMessageBox::Question,
                          QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    WalkHighlighted([this](int row) {
        Remove(row, m_deleted);
        return Step::Removed;
    });
}

void CReviewSubmissionsDialog::done(int result)
{
    const bool posted = !m_posted.isEmpty() || !m_unnoted.isEmpty();
    const bool deleted = result == QDialog::Accepted && !m_deleted.isEmpty();
    // Only these records are taken out, under the site's lock: records the site appended while the
    // dialog was open stay in the file.
    QString problem;
    if (!RemoveSubmissions(m_strPath, m_posted + m_unnoted + (deleted ? m_deleted : QList<CSubmission>()),
                           &problem)) {
        // One more try at the notes that failed: the file still holds those submissions.
        if (!m_unnoted.isEmpty() && NotePosted(m_unnoted, &m_noteProblem))
            m_unnoted.clear();
        QString text = tr("The submissions file could not be rewritten, so it still holds the submissions "
                          "that were taken out of the list.");
        if (posted)
            text += m_unnoted.isEmpty() ? tr(" Those posted are noted as posted: no scan offers them again.")
                                        : tr(" Those posted could not all be noted as posted: the next scan "
                                             "offers the ones not noted again, and posting one again "
                                             "publishes it twice.");
        if (deleted)
            text += tr(" Those deleted are offered again at the next scan.");
        text += u"\n\n"_s + problem;
        if (!m_unnoted.isEmpty())
            text += u"\n\n"_s + m_noteProblem;
        CMessageBox::Show(this, text, tr("Error"), QMessageBox::Warning, QMessageBox::Ok);
    } else {
        // A note left behind is dropped by the next scan, which finds its submission gone.
        DropPostedNotes(m_posted);
    }
    // A second call has nothing left to take out.
    m_posted.clear();
    m_unnoted.clear();
    m_deleted.clear();
    QDialog::done(result);
}

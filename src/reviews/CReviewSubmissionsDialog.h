#pragma once

#include "reviews/Submissions.h"

#include "controls/CRowWalkDialog.h"

// "Review New File Reviews": the submissions waiting in the submissions file, read when the dialog
// is made, to post after review, post as they stand, or delete. However the dialog is left, the
// posted ones are taken out of the file, as they are in their review files already; Close takes the
// deleted ones out too, while Escape and the close box keep them. Posted submissions are noted
// (PostedSubmissions.h) until they are out of the file, so that no scan offers them again.
class CReviewSubmissionsDialog : public CRowWalkDialog
{
    Q_OBJECT

public:
    static constexpr quint32 kHelpTopic = 34;

    explicit CReviewSubmissionsDialog(const QString& path, QWidget* parent = nullptr);

    const QList<CSubmission>& GetSubmissions() const { return m_submissions; }
    // Why the submissions, or the notes of those posted earlier, could not be read; empty when
    // both were.
    const QString& GetReadProblem() const { return m_readProblem; }
    // Something was taken out of the list, for the file to lose when the dialog is left.
    bool IsModified() const { return !m_posted.isEmpty() || !m_unnoted.isEmpty() || !m_deleted.isEmpty(); }

    void OnReview() override;
    void OnPost() override;
    void OnDelete() override;

public slots:
    // Every way of leaving: the file loses what was posted, and on Close what was deleted,
    // keeping what the site added meanwhile. A rewrite that fails is told.
    void done(int result) override;

private:
    // Takes the submission and its row out of the list, keeping it for the file's rewrite.
    void Remove(int row, QList<CSubmission>& into);
    // Posts the submission (maybe edited) of the row and removes the row; false when the post failed.
    bool Post(int row, const CSubmission& submission);

    QString m_strPath;
    QString m_readProblem;
    QList<CSubmission> m_submissions;
    // The submissions taken out of the list, each as it was read from the file. Posted and noted
    // as posted, here or before the dialog opened:
    QList<CSubmission> m_posted;
    // Posted here, but the note could not be written (m_noteProblem says why):
    QList<CSubmission> m_unnoted;
    QString m_noteProblem;
    QList<CSubmission> m_deleted;
};

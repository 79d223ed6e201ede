#pragma once

#include "reviews/Submissions.h"

#include "controls/CRowWalkDialog.h"

// "Review New File Reviews": the submissions waiting in the submissions file, read when the dialog
// is made, to post after review, post as they stand, or delete. Close takes the posted and deleted
// ones out of the file; Escape leaves the file as it is.
class CReviewSubmissionsDialog : public CRowWalkDialog
{
    Q_OBJECT

public:
    static constexpr quint32 kHelpTopic = 34;

    explicit CReviewSubmissionsDialog(const QString& path, QWidget* parent = nullptr);

    const QList<CSubmission>& GetSubmissions() const { return m_submissions; }
    // Why the submissions file could not be read, when it could not; empty otherwise.
    const QString& GetReadProblem() const { return m_readProblem; }
    // The posted and deleted submissions, as they were read.
    const QList<CSubmission>& GetRemoved() const { return m_removed; }
    bool IsModified() const { return m_bModified; }

    void OnReview() override;
    void OnPost() override;
    void OnDelete() override;

public slots:
    // Close: the file loses what was posted or deleted, keeping what the site added meanwhile. When
    // it cannot be rewritten the user is told, and the dialog closes all the same.
    void accept() override;

private:
    // Takes the submission and its row out of the list, keeping it for the file's rewrite.
    void Remove(int row);

    QString m_strPath;
    QString m_readProblem;
    QList<CSubmission> m_submissions;
    QList<CSubmission> m_removed;
    bool m_bModified = false;
};

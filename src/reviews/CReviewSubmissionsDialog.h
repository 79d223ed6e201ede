#pragma once

#include "reviews/Submissions.h"

#include <QDialog>
#include <QItemSelection>

#include <functional>

class QPushButton;
class QTreeWidget;

// "Review New File Reviews": the submissions waiting in the submissions file, read when the dialog
// is made, to post after review, post as they stand, or delete. Close takes the posted and deleted
// ones out of the file; Escape leaves the file as it is.
class CReviewSubmissionsDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr quint32 kHelpTopic = 34;

    explicit CReviewSubmissionsDialog(const QString& path, QWidget* parent = nullptr);

    const QList<CSubmission>& GetSubmissions() const { return m_submissions; }
    // The posted and deleted submissions, as they were read.
    const QList<CSubmission>& GetRemoved() const { return m_removed; }
    bool IsModified() const { return m_bModified; }

    QTreeWidget* GetList() const { return m_list; }
    QPushButton* GetReviewButton() const { return m_review; }
    QPushButton* GetPostButton() const { return m_post; }
    QPushButton* GetDeleteButton() const { return m_delete; }
    QPushButton* GetCloseButton() const { return m_close; }
    QPushButton* GetHelpButton() const { return m_help; }

    // Each goes through the highlighted submissions from the top.
    void OnReview();
    void OnPost();
    void OnDelete();

public slots:
    // Close: the file loses what was posted or deleted, keeping what the site added meanwhile.
    void accept() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Step
    {
        Kept,    // the walk goes on below this row
        Removed, // the row that moved up is next
        Stop,
    };
    void WalkHighlighted(const std::function<Step(int row)>& step);
    // Takes the submission and its row out of the list, keeping it for the file's rewrite.
    void Remove(int row);

    QString m_strPath;
    QList<CSubmission> m_submissions;
    QList<CSubmission> m_removed;
    bool m_bModified = false;
    // The highlight when a click landed on a highlighted row, for a double-click that follows.
    QItemSelection m_pressSelection;

    QTreeWidget* m_list = nullptr;
    QPushButton* m_review = nullptr;
    QPushButton* m_post = nullptr;
    QPushButton* m_delete = nullptr;
    QPushButton* m_close = nullptr;
    QPushButton* m_help = nullptr;
};

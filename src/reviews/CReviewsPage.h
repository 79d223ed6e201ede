#pragma once

#include "adding/wizard/CWizardPage.h"
#include "reviews/ReviewMerge.h"

class CReviewListModel;
class QLabel;
class QPushButton;
class QTreeView;

// The Reviews page of a file's property sheet: the file's review file, edited in place and
// written when the page is left. The page's changes are applied to the file as it is then, so that
// reviews the site added meanwhile stay; after that the page shows the file as written. A file that
// could not be read whole (larger than the read limit, refused, unreadable) cannot be written
// either: the page shows what it read with the reason, and offers no changes.
class CReviewsPage : public CWizardPage
{
    Q_OBJECT

public:
    static constexpr quint32 kTemplateId = 171;
    static constexpr quint32 kHelpTopic = 37;

    // fileId is the file's file_id converted to an integer; title is the file's title.
    CReviewsPage(qint64 fileId, const QString& title, QWidget* parent = nullptr);
    ~CReviewsPage() override;

    // Edit takes Enter while the page shows; leaving writes the reviews when they were changed. A
    // write that fails is told, and the page stays with its changes.
    bool OnSetActive() override;
    bool OnKillActive() override;

    const QString& GetPath() const { return m_strPath; }
    const QList<CReview>& GetReviews() const { return m_reviews.Reviews(); }
    bool IsModified() const { return m_bModified; }
    // The reviews cannot be changed: the file was not read whole.
    bool IsReadOnly() const { return m_bReadOnly; }
    QLabel* GetHeading() const { return m_heading; }
    // Why the reviews cannot be changed; hidden when they can.
    QLabel* GetNotice() const { return m_notice; }
    QTreeView* GetList() const { return m_list; }
    QPushButton* GetAddButton() const { return m_add; }
    QPushButton* GetEditButton() const { return m_edit; }
    QPushButton* GetDeleteButton() const { return m_delete; }

    void OnAdd();
    void OnEdit();
    void OnDelete();

private:
    // The highlighted row nearest the top, or -1 when none is highlighted.
    int FirstHighlightedRow() const;
    // Writes the changes into the file; false after telling the user why it could not.
    bool Save();

    QString m_strPath;
    CReviewList m_reviews;
    bool m_bModified = false;
    bool m_bReadOnly = false;

    CReviewListModel* m_model = nullptr;
    QLabel* m_heading = nullptr;
    QLabel* m_notice = nullptr;
    QTreeView* m_list = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_edit = nullptr;
    QPushButton* m_delete = nullptr;
};

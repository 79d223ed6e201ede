#pragma once

#include "adding/CWizardPage.h"
#include "reviews/ReviewFile.h"

class CReviewListModel;
class QLabel;
class QPushButton;
class QTreeView;

// The Reviews page of a file's property sheet: the file's review file, edited in place and
// written when the page is left.
class CReviewsPage : public CWizardPage
{
    Q_OBJECT

public:
    static constexpr quint32 kTemplateId = 171;
    static constexpr quint32 kHelpTopic = 37;

    // fileId is the file's file_id converted to an integer; title is the file's title.
    CReviewsPage(qint32 fileId, const QString& title, QWidget* parent = nullptr);
    ~CReviewsPage() override;

    // Edit takes Enter while the page shows; leaving writes the reviews when they were changed.
    bool OnSetActive() override;
    bool OnKillActive() override;

    const QString& GetPath() const { return m_strPath; }
    const QList<CReview>& GetReviews() const { return m_reviews; }
    bool IsModified() const { return m_bModified; }
    QLabel* GetHeading() const { return m_heading; }
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

    QString m_strPath;
    QList<CReview> m_reviews;
    bool m_bModified = false;
    // False when the file was too large to read whole: writing the list back would cut it short.
    bool m_bReadWhole = true;

    CReviewListModel* m_model = nullptr;
    QLabel* m_heading = nullptr;
    QTreeView* m_list = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_edit = nullptr;
    QPushButton* m_delete = nullptr;
};

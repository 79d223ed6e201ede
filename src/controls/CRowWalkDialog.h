#pragma once

#include "controls/CHighlightList.h"

#include <QDialog>

#include <functional>

class QPushButton;
class QVBoxLayout;

// A dialog of waiting items (visitors' uploads, submitted reviews): the list, and "&Review..."
// (the default), "&Post", "&Delete...", "Close" and "Help". Review, Post and Delete act on the
// highlighted rows from the top; an item and its row always leave together.
class CRowWalkDialog : public QDialog
{
    Q_OBJECT

public:
    CHighlightList* GetList() const { return m_list; }
    QPushButton* GetReviewButton() const { return m_review; }
    QPushButton* GetPostButton() const { return m_post; }
    QPushButton* GetDeleteButton() const { return m_delete; }
    QPushButton* GetCloseButton() const { return m_close; }
    QPushButton* GetHelpButton() const { return m_help; }

    virtual void OnReview() = 0;
    virtual void OnPost() = 0;
    virtual void OnDelete() = 0;

protected:
    // columns and widths (for the dialog font of 13-pixel lines) of the list, named listName.
    CRowWalkDialog(const QString& title, const QString& listName, const QStringList& columns,
                   const QList<int>& widths, quint32 helpTopic, QWidget* parent);

    // What a walk's step did with its row.
    enum class Step
    {
        Kept,    // the row stays: go on below it
        Removed, // the row is gone: the row that moved up is next
        Stop,    // no further rows
    };
    // Calls step for each highlighted row from the top, as the rows are at that moment. A message
    // box or sheet a step shows cannot start a second walk over the same rows.
    void WalkHighlighted(const std::function<Step(int row)>& step);
    bool IsWalking() const { return m_walking; }
    // The dialog's layout: the list, then the buttons; a derived dialog may put more above.
    QVBoxLayout* GetLayout() const { return m_layout; }

private:
    bool m_walking = false;
    CHighlightList* m_list;
    QPushButton* m_review;
    QPushButton* m_post;
    QPushButton* m_delete;
    QPushButton* m_close;
    QPushButton* m_help;
    QVBoxLayout* m_layout;
};

#pragma once

#include "reviews/ReviewFile.h"

#include <QDialog>

class QCheckBox;
class QLayout;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// "Edit Review": one review's fields, taken into the review when OK finds the required ones filled.
// Callers hand it a copy or a new review, so that Cancel leaves their list as it was.
class CEditReviewDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr quint32 kHelpTopic = 38;

    explicit CEditReviewDialog(CReview& review, QWidget* parent = nullptr);

    QLineEdit* GetNameEdit() const { return m_name; }
    QLineEdit* GetEmailEdit() const { return m_email; }
    QCheckBox* GetAnonymousCheck() const { return m_anonymous; }
    QLineEdit* GetDateEdit() const { return m_date; }
    QPlainTextEdit* GetReviewEdit() const { return m_text; }
    // The button that takes the fields: OK here, "Post" for a submission.
    QPushButton* GetOkButton() const { return m_ok; }

    // The review text as the file keeps it (CR LF between lines) and as the field shows it.
    static QString TextFromField(const QPlainTextEdit& field);
    static void ShowTextInField(QPlainTextEdit& field, const QString& text);

public slots:
    // OK: closes only when name, e-mail, date and review are all filled.
    void accept() override;

protected:
    // Where the "Anonymous" check box stands among the fields, in the layout and the tab order.
    enum class AnonymousPlace
    {
        AfterEmail,
        AfterDate,
    };

    // The fields alone, filled from the review; the derived dialog adds its buttons with AddButtons.
    CEditReviewDialog(CReview& review, AnonymousPlace place, QWidget* parent);

    // Puts a row of buttons under the fields; ok becomes the default button. The buttons follow the
    // fields in the tab order when they were made after them.
    void AddButtons(QLayout* buttons, QPushButton* ok);

    // Takes the fields into the review, then checks them in order; false after saying which one is
    // missing and putting the focus there. The anonymous flag is taken only when all are present.
    bool TakeFields();

private:
    CReview& m_review;
    QLineEdit* m_name = nullptr;
    QLineEdit* m_email = nullptr;
    QCheckBox* m_anonymous = nullptr;
    QLineEdit* m_date = nullptr;
    QPlainTextEdit* m_text = nullptr;
    QPushButton* m_ok = nullptr;
};

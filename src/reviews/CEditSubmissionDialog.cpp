#include "reviews/CEditSubmissionDialog.h"

#include "controls/CMessageBox.h"
#include "controls/PageControls.h"
#include "files/SafeFormat.h"

#include <QHBoxLayout>
#include <QPushButton>

CEditSubmissionDialog::CEditSubmissionDialog(CSubmission& submission, QWidget* parent)
    : CEditReviewDialog(submission, AnonymousPlace::AfterDate, parent)
{
    // The file name is the site's text: a "%s" in it stays as it is.
    setWindowTitle(SafeFormat(u"Edit Submission - %s", submission.file_name));
    setAccessibleName(windowTitle());

    auto* post = new QPushButton(tr("&Post"), this);
    m_delete = new QPushButton(tr("Dele&te"), this);
    m_cancel = new QPushButton(tr("Cancel"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton* button : {post, m_delete, m_cancel}) {
        NameAfterText(button, button->text());
        buttons->addWidget(button);
    }
    connect(post, &QPushButton::clicked, this, &CEditSubmissionDialog::accept);
    connect(m_delete, &QPushButton::clicked, this, &CEditSubmissionDialog::OnDelete);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    AddButtons(buttons, post);
}

void CEditSubmissionDialog::OnDelete()
{
    if (CMessageBox::Show(this, tr("Are you sure you want to delete this review?"), tr("Warning"),
                          QMessageBox::Question, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes)
        done(kDeleteResult);
}

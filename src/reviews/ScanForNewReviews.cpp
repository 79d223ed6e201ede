#include "reviews/ScanForNewReviews.h"

#include "controls/CMessageBox.h"
#include "controls/CModalRun.h"
#include "reviews/CReviewSubmissionsDialog.h"

#include <QCoreApplication>

bool PostSubmission(const CSubmission& submission, QWidget* parent)
{
    if (AppendReviewToFile(ReviewFilePath(submission.file_id), submission))
        return true;
    CMessageBox::Show(parent,
                      QCoreApplication::translate("ScanForNewReviews",
                                                  "Troveport was unable to create the new review file."),
                      QCoreApplication::translate("ScanForNewReviews", "Error"), QMessageBox::NoIcon,
                      QMessageBox::Ok);
    return false;
}

void ScanForNewReviews(QWidget* parent)
{
    CReviewSubmissionsDialog dialog(SubmissionsFilePath(), parent);
    CModalRun::Exec(dialog);
}

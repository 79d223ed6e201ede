#include "reviews/ScanForNewReviews.h"

#include "controls/CMessageBox.h"
#include "controls/CModalRun.h"
#include "controls/CommandHost.h"
#include "reviews/CReviewSubmissionsDialog.h"

#include <QCoreApplication>

using namespace Qt::StringLiterals;

namespace {

QString Error()
{
    return QCoreApplication::translate("ScanForNewReviews", "Error");
}

} // namespace

bool PostSubmission(const CSubmission& submission, QWidget* parent)
{
    QString problem;
    if (AppendReviewToFile(ReviewFilePath(submission.file_id), submission, &problem))
        return true;
    // The reason, which names the file, follows on a paragraph of its own.
    CMessageBox::Show(parent,
                      QCoreApplication::translate("ScanForNewReviews",
                                                  "Troveport was unable to create the new review file.") +
                          u"\n\n"_s + problem,
                      Error(), QMessageBox::NoIcon, QMessageBox::Ok);
    return false;
}

void ScanForNewReviews(QWidget* parent)
{
    CReviewSubmissionsDialog dialog(SubmissionsFilePath(), parent);
    // A file refused or unreadable opens the dialog empty; the user is told why first.
    if (!dialog.GetReadProblem().isEmpty())
        CMessageBox::Show(parent, dialog.GetReadProblem(), Error(), QMessageBox::Warning, QMessageBox::Ok);
    CModalRun::Exec(dialog);
}

void RunScanForNewReviewsCommand(CommandHost& host)
{
    ScanForNewReviews(host.GetWindow());
}

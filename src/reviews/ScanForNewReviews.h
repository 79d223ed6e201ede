#pragma once

#include "reviews/Submissions.h"

class CommandHost;
class QWidget;

// Publishes a submission: its review goes at the end of the review file of its file id, which is
// taken as the site wrote it. False, after saying so, when the review file could not be written.
bool PostSubmission(const CSubmission& submission, QWidget* parent);

// The Review New File Reviews dialog on the submissions file, even when there are none.
void ScanForNewReviews(QWidget* parent);
// The "Scan for new Reviews..." command: that dialog, owned by the host's window.
void RunScanForNewReviewsCommand(CommandHost& host);

#pragma once

#include "adding/CWizardPage.h"

// The Reviews page of a file's property sheet: the file's review file, edited in place and
// written when the page is left.
class CReviewsPage : public CWizardPage
{
    Q_OBJECT

public:
    // fileId is the file's file_id converted to an integer; title is the file's title.
    CReviewsPage(qint32 fileId, const QString& title, QWidget* parent = nullptr);
    ~CReviewsPage() override;
};

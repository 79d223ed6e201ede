#pragma once

#include "controls/CHelpPropertyPage.h"

class CWizard;

// A page of a wizard. Its identifier (the low 16 bits of its template identifier) is what other
// pages return to jump to it. Leaving forwards through OnWizardNext records the page in the
// wizard's history; OnWizardBack returns to the last page recorded.
class CWizardPage : public CHelpPropertyPage
{
    Q_OBJECT

public:
    explicit CWizardPage(quint32 templateId, const QString& title = QString(), QWidget* parent = nullptr);

    quint32 GetPageId() const { return GetTemplateId(); }
    // The wizard that holds the page, or null when its sheet is not a wizard.
    CWizard* GetWizard() const;

    int OnWizardNext() override;
    int OnWizardBack() override;
    // F1 on a wizard page shows the page's topic rather than a pop-up.
    bool OnHelpRequest(const HelpRequest& request) override;
};

#pragma once

#include "adding/wizard/CWizardPage.h"

class CNewFileSource;

class QRadioButton;

// The Add File wizard's first page when the clipboard holds a formatted submission: process it
// (straight on to the title, with every field filled from it) or add another file.
class CAddFileClipboardPage : public CWizardPage
{
    Q_OBJECT

public:
    static constexpr quint32 kTemplateId = 0x0140;
    static constexpr quint32 kHelpTopic = 17;

    // Next chooses the source: the submission or, on the First page, another file.
    explicit CAddFileClipboardPage(CNewFileSource& source, QWidget* parent = nullptr);

    bool OnSetActive() override;
    int OnWizardNext() override;

    QRadioButton* GetYesButton() const { return m_yes; }
    QRadioButton* GetNoButton() const { return m_no; }

private:
    CNewFileSource& m_source;
    QRadioButton* m_yes = nullptr;
    QRadioButton* m_no = nullptr;
};

#pragma once

#include "adding/wizard/CWizardPage.h"

struct NewFileEntries;

// The Add File wizard's last page: Finish stores the file with its areas and locations and ends
// the wizard, whatever the database accepts.
class CAddFileFinishedPage : public CWizardPage
{
    Q_OBJECT

public:
    static constexpr quint32 kTemplateId = 0x0146;
    static constexpr quint32 kHelpTopic = 15;

    // Finish stores entries as the other pages left them.
    explicit CAddFileFinishedPage(const NewFileEntries& entries, QWidget* parent = nullptr);

    bool OnSetActive() override;
    bool OnWizardFinish() override;

private:
    const NewFileEntries& m_entries;
};

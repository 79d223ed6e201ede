#pragma once

#include "adding/wizard/CWizardPage.h"

class QPlainTextEdit;

// The Add Files wizard's last page: the results log of the run.
class CAddFilesDonePage : public CWizardPage
{
    Q_OBJECT

public:
    static constexpr quint32 kTemplateId = 0x0153;
    static constexpr quint32 kHelpTopic = 52;

    // Shows resultsLog each time it is shown.
    explicit CAddFilesDonePage(const QString& resultsLog, QWidget* parent = nullptr);

    bool OnSetActive() override;

    QPlainTextEdit* GetResultsEdit() const { return m_results; }

private:
    const QString& m_resultsLog;
    QPlainTextEdit* m_results = nullptr;
};

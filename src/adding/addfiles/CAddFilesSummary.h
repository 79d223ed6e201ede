#pragma once

#include "adding/wizard/CWizardPage.h"

class QLineEdit;
class QPlainTextEdit;

// The Add Files wizard's second page: the host area and the files collected, filled each time it
// is shown.
class CAddFilesSummary : public CWizardPage
{
    Q_OBJECT

public:
    static constexpr quint32 kTemplateId = 0x0151;
    static constexpr quint32 kHelpTopic = 50;

    explicit CAddFilesSummary(QWidget* parent = nullptr);

    bool OnSetActive() override;

    QLineEdit* GetAreaNameEdit() const { return m_areaName; }
    QPlainTextEdit* GetFileListEdit() const { return m_fileList; }

private:
    QLineEdit* m_areaName = nullptr;
    QPlainTextEdit* m_fileList = nullptr;
};

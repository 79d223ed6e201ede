#pragma once

#include "adding/wizard/CWizardPage.h"

struct AddFilesChoice;
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

    // Shows choice each time it is shown.
    explicit CAddFilesSummary(const AddFilesChoice& choice, QWidget* parent = nullptr);

    bool OnSetActive() override;

    QLineEdit* GetAreaNameEdit() const { return m_areaName; }
    QPlainTextEdit* GetFileListEdit() const { return m_fileList; }

private:
    const AddFilesChoice& m_choice;
    QLineEdit* m_areaName = nullptr;
    QPlainTextEdit* m_fileList = nullptr;
};

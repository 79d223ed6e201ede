#pragma once

#include "adding/wizard/CWizardPage.h"

class CFileRecord;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// "Description": the file's brief and detailed descriptions; the detailed one can take in a text
// file. Loaded from the working copy when first shown, stored into it when the sheet is accepted.
class CFileDescriptionPage : public CWizardPage
{
    Q_OBJECT

public:
    static constexpr quint32 kTemplateId = 0x0119;
    static constexpr quint32 kHelpTopic = 19;

    explicit CFileDescriptionPage(CFileRecord* file, QWidget* parent = nullptr);

    bool OnSetActive() override;
    bool OnKillActive() override;
    void OnOK() override;

    QLineEdit* GetBriefEdit() const { return m_brief; }
    QPlainTextEdit* GetDetailedEdit() const { return m_detailed; }
    QPushButton* GetBrowseButton() const { return m_browse; }
    // The detailed description as it would be stored.
    QString GetDetailedText() const;

    // "Browse...": appends a chosen text file to the detailed description.
    void OnBrowse();

private:
    bool TakeFields();
    // The chosen file to import, or empty: a read-only file is refused and the user asked again.

    CFileRecord* m_file;
    bool m_loaded = false;
    QLineEdit* m_brief = nullptr;
    QPlainTextEdit* m_detailed = nullptr;
    QPushButton* m_browse = nullptr;
};

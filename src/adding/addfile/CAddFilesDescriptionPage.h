#pragma once

#include "adding/addfile/NewFileEntries.h"
#include "adding/wizard/CWizardPage.h"

class CNewFileSource;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The new file's brief and detailed descriptions, filled from the source (a local archive gives
// its own), with an import from a text file. Nothing is required here.
class CAddFilesDescriptionPage : public CWizardPage
{
    Q_OBJECT

public:
    static constexpr quint32 kTemplateId = 0x0144;
    static constexpr quint32 kHelpTopic = 13;
    // Sizes in bytes of what the extraction may fill, terminator included.
    static constexpr int kBriefBufferSize = 60;
    static constexpr int kDetailedBufferSize = 65535;

    // Fills the descriptions from source; takes them into entries.
    CAddFilesDescriptionPage(const CNewFileSource& source, NewFileEntries& entries,
                             QWidget* parent = nullptr);

    bool OnSetActive() override;
    bool OnKillActive() override;

    QLineEdit* GetBriefEdit() const { return m_brief; }
    QPlainTextEdit* GetDetailedEdit() const { return m_detailed; }
    QPushButton* GetBrowseButton() const { return m_browse; }

private:
    void Refill();
    void UpdateData(bool take);
    void OnBrowse();
    // A text file to import that is not marked read-only and whose directory may be written; empty
    // when the user cancels.

    const CNewFileSource& m_source;
    NewFileEntries& m_entries;
    quint32 m_filledGeneration = 0;
    QLineEdit* m_brief = nullptr;
    QPlainTextEdit* m_detailed = nullptr;
    QPushButton* m_browse = nullptr;
};

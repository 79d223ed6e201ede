#pragma once

#include "adding/addfile/CClipboardSubmission.h"
#include "adding/wizard/CWizard.h"

class CAddFileClipboardPage;
class CAddFileDetailsPage;
class CAddFileFinishedPage;
class CAddFileFirstPage;
class CAddFilesDescriptionPage;
class CAddFileTitlePage;
class CAddFileUrlPage;
class CFolderTreeModel;

// "Add File Wizard": adds one file to the library, with its areas and download locations. Its
// fields are filled from a source the user chooses: the formatted submission found on the
// clipboard when the wizard opened, a file on a web or ftp server, or a local file. Each choice
// raises the source generation, and each later page fills its fields anew when it is shown for a
// newer generation than it last filled them for.
class CAddFileWizard : public CWizard
{
    Q_OBJECT

public:
    enum SourceKind
    {
        kNoSource = 0,
        kWebFile = 1,
        kLocalFile = 2
    };

    // Reads the clipboard once; the Clipboard page leads only when it holds a submission. The
    // Title page's tree is built from the explorer's tree model.
    CAddFileWizard(const QString& caption, const CFolderTreeModel* folders, QWidget* parent = nullptr,
                   int firstPage = 0);

    // A source was chosen (the Clipboard or First page was left forwards).
    void OnSourceChosen(bool useSubmission);
    quint32 GetSourceGeneration() const { return m_sourceGeneration; }
    bool IsSubmissionUsed() const { return m_useSubmission; }
    const CClipboardSubmission& GetSubmission() const { return m_submission; }
    int GetSourceKind() const { return m_sourceKind; }
    const QString& GetSourceText() const { return m_sourceText; }
    void SetSource(int kind, const QString& text);

    // The Clipboard page is null when the clipboard held no submission.
    CAddFileClipboardPage* GetClipboardPage() const { return m_clipboardPage; }
    CAddFileFirstPage* GetFirstPage() const { return m_firstPage; }
    CAddFileTitlePage* GetTitlePage() const { return m_titlePage; }
    CAddFileDetailsPage* GetDetailsPage() const { return m_detailsPage; }
    CAddFilesDescriptionPage* GetDescriptionPage() const { return m_descriptionPage; }
    CAddFileUrlPage* GetUrlPage() const { return m_urlPage; }
    CAddFileFinishedPage* GetFinishedPage() const { return m_finishedPage; }

    // For a page filled from the source: the wizard when the source changed since the generation
    // the page remembers (which then becomes the current one), so that the page fills its fields
    // anew; null otherwise, and for a page outside this wizard.
    static CAddFileWizard* SourceChangedSince(CPropertySheet* sheet, quint32& remembered);

private:
    quint32 m_sourceGeneration = 0;
    bool m_useSubmission = false;
    CClipboardSubmission m_submission;
    int m_sourceKind = kNoSource;
    QString m_sourceText;

    CAddFileClipboardPage* m_clipboardPage = nullptr;
    CAddFileFirstPage* m_firstPage = nullptr;
    CAddFileTitlePage* m_titlePage = nullptr;
    CAddFileDetailsPage* m_detailsPage = nullptr;
    CAddFilesDescriptionPage* m_descriptionPage = nullptr;
    CAddFileUrlPage* m_urlPage = nullptr;
    CAddFileFinishedPage* m_finishedPage = nullptr;
};

#pragma once

#include "adding/addfile/CNewFileSource.h"
#include "adding/addfile/NewFileEntries.h"
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
// fields are filled from a source the user chooses (CNewFileSource); the pages take what the user
// leaves in them into the new file's entries, which the last page stores.
class CAddFileWizard : public CWizard
{
    Q_OBJECT

public:
    // Reads the clipboard once; the Clipboard page leads only when it holds a submission. The
    // Title page's tree is built from the explorer's tree model.
    CAddFileWizard(const QString& caption, const CFolderTreeModel* folders, QWidget* parent = nullptr,
                   int firstPage = 0);

    // The Clipboard page is null when the clipboard held no submission.
    CAddFileClipboardPage* GetClipboardPage() const { return m_clipboardPage; }
    CAddFileFirstPage* GetFirstPage() const { return m_firstPage; }
    CAddFileTitlePage* GetTitlePage() const { return m_titlePage; }
    CAddFileDetailsPage* GetDetailsPage() const { return m_detailsPage; }
    CAddFilesDescriptionPage* GetDescriptionPage() const { return m_descriptionPage; }
    CAddFileUrlPage* GetUrlPage() const { return m_urlPage; }
    CAddFileFinishedPage* GetFinishedPage() const { return m_finishedPage; }

private:
    // Made before the pages, which hold on to them and use them only while the wizard is open.
    CNewFileSource m_source;
    NewFileEntries m_entries;

    CAddFileClipboardPage* m_clipboardPage = nullptr;
    CAddFileFirstPage* m_firstPage = nullptr;
    CAddFileTitlePage* m_titlePage = nullptr;
    CAddFileDetailsPage* m_detailsPage = nullptr;
    CAddFilesDescriptionPage* m_descriptionPage = nullptr;
    CAddFileUrlPage* m_urlPage = nullptr;
    CAddFileFinishedPage* m_finishedPage = nullptr;
};

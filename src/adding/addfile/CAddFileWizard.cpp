#include "adding/addfile/CAddFileWizard.h"

#include "adding/addfile/CAddFileClipboardPage.h"
#include "adding/addfile/CAddFileDetailsPage.h"
#include "adding/addfile/CAddFileFinishedPage.h"
#include "adding/addfile/CAddFileFirstPage.h"
#include "adding/addfile/CAddFilesDescriptionPage.h"
#include "adding/addfile/CAddFileTitlePage.h"
#include "adding/addfile/CAddFileUrlPage.h"
#include "adding/addfile/ReadClipboardText.h"

CAddFileWizard::CAddFileWizard(const QString& caption, const CFolderTreeModel* folders, QWidget* parent,
                               int firstPage)
    : CWizard(caption, parent, firstPage)
{
    const QString clipboard = ReadClipboardText();
    if (CClipboardSubmission::IsSubmission(clipboard)) {
        m_submission.Parse(clipboard);
        m_clipboardPage = new CAddFileClipboardPage;
        AddPage(m_clipboardPage);
    }
    m_firstPage = new CAddFileFirstPage;
    m_titlePage = new CAddFileTitlePage(folders);
    m_detailsPage = new CAddFileDetailsPage;
    m_descriptionPage = new CAddFilesDescriptionPage;
    m_urlPage = new CAddFileUrlPage;
    m_finishedPage = new CAddFileFinishedPage;
    AddPage(m_firstPage);
    AddPage(m_titlePage);
    AddPage(m_detailsPage);
    AddPage(m_descriptionPage);
    AddPage(m_urlPage);
    AddPage(m_finishedPage);
}

void CAddFileWizard::OnSourceChosen(bool useSubmission)
{
    ++m_sourceGeneration;
    m_useSubmission = useSubmission;
}

void CAddFileWizard::SetSource(int kind, const QString& text)
{
    m_sourceKind = kind;
    m_sourceText = text;
}

CAddFileWizard* CAddFileWizard::SourceChangedSince(CPropertySheet* sheet, quint32& remembered)
{
    auto* wizard = qobject_cast<CAddFileWizard*>(sheet);
    if (!wizard)
        return nullptr;
    const quint32 current = wizard->GetSourceGeneration();
    const bool changed = remembered < current;
    remembered = current;
    return changed ? wizard : nullptr;
}

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
        CClipboardSubmission submission;
        submission.Parse(clipboard);
        m_source.SetSubmission(submission);
        m_clipboardPage = new CAddFileClipboardPage(m_source);
        AddPage(m_clipboardPage);
    }
    m_firstPage = new CAddFileFirstPage(&m_source);
    m_titlePage = new CAddFileTitlePage(m_source, m_entries, folders);
    m_detailsPage = new CAddFileDetailsPage(m_source, m_entries);
    m_descriptionPage = new CAddFilesDescriptionPage(m_source, m_entries);
    m_urlPage = new CAddFileUrlPage(m_source, m_entries);
    m_finishedPage = new CAddFileFinishedPage(m_entries);
    AddPage(m_firstPage);
    AddPage(m_titlePage);
    AddPage(m_detailsPage);
    AddPage(m_descriptionPage);
    AddPage(m_urlPage);
    AddPage(m_finishedPage);
}

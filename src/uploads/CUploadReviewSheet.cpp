#include "uploads/CUploadReviewSheet.h"

#include "database/CFileRecord.h"
#include "database/CTroveportDatabaseManager.h"
#include "properties/CFileDescriptionPage.h"
#include "properties/CFileGeneralPage.h"
#include "uploads/CUploadAreasPage.h"
#include "uploads/CUploadUrlsPage.h"
#include "uploads/PendingUpload.h"

#include <QPushButton>

namespace {

std::unique_ptr<CFileRecord> RecordOf(const CPendingUpload& upload)
{
    auto file = std::make_unique<CFileRecord>(&theDatabaseManager);
    file->file_size = upload.file_size;
    file->title = upload.title;
    file->version = upload.version;
    file->upld_name = upload.company;
    file->upld_email = upload.email;
    file->requires_form = upload.requires_form ? 1 : 0;
    file->file_date = upload.file_date;
    file->last_download = upload.last_download;
    file->long_desc = upload.long_desc;
    file->short_desc = upload.short_desc;
    return file;
}

} // namespace

CUploadReviewSheet::CUploadReviewSheet(CPendingUpload& upload, const CFolderTreeModel* folders, QWidget* parent)
    : CPropertySheet(tr("File Properties"), parent), m_upload(upload), m_file(RecordOf(upload)),
      m_general(new CFileGeneralPage(m_file.get())), m_description(new CFileDescriptionPage(m_file.get())),
      m_areas(new CUploadAreasPage(upload.area_ids, folders)), m_urls(new CUploadUrlsPage(upload.urls))
{
    AddPage(m_general);
    AddPage(m_description);
    AddPage(m_areas);
    AddPage(m_urls);
}

CUploadReviewSheet::~CUploadReviewSheet() = default;

bool CUploadReviewSheet::Run()
{
    if (DoModal() != QDialog::Accepted)
        return false;
    // The pages' own limits keep every text within what an upload holds.
    m_upload.file_size = m_file->file_size;
    m_upload.title = m_file->title;
    m_upload.version = m_file->version;
    m_upload.company = m_file->upld_name;
    m_upload.email = m_file->upld_email;
    m_upload.requires_form = m_file->requires_form != 0;
    m_upload.long_desc = m_file->long_desc;
    m_upload.short_desc = m_file->short_desc;
    m_upload.last_download = m_file->last_download;
    m_upload.file_date = m_file->file_date;
    return true;
}

void CUploadReviewSheet::CancelToClose()
{
    // OK here also posts the upload: it becomes the one way out, under the name Close.
    EnsureBuilt();
    m_closeOnly = true;
    if (QPushButton* ok = GetButton(kOkButton)) {
        ok->setText(tr("Close"));
        ok->setAccessibleName(tr("Close"));
    }
    if (QPushButton* cancel = GetButton(kCancelButton))
        cancel->setEnabled(false);
}

void CUploadReviewSheet::reject()
{
    if (!m_closeOnly)
        CPropertySheet::reject();
}

#include "properties/CFilePropertySheet.h"

#include "controls/CMessageBox.h"
#include "database/CFileRecord.h"
#include "database/CTroveportDatabaseManager.h"
#include "properties/CFileAreasPage.h"
#include "properties/CFileDescriptionPage.h"
#include "properties/CFileGeneralPage.h"
#include "properties/CFileUrlsPage.h"
#include "properties/FileProperties.h"
#include "reviews/CReviewsPage.h"

CFilePropertySheet::CFilePropertySheet(std::unique_ptr<CFileRecord> file, const CFolderTreeModel* folders,
                                       QWidget* parent)
    : CPropertySheet(tr("File Properties"), parent), m_file(std::move(file)),
      m_general(new CFileGeneralPage(m_file.get())), m_description(new CFileDescriptionPage(m_file.get())),
      m_areas(new CFileAreasPage(m_file.get(), folders)), m_urls(new CFileUrlsPage(m_file.get())),
      // The title heads the reviews page: shortened, as a site can store megabytes in it.
      m_reviews(new CReviewsPage(qint64(m_file->file_id), m_file->title))
{
    AddPage(m_general);
    AddPage(m_description);
    AddPage(m_areas);
    AddPage(m_urls);
    AddPage(m_reviews);
}

CFilePropertySheet::~CFilePropertySheet() = default;

bool CFilePropertySheet::Run()
{
    if (DoModal() != QDialog::Accepted)
        return false;
    if (const QString duplicates = DuplicateFileIdMessage(theDatabaseManager, m_file->file_id);
        !duplicates.isEmpty()) {
        CMessageBox::Show(parentWidget(), duplicates, QString(), QMessageBox::Warning);
        return false;
    }
    CommitFileProperties(*m_file);
    return true;
}

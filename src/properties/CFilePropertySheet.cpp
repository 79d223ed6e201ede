#include "properties/CFilePropertySheet.h"

#include "controls/CMessageBox.h"
#include "controls/CWaitCursor.h"
#include "database/CFileRecord.h"
#include "database/CTroveportDatabaseManager.h"
#include "files/SafeFormat.h"
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
    return DoModal() == QDialog::Accepted;
}

bool CFilePropertySheet::Commit()
{
    QString reason;
    {
        // The database may make the write wait for a lock the web site holds.
        const CWaitCursor wait;
        reason = DuplicateFileIdMessage(theDatabaseManager, m_file->file_id);
        if (reason.isEmpty())
            reason = CommitFileProperties(*m_file);
    }
    if (reason.isEmpty())
        return true;
    CMessageBox::Show(this,
                      SafeFormat(u"The changes to \"%s\" could not be stored:\n%s\n\nPress OK to try again, "
                                 u"or Cancel to give them up.",
                                 ElideStoredText(m_file->title), reason),
                      QString(), QMessageBox::Warning);
    return false;
}

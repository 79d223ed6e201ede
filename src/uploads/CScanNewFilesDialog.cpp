#include "uploads/CScanNewFilesDialog.h"

#include "controls/CHighlightList.h"
#include "controls/CMessageBox.h"
#include "properties/PageControls.h"
#include "startup/SafeFormat.h"
#include "uploads/CUploadReviewSheet.h"
#include "uploads/UploadScan.h"

#include <QDateTime>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace {

enum Column
{
    kFileName,
    kTitle,
    kDate,
};

} // namespace

CScanNewFilesDialog::CScanNewFilesDialog(CPendingUploadArray& uploads, const CFolderTreeModel* folders,
                                         QWidget* parent)
    : CRowWalkDialog(tr("Scan for new files"), tr("Uploaded files"),
                     {tr("Filename"), tr("Title"), tr("Date")}, {100, 230, 70}, kHelpTopic, parent),
      m_uploads(uploads), m_folders(folders)
{
    auto* text = new QLabel(tr("Listed below are files that have been uploaded to your system but not yet "
                               "processed into the Troveport database. Press the Review button to edit the "
                               "properties of any single file. When finished, mark the files that are to be "
                               "added, and press OK."),
                            this);
    text->setWordWrap(true);
    NameAfterText(text, text->text());
    GetLayout()->insertWidget(0, text);

    bool warned = false;
    for (const CPendingUpload& upload : std::as_const(m_uploads)) {
        AddRow(upload);
        warned = warned || !upload.IsSafe();
    }
    // A warning is read whole, not cut to the width of a file name.
    if (warned)
        GetList()->resizeColumnToContents(kFileName);
    // Enter reviews the first upload at once; Shift+Down takes in the next ones.
    if (GetList()->topLevelItemCount() > 0)
        GetList()->setCurrentItem(GetList()->topLevelItem(0));
}

void CScanNewFilesDialog::AddRow(const CPendingUpload& upload)
{
    auto* item = new QTreeWidgetItem(GetList());
    ShowName(item, upload);
    item->setText(kTitle, upload.title);
    // Its day in UTC, as the upload's General page and the file list show it.
    const QDate date = QDateTime::fromSecsSinceEpoch(upload.file_date, Qt::UTC).date();
    item->setText(kDate, QLocale::system().toString(date, QLocale::ShortFormat));
}

void CScanNewFilesDialog::ShowName(QTreeWidgetItem* item, const CPendingUpload& upload)
{
    if (upload.IsSafe()) {
        item->setText(kFileName, upload.file_name);
        return;
    }
    // The name cannot be trusted, or the upload cannot be posted yet: the row shows why instead.
    item->setText(kFileName, upload.unsafe_reason);
    item->setIcon(kFileName, style()->standardIcon(QStyle::SP_MessageBoxWarning));
    item->setToolTip(kFileName, upload.unsafe_reason);
    item->setData(kFileName, Qt::AccessibleTextRole, SafeFormat(u"Warning: %s", upload.unsafe_reason));
}

void CScanNewFilesDialog::RemoveRow(int row)
{
    m_uploads.removeAt(row);
    delete GetList()->takeTopLevelItem(row);
}

void CScanNewFilesDialog::RefuseUnsafe(const CPendingUpload& upload)
{
    CMessageBox::Show(this,
                      SafeFormat(u"%s\n\nThis upload cannot be posted. Delete it, or have its description "
                                 u"file corrected and scan again.",
                                 upload.unsafe_reason),
                      QString(), QMessageBox::Warning);
}

bool CScanNewFilesDialog::Post(int row)
{
    CPendingUpload& upload = m_uploads[row];
    QString refusal;
    if (PostPendingUpload(upload, &refusal)) {
        RemovePostedDescription(upload);
        return true;
    }
    if (!refusal.isEmpty()) {
        // Found changed since the scan: it stays unpostable until a later scan checks it again.
        upload.unsafe_reason = refusal;
        ShowName(GetList()->topLevelItem(row), upload);
        GetList()->resizeColumnToContents(kFileName);
        RefuseUnsafe(upload);
    }
    return false;
}

void CScanNewFilesDialog::OnReview()
{
    WalkHighlighted([this](int row) {
        CPendingUpload& upload = m_uploads[row];
        if (!upload.IsSafe()) {
            RefuseUnsafe(upload);
            return Step::Kept;
        }
        CUploadReviewSheet sheet(upload, m_folders, this);
        if (!sheet.Run())
            return Step::Stop;
        // A post that fails keeps the upload listed with the values just edited.
        if (!Post(row))
            return Step::Kept;
        RemoveRow(row);
        return Step::Removed;
    });
}

void CScanNewFilesDialog::OnPost()
{
    WalkHighlighted([this](int row) {
        if (!Post(row)) {
            // One still safe was refused by the database; a refused upload was explained already.
            if (m_uploads.at(row).IsSafe())
                CMessageBox::Show(this, tr("Error adding file to database."));
            return Step::Kept;
        }
        RemoveRow(row);
        return Step::Removed;
    });
}

void CScanNewFilesDialog::OnDelete()
{
    if (IsWalking() || GetList()->HighlightedRows().isEmpty())
        return;
    if (CMessageBox::Show(this, tr("Are you sure you want to delete the highlighted file(s)?"), tr("Warning"),
                          QMessageBox::Question, QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    WalkHighlighted([this](int row) {
        DeleteUploadFiles(m_uploads.at(row));
        RemoveRow(row);
        return Step::Removed;
    });
}

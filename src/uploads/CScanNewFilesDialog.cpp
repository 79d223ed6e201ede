#include "uploads/CScanNewFilesDialog.h"

#include "controls/CHighlightList.h"
#include "controls/CMessageBox.h"
#include "controls/PageControls.h"
#include "files/SafeFormat.h"
#include "uploads/CUploadReviewSheet.h"
#include "uploads/UploadScan.h"

#include <QDateTime>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include <optional>

namespace {

// The verdict stands beside the name: together they decide whether an upload can be posted, and a
// long warning in place of a name must not push the verdict out of sight.
enum Column
{
    kFileName,
    kVirus,
    kTitle,
    kDate,
};

} // namespace

CScanNewFilesDialog::CScanNewFilesDialog(CPendingUploadArray& uploads, const CFolderTreeModel* folders,
                                         QWidget* parent)
    : CRowWalkDialog(tr("Scan for new files"), tr("Uploaded files"),
                     {tr("Filename"), tr("Virus check"), tr("Title"), tr("Date")}, {100, 115, 230, 70},
                     kHelpTopic, parent),
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
    if (warned)
        FitNameColumn();
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
    ShowVirusVerdict(item, upload);
}

void CScanNewFilesDialog::ShowVirusVerdict(QTreeWidgetItem* item, const CPendingUpload& upload)
{
    const VirusVerdict& verdict = upload.virus;
    QString text;
    QString detail = verdict.reason;
    std::optional<QStyle::StandardPixmap> icon;
    switch (verdict.kind) {
    case VirusVerdict::Kind::Clean:
        text = tr("clean");
        icon = QStyle::SP_DialogApplyButton;
        break;
    case VirusVerdict::Kind::Infected:
        text = tr("infected");
        detail = VirusRefusal(upload);
        icon = QStyle::SP_MessageBoxCritical;
        break;
    case VirusVerdict::Kind::NotChecked:
        text = tr("not checked");
        icon = QStyle::SP_MessageBoxWarning;
        break;
    case VirusVerdict::Kind::NoChecker:
        text = tr("no checker");
        break;
    }
    item->setText(kVirus, text);
    if (icon)
        item->setIcon(kVirus, style()->standardIcon(*icon));
    item->setToolTip(kVirus, detail);
    item->setData(kVirus, Qt::AccessibleTextRole,
                  detail.isEmpty() ? SafeFormat(u"Virus check: %s", text)
                                   : SafeFormat(u"Virus check: %s: %s", text, detail));
}

// A warning gets room to be read, though not so much that the verdict beside it leaves the view:
// its tooltip and accessible text hold it whole.
void CScanNewFilesDialog::FitNameColumn()
{
    QTreeWidget* list = GetList();
    list->resizeColumnToContents(kFileName);
    const int most = list->fontMetrics().averageCharWidth() * 48;
    if (list->columnWidth(kFileName) > most)
        list->setColumnWidth(kFileName, most);
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

bool CScanNewFilesDialog::Refuse(const CPendingUpload& upload)
{
    const QString text = UploadRefusalText(upload);
    if (text.isEmpty())
        return false;
    CMessageBox::Show(this, text, QString(), QMessageBox::Warning);
    return true;
}

CScanNewFilesDialog::Posting CScanNewFilesDialog::Post(int row)
{
    CPendingUpload& upload = m_uploads[row];
    const bool wasSafe = upload.IsSafe();
    QString refusal;
    switch (PostUpload(upload, &refusal)) {
    case UploadPosting::Posted:
        return Posting::Posted;
    case UploadPosting::Failed:
        return Posting::Failed;
    case UploadPosting::Refused:
        break;
    }
    // Found changed since the scan: the row says so from now on.
    if (wasSafe && !upload.IsSafe()) {
        ShowName(GetList()->topLevelItem(row), upload);
        FitNameColumn();
    }
    CMessageBox::Show(this, refusal, QString(), QMessageBox::Warning);
    return Posting::Refused;
}

void CScanNewFilesDialog::OnReview()
{
    WalkHighlighted([this](int row) {
        CPendingUpload& upload = m_uploads[row];
        if (Refuse(upload))
            return Step::Kept;
        CUploadReviewSheet sheet(upload, m_folders, this);
        if (!sheet.Run())
            return Step::Stop;
        // A post that fails keeps the upload listed with the values just edited.
        if (Post(row) != Posting::Posted)
            return Step::Kept;
        RemoveRow(row);
        return Step::Removed;
    });
}

void CScanNewFilesDialog::OnPost()
{
    WalkHighlighted([this](int row) {
        const Posting posting = Post(row);
        if (posting == Posting::Failed)
            CMessageBox::Show(this, tr("Error adding file to database."));
        if (posting != Posting::Posted)
            return Step::Kept;
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

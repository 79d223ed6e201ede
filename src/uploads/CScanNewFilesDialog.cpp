#include "uploads/CScanNewFilesDialog.h"

#include "controls/CMessageBox.h"
#include "explorer/CHelpViewer.h"
#include "properties/PageControls.h"
#include "startup/SafeFormat.h"
#include "uploads/CUploadListView.h"
#include "uploads/CUploadReviewSheet.h"
#include "uploads/UploadScan.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QShortcut>
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
    : QDialog(parent), m_uploads(uploads), m_folders(folders)
{
    setWindowTitle(tr("Scan for new files"));
    setAccessibleName(windowTitle());

    auto* text = new QLabel(tr("Listed below are files that have been uploaded to your system but not yet "
                               "processed into the Troveport database. Press the Review button to edit the "
                               "properties of any single file. When finished, mark the files that are to be "
                               "added, and press OK."),
                            this);
    text->setWordWrap(true);
    NameAfterText(text, text->text());

    m_list = new CUploadListView(this);
    m_list->setAccessibleName(tr("Uploaded files"));
    m_list->setHeaderLabels({tr("Filename"), tr("Title"), tr("Date")});
    m_list->setColumnWidth(kFileName, 100);
    m_list->setColumnWidth(kTitle, 230);
    m_list->setColumnWidth(kDate, 70);
    bool warned = false;
    for (const CPendingUpload& upload : std::as_const(m_uploads)) {
        AddRow(upload);
        warned = warned || !upload.IsSafe();
    }
    // A warning is read whole, not cut to the width of a file name.
    if (warned)
        m_list->resizeColumnToContents(kFileName);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, &CScanNewFilesDialog::OnReview);

    m_review = new QPushButton(tr("&Review..."), this);
    m_post = new QPushButton(tr("&Post"), this);
    m_delete = new QPushButton(tr("&Delete..."), this);
    m_close = new QPushButton(tr("Close"), this);
    m_help = new QPushButton(tr("Help"), this);
    for (QPushButton* button : {m_review, m_post, m_delete, m_close, m_help})
        NameAfterText(button, button->text());
    m_review->setDefault(true);
    connect(m_review, &QPushButton::clicked, this, &CScanNewFilesDialog::OnReview);
    connect(m_post, &QPushButton::clicked, this, &CScanNewFilesDialog::OnPost);
    connect(m_delete, &QPushButton::clicked, this, &CScanNewFilesDialog::OnDelete);
    connect(m_close, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_help, &QPushButton::clicked, this, &CScanNewFilesDialog::OnHelp);
    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this, &CScanNewFilesDialog::OnHelp);

    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {m_review, m_post, m_delete})
        buttons->addWidget(button);
    buttons->addStretch();
    buttons->addWidget(m_close);
    buttons->addWidget(m_help);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);
    // Room for the three columns and a dozen rows.
    m_list->setMinimumSize(m_list->header()->length() + 2 * m_list->frameWidth() + 24,
                           m_list->sizeHintForRow(0) * 12);
    // Enter reviews the first upload at once; Shift+Down takes in the next ones.
    if (m_list->topLevelItemCount() > 0)
        m_list->setCurrentItem(m_list->topLevelItem(0));
}

void CScanNewFilesDialog::AddRow(const CPendingUpload& upload)
{
    auto* item = new QTreeWidgetItem(m_list);
    if (upload.IsSafe()) {
        item->setText(kFileName, upload.file_name);
    } else {
        // The name cannot be trusted: the row shows why instead.
        item->setText(kFileName, upload.unsafe_reason);
        item->setIcon(kFileName, style()->standardIcon(QStyle::SP_MessageBoxWarning));
        item->setToolTip(kFileName, upload.unsafe_reason);
        item->setData(kFileName, Qt::AccessibleTextRole, SafeFormat(u"Warning: %s", upload.unsafe_reason));
    }
    item->setText(kTitle, upload.title);
    const QDate date = QDateTime::fromSecsSinceEpoch(upload.file_date).date();
    item->setText(kDate, QLocale::system().toString(date, QLocale::ShortFormat));
}

void CScanNewFilesDialog::RemoveRow(int row)
{
    m_uploads.removeAt(row);
    delete m_list->takeTopLevelItem(row);
}

void CScanNewFilesDialog::WalkHighlighted(const std::function<Step(int row)>& step)
{
    // A message box or sheet shown by a step must not start a second walk over the same rows.
    if (m_walking)
        return;
    m_walking = true;
    for (int row = 0; row < m_list->topLevelItemCount();) {
        if (!m_list->topLevelItem(row)->isSelected()) {
            ++row;
            continue;
        }
        const Step done = step(row);
        if (done == Step::Stop)
            break;
        if (done == Step::Kept)
            ++row;
    }
    m_walking = false;
}

void CScanNewFilesDialog::RefuseUnsafe(const CPendingUpload& upload)
{
    CMessageBox::Show(this,
                      SafeFormat(u"%s\n\nThis upload cannot be posted. Delete it, or have its description "
                                 u"file corrected and scan again.",
                                 upload.unsafe_reason),
                      QString(), QMessageBox::Warning);
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
        if (!PostPendingUpload(upload))
            return Step::Kept;
        RemovePostedDescription(upload);
        RemoveRow(row);
        return Step::Removed;
    });
}

void CScanNewFilesDialog::OnPost()
{
    WalkHighlighted([this](int row) {
        const CPendingUpload& upload = m_uploads.at(row);
        if (!upload.IsSafe()) {
            RefuseUnsafe(upload);
            return Step::Kept;
        }
        if (!PostPendingUpload(upload)) {
            CMessageBox::Show(this, tr("Error adding file to database."));
            return Step::Kept;
        }
        RemovePostedDescription(upload);
        RemoveRow(row);
        return Step::Removed;
    });
}

void CScanNewFilesDialog::OnDelete()
{
    if (m_walking || m_list->HighlightedRows().isEmpty())
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

void CScanNewFilesDialog::OnHelp()
{
    CHelpViewer::ShowTopic(this, kHelpTopic);
}

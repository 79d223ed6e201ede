#include "reviews/CReviewSubmissionsDialog.h"

#include "controls/CMessageBox.h"
#include "controls/CModalRun.h"
#include "explorer/CHelpViewer.h"
#include "explorer/ListFormatting.h"
#include "properties/PageControls.h"
#include "reviews/CEditSubmissionDialog.h"
#include "reviews/ScanForNewReviews.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPushButton>
#include <QShortcut>
#include <QTreeWidget>
#include <QVBoxLayout>

CReviewSubmissionsDialog::CReviewSubmissionsDialog(const QString& path, QWidget* parent)
    : QDialog(parent), m_strPath(path)
{
    setWindowTitle(tr("Review New File Reviews"));
    setAccessibleName(windowTitle());
    ReadSubmissions(m_strPath, m_submissions);

    m_list = new QTreeWidget(this);
    m_list->setAccessibleName(tr("Submitted reviews"));
    m_list->setHeaderLabels({tr("Filename"), tr("Name"), tr("Email"), tr("Date")});
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setItemsExpandable(false);
    m_list->setAllColumnsShowFocus(true);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->header()->setSectionsMovable(false);
    m_list->header()->setStretchLastSection(false);
    const int lineHeight = QFontMetrics(QApplication::font()).height();
    const int widths[] = {100, 80, 150, 70};
    for (int column = 0; column < 4; ++column)
        m_list->setColumnWidth(column, ScaleDialogPixels(widths[column], lineHeight));
    // The highlight stays visible while a button or another dialog has the focus.
    QPalette palette = m_list->palette();
    for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    m_list->setPalette(palette);
    QList<QTreeWidgetItem*> rows;
    rows.reserve(m_submissions.size());
    for (const CSubmission& submission : std::as_const(m_submissions))
        rows.append(
            new QTreeWidgetItem({submission.file_name, submission.name, submission.email, submission.date}));
    m_list->addTopLevelItems(rows);

    m_review = new QPushButton(tr("&Review..."), this);
    m_post = new QPushButton(tr("&Post"), this);
    m_delete = new QPushButton(tr("&Delete..."), this);
    m_close = new QPushButton(tr("Close"), this);
    m_help = new QPushButton(tr("Help"), this);
    for (QPushButton* button : {m_review, m_post, m_delete, m_close, m_help})
        NameAfterText(button, button->text());
    m_review->setDefault(true);
    connect(m_review, &QPushButton::clicked, this, &CReviewSubmissionsDialog::OnReview);
    connect(m_post, &QPushButton::clicked, this, &CReviewSubmissionsDialog::OnPost);
    connect(m_delete, &QPushButton::clicked, this, &CReviewSubmissionsDialog::OnDelete);
    connect(m_close, &QPushButton::clicked, this, &CReviewSubmissionsDialog::accept);
    // Enter in the list is not taken here: the list passes it on to the default button.
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, &CReviewSubmissionsDialog::OnReview);
    m_list->viewport()->installEventFilter(this);
    const auto help = [this] { CHelpViewer::ShowTopic(this, kHelpTopic); };
    connect(m_help, &QPushButton::clicked, this, help);
    connect(new QShortcut(QKeySequence::HelpContents, this), &QShortcut::activated, this, help);

    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {m_review, m_post, m_delete})
        buttons->addWidget(button);
    buttons->addStretch();
    buttons->addWidget(m_close);
    buttons->addWidget(m_help);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);
    // Room for the four columns and a dozen rows.
    m_list->setMinimumSize(m_list->header()->length() + 2 * m_list->frameWidth() +
                               m_list->style()->pixelMetric(QStyle::PM_ScrollBarExtent),
                           m_list->header()->sizeHint().height() +
                               QFontMetrics(m_list->font()).lineSpacing() * 12);
    m_list->setFocus(Qt::OtherFocusReason);
}

bool CReviewSubmissionsDialog::eventFilter(QObject* watched, QEvent* event)
{
    // A double-click on one of several highlighted rows reviews them all, as a file manager opens
    // all its highlighted files; but the first click's release leaves only its own row highlighted.
    if (watched == m_list->viewport() &&
        (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick)) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const QModelIndex index = m_list->indexAt(mouse->position().toPoint());
        QItemSelectionModel* selection = m_list->selectionModel();
        if (event->type() == QEvent::MouseButtonPress) {
            const bool plainOnHighlight = mouse->button() == Qt::LeftButton &&
                                          mouse->modifiers() == Qt::NoModifier &&
                                          selection->isSelected(index);
            m_pressSelection = plainOnHighlight ? selection->selection() : QItemSelection();
        } else if (m_pressSelection.contains(index)) {
            selection->select(m_pressSelection, QItemSelectionModel::ClearAndSelect);
            m_pressSelection.clear();
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CReviewSubmissionsDialog::WalkHighlighted(const std::function<Step(int row)>& step)
{
    for (int row = 0; row < m_list->topLevelItemCount();) {
        if (!m_list->topLevelItem(row)->isSelected()) {
            ++row;
            continue;
        }
        const Step done = step(row);
        if (done == Step::Stop)
            return;
        if (done == Step::Kept)
            ++row;
    }
}

void CReviewSubmissionsDialog::Remove(int row)
{
    // What the file is rid of at Close is the record as it was read, not the edited copy posted.
    m_removed.append(m_submissions.takeAt(row));
    delete m_list->takeTopLevelItem(row);
    m_bModified = true;
}

void CReviewSubmissionsDialog::OnReview()
{
    WalkHighlighted([this](int row) {
        CSubmission copy = m_submissions[row];
        CEditSubmissionDialog dialog(copy, this);
        const int result = CModalRun::Exec(dialog);
        if (result == CEditSubmissionDialog::kDeleteResult) {
            Remove(row);
            return Step::Removed;
        }
        if (result != QDialog::Accepted)
            return Step::Stop;
        // A post that fails keeps the submission as it was read; the edits are lost.
        if (!PostSubmission(copy, this))
            return Step::Kept;
        Remove(row);
        return Step::Removed;
    });
}

void CReviewSubmissionsDialog::OnPost()
{
    WalkHighlighted([this](int row) {
        if (!PostSubmission(m_submissions[row], this))
            return Step::Kept;
        Remove(row);
        return Step::Removed;
    });
}

void CReviewSubmissionsDialog::OnDelete()
{
    // Asked even when nothing is highlighted.
    if (CMessageBox::Show(this, tr("Are you sure you want to delete the highlighted review(s)?"),
                          tr("Warning"), QMessageBox::Question,
                          QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    WalkHighlighted([this](int row) {
        Remove(row);
        return Step::Removed;
    });
}

void CReviewSubmissionsDialog::accept()
{
    // Only the removed records are taken out, under the site's lock: records the site appended
    // while the dialog was open stay in the file.
    if (m_bModified)
        RemoveSubmissions(m_strPath, m_removed);
    QDialog::accept();
}

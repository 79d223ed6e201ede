#include "reviews/CReviewsPage.h"

#include "controls/PageControls.h"

#include "controls/CMessageBox.h"
#include "controls/CModalRun.h"
#include "controls/CPropertySheet.h"
#include "controls/DialogUnits.h"
#include "files/SafeFormat.h"
#include "reviews/CEditReviewDialog.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

// The page's reviews as rows: name, e-mail and date. Rows are read from the list when painted, so
// a file of many reviews costs no widget per row.
class CReviewListModel : public QAbstractTableModel
{
public:
    CReviewListModel(const QList<CReview>& reviews, QObject* parent)
        : QAbstractTableModel(parent), m_reviews(reviews)
    {
    }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : int(m_reviews.size());
    }
    int columnCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : 3;
    }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid() || index.row() >= m_reviews.size() ||
            (role != Qt::DisplayRole && role != Qt::AccessibleTextRole))
            return QVariant();
        const CReview& review = m_reviews[index.row()];
        return index.column() == 0 ? review.name : index.column() == 1 ? review.email : review.date;
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return QVariant();
        static const char* const kColumns[] = {QT_TRANSLATE_NOOP("CReviewsPage", "Name"),
                                               QT_TRANSLATE_NOOP("CReviewsPage", "Email"),
                                               QT_TRANSLATE_NOOP("CReviewsPage", "Date")};
        return section >= 0 && section < 3 ? QCoreApplication::translate("CReviewsPage", kColumns[section])
                                           : QVariant();
    }

    // The list has changed at these rows, or all of it: the views follow.
    void BeginAppendRow() { beginInsertRows({}, rowCount(), rowCount()); }
    void EndAppendRow() { endInsertRows(); }
    void RowChanged(int row) { emit dataChanged(index(row, 0), index(row, 2)); }
    void BeginRemoveRow(int row) { beginRemoveRows({}, row, row); }
    void EndRemoveRow() { endRemoveRows(); }
    void BeginReset() { beginResetModel(); }
    void EndReset() { endResetModel(); }

private:
    const QList<CReview>& m_reviews;
};

namespace {

QPushButton* MakeButton(const QString& text, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    NameAfterText(button, text);
    return button;
}

} // namespace

CReviewsPage::CReviewsPage(qint64 fileId, const QString& title, QWidget* parent)
    : CWizardPage(kTemplateId, tr("Reviews"), parent), m_strPath(ReviewFilePath(fileId))
{
    SetHelpTopic(kHelpTopic);
    // A file not read whole shows what was read, and why it cannot be changed: a write would lose
    // the rest of it, or go where the page never read.
    QList<CReview> read;
    QString problem;
    m_bReadOnly = !ReadReviewFile(m_strPath, read, &problem);
    m_reviews.Reset(read);
    m_notice = new QLabel(this);
    m_notice->setTextFormat(Qt::PlainText);
    m_notice->setWordWrap(true);
    m_notice->setText(problem + u'\n' + tr("The reviews cannot be changed here."));
    m_notice->setAccessibleName(m_notice->text());
    m_notice->setHidden(!m_bReadOnly);

    // The title goes in as it stands: a "%1" or "%s" in it is part of the title. The site may
    // have stored megabytes there, which a label must not lay out.
    setWindowTitle(SafeFormat(u"%s Reviews", ElideStoredText(title)));
    m_heading = new QLabel(windowTitle(), this);
    m_heading->setTextFormat(Qt::PlainText);
    m_heading->setAccessibleName(windowTitle());

    m_model = new CReviewListModel(m_reviews.Reviews(), this);
    m_list = new QTreeView(this);
    m_list->setModel(m_model);
    m_list->setAccessibleName(tr("Reviews"));
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setItemsExpandable(false);
    m_list->setAllColumnsShowFocus(true);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->header()->setSectionsMovable(false);
    m_list->header()->setStretchLastSection(false);
    const int lineHeight = QFontMetrics(QApplication::font()).height();
    const int widths[] = {80, 150, 70};
    for (int column = 0; column < 3; ++column)
        m_list->setColumnWidth(column, ScaleDialogPixels(widths[column], lineHeight));
    // The highlight stays visible while another control has the focus.
    QPalette palette = m_list->palette();
    for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    m_list->setPalette(palette);

    m_add = MakeButton(tr("&Add..."), this);
    m_edit = MakeButton(tr("&Edit..."), this);
    m_delete = MakeButton(tr("&Delete..."), this);
    connect(m_add, &QPushButton::clicked, this, &CReviewsPage::OnAdd);
    connect(m_edit, &QPushButton::clicked, this, &CReviewsPage::OnEdit);
    connect(m_delete, &QPushButton::clicked, this, &CReviewsPage::OnDelete);
    connect(m_list, &QTreeView::doubleClicked, this, &CReviewsPage::OnEdit);
    for (QPushButton* button : {m_add, m_edit, m_delete})
        button->setEnabled(!m_bReadOnly);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_add);
    buttons->addWidget(m_edit);
    buttons->addWidget(m_delete);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_heading);
    layout->addWidget(m_notice);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);
    setTabOrder(m_list, m_add);
    setTabOrder(m_add, m_edit);
    setTabOrder(m_edit, m_delete);
}

CReviewsPage::~CReviewsPage()
{
    // The view and the model go before the list that the model reads.
    delete m_list;
    delete m_model;
}

bool CReviewsPage::OnSetActive()
{
    // Enter on the page edits, rather than closing the sheet.
    m_edit->setDefault(true);
    return CWizardPage::OnSetActive();
}

bool CReviewsPage::OnKillActive()
{
    m_edit->setDefault(false);
    if (CPropertySheet* sheet = GetSheet(); sheet && sheet->GetButton(CPropertySheet::kOkButton))
        sheet->GetButton(CPropertySheet::kOkButton)->setDefault(true);
    // The mark stays set: every later departure writes the changes again.
    if (m_bModified && !Save())
        return false;
    return CWizardPage::OnKillActive();
}

bool CReviewsPage::Save()
{
    QList<CReview> written;
    QString problem;
    if (!UpdateReviewFile(m_strPath, m_reviews, &written, &problem)) {
        CMessageBox::Show(
            this,
            SafeFormat(u"The changes to the reviews could not be saved. They stay on this page; "
                       u"Cancel leaves it without them.\n\n%s",
                       problem),
            tr("Error"), QMessageBox::Warning, QMessageBox::Ok);
        return false;
    }
    // What the site added meanwhile shows too, and the next write starts from the file as it is.
    m_model->BeginReset();
    m_reviews.Reset(written);
    m_model->EndReset();
    return true;
}

int CReviewsPage::FirstHighlightedRow() const
{
    int first = -1;
    for (const QModelIndex& index : m_list->selectionModel()->selectedRows()) {
        if (first < 0 || index.row() < first)
            first = index.row();
    }
    return first;
}

void CReviewsPage::OnAdd()
{
    if (IsReadOnly())
        return;
    CReview review;
    CEditReviewDialog dialog(review, this);
    if (CModalRun::Exec(dialog) != QDialog::Accepted)
        return;
    m_model->BeginAppendRow();
    m_reviews.Append(review);
    m_model->EndAppendRow();
    m_bModified = true;
}

void CReviewsPage::OnEdit()
{
    const int row = FirstHighlightedRow();
    if (row < 0 || IsReadOnly())
        return;
    CReview review = m_reviews.Reviews()[row];
    CEditReviewDialog dialog(review, this);
    if (CModalRun::Exec(dialog) != QDialog::Accepted)
        return;
    m_reviews.Replace(row, review);
    m_model->RowChanged(row);
    m_bModified = true;
}

void CReviewsPage::OnDelete()
{
    const int row = FirstHighlightedRow();
    if (row < 0 || IsReadOnly())
        return;
    if (CMessageBox::Show(this, tr("Are you sure you want to delete the highlighted review?"), tr("Warning"),
                          QMessageBox::Question, QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    // Only the first: the others stay highlighted for another Delete.
    m_model->BeginRemoveRow(row);
    m_reviews.RemoveAt(row);
    m_model->EndRemoveRow();
    m_bModified = true;
}

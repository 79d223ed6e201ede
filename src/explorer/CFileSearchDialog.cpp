#include "explorer/CFileSearchDialog.h"

#include "controls/ContextHelp.h"
#include "database/SearchStatement.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

namespace {

// Check boxes are changed by the list's own click rule, never by the delegate.
class CNoToggleDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::initStyleOption;
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override
    {
        if (event->type() == QEvent::MouseButtonRelease || event->type() == QEvent::MouseButtonDblClick ||
            event->type() == QEvent::MouseButtonPress)
            return false;
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    }
};

} // namespace

CSearchFieldList::CSearchFieldList(QWidget* parent) : QListWidget(parent)
{
    setItemDelegate(new CNoToggleDelegate(this));
    setSelectionMode(QAbstractItemView::ExtendedSelection);
}

QRect CSearchFieldList::CheckBoxRect(const QModelIndex& index) const
{
    if (!index.isValid())
        return QRect();
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = visualRect(index);
    static_cast<CNoToggleDelegate*>(itemDelegate())->initStyleOption(&option, index);
    return style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, this);
}

bool CSearchFieldList::ClickCheckBox(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return false;
    const QModelIndex index = indexAt(event->position().toPoint());
    if (!CheckBoxRect(index).contains(event->position().toPoint()))
        return false;
    QListWidgetItem* clicked = item(index.row());
    if (!clicked->isSelected()) {
        clicked->setCheckState(clicked->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
        return false; // the click goes on to select the entry as usual
    }
    const QList<QListWidgetItem*> selected = selectedItems();
    qsizetype checked = 0;
    for (const QListWidgetItem* entry : selected)
        checked += entry->checkState() == Qt::Checked ? 1 : 0;
    const bool mostlyChecked = checked * 2 >= selected.size();
    for (QListWidgetItem* entry : selected)
        entry->setCheckState(mostlyChecked ? Qt::Unchecked : Qt::Checked);
    return true;
}

void CSearchFieldList::mousePressEvent(QMouseEvent* event)
{
    m_swallowRelease = ClickCheckBox(event);
    if (!m_swallowRelease)
        QListWidget::mousePressEvent(event);
}

void CSearchFieldList::mouseMoveEvent(QMouseEvent* event)
{
    // Nor may a drag that starts on that check box select anything.
    if (!m_swallowRelease)
        QListWidget::mouseMoveEvent(event);
}

void CSearchFieldList::mouseReleaseEvent(QMouseEvent* event)
{
    // The release of a click that set the selected entries must not change the selection.
    if (m_swallowRelease) {
        m_swallowRelease = false;
        return;
    }
    QListWidget::mouseReleaseEvent(event);
}

void CSearchFieldList::mouseDoubleClickEvent(QMouseEvent* event)
{
    // A double click on a check box is one more click on it; elsewhere it means what it always does.
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && CheckBoxRect(index).contains(event->position().toPoint())) {
        m_swallowRelease = ClickCheckBox(event);
        return;
    }
    QListWidget::mouseDoubleClickEvent(event);
}

CFileSearchDialog::CFileSearchDialog(const QString& text, quint32 fields, QWidget* parent)
    : QDialog(parent), m_text(new QLineEdit(this)), m_fields(new CSearchFieldList(this))
{
    setWindowTitle(tr("File Search"));
    setAccessibleName(windowTitle());

    auto* textLabel = new QLabel(tr("Text to find:"), this);
    textLabel->setBuddy(m_text);
    m_text->setAccessibleName(tr("Text to find:"));
    m_text->setText(text);
    auto* fieldsLabel = new QLabel(tr("Where to search:"), this);
    fieldsLabel->setBuddy(m_fields);
    m_fields->setAccessibleName(tr("Where to search:"));

    const QString names[] = {tr("Title"),       tr("Short description"),    tr("Long description"),
                             tr("Author name"), tr("Author email address"), tr("URL")};
    const quint32 shown = fields == 0 ? 0x3Fu : fields;
    for (int bit = 0; bit < 6; ++bit) {
        auto* entry = new QListWidgetItem(names[bit], m_fields);
        entry->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        entry->setCheckState((shown & (1u << bit)) ? Qt::Checked : Qt::Unchecked);
    }

    auto* buttons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, this);
    for (QAbstractButton* button : buttons->buttons())
        button->setAccessibleName(button->text().remove(QLatin1Char('&')));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::helpRequested, this,
            [this] { ShowContextHelp(this, nullptr, kHelpTopic, nullptr, true); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(textLabel);
    layout->addWidget(m_text);
    layout->addWidget(fieldsLabel);
    layout->addWidget(m_fields);
    layout->addWidget(buttons);
    m_fields->setMinimumHeight(m_fields->sizeHintForRow(0) * 6 + 2 * m_fields->frameWidth() + 4);
}

QString CFileSearchDialog::GetText() const
{
    return m_text->text();
}

quint32 CFileSearchDialog::GetFields() const
{
    quint32 fields = 0;
    for (int bit = 0; bit < m_fields->count(); ++bit) {
        if (m_fields->item(bit)->checkState() == Qt::Checked)
            fields |= 1u << bit;
    }
    return fields;
}

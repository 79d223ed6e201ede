#include "explorer/CFileListView.h"

#include "explorer/CFileItemDelegate.h"
#include "explorer/CFileListModel.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QListView>
#include <QStackedWidget>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// Large icons: the picture above its name, the name wrapped under it.
class CLargeIconDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        option->decorationPosition = QStyleOptionViewItem::Top;
        option->displayAlignment = Qt::AlignHCenter | Qt::AlignTop;
        option->features |= QStyleOptionViewItem::WrapText;
    }

public:
    // Every item fills its cell of the grid, so that names wrap under their pictures.
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override
    {
        return QSize(kLargeIconCellWidth - 4, 32 + 3 * option.fontMetrics.height() + 4);
    }

    static constexpr int kLargeIconCellWidth = 100;
};

} // namespace

CFileListView::CFileListView(CFileListModel* model, QWidget* parent)
    : QWidget(parent), m_model(model), m_stack(new QStackedWidget(this)), m_icons(new QListView(this)),
      m_details(new QTreeView(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_stack);

    // Icon modes keep to a fixed grid with uniform items, so a million entries cost no layout.
    m_icons->setModel(model);
    m_icons->setViewMode(QListView::ListMode);
    m_icons->setUniformItemSizes(true);
    m_icons->setResizeMode(QListView::Adjust);
    m_icons->setLayoutMode(QListView::SinglePass);
    m_icons->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_icons->setSelectionBehavior(QAbstractItemView::SelectRows); // the details view shows whole rows
    m_icons->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_icons->setTabKeyNavigation(false);
    m_icons->setAccessibleName(tr("Files"));

    m_details->setModel(model);
    m_details->setItemDelegate(new CFileItemDelegate(m_details));
    m_details->setSelectionModel(m_icons->selectionModel());
    m_details->setRootIsDecorated(false);
    m_details->setItemsExpandable(false);
    m_details->setUniformRowHeights(true);
    m_details->setAllColumnsShowFocus(true);
    m_details->setSortingEnabled(false);
    m_details->header()->setSectionsClickable(false); // the list is never sorted
    m_details->header()->setSectionsMovable(false);
    m_details->header()->setStretchLastSection(false);
    m_details->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_details->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_details->setTabKeyNavigation(false);
    m_details->setAccessibleName(tr("Files"));

    // Titles and descriptions are plain text; skipping the shaping step that only scripts such
    // as Arabic need halves the cost of drawing a screen of them.
    for (QAbstractItemView* view :
         {static_cast<QAbstractItemView*>(m_icons), static_cast<QAbstractItemView*>(m_details)}) {
        QFont font = view->font();
        font.setStyleStrategy(QFont::PreferNoShaping);
        view->setFont(font);
    }
    m_stack->addWidget(m_icons);
    m_stack->addWidget(m_details);
    for (QAbstractItemView* view :
         {static_cast<QAbstractItemView*>(m_icons), static_cast<QAbstractItemView*>(m_details)}) {
        view->viewport()->installEventFilter(this);
        view->installEventFilter(this);
        connect(view, &QAbstractItemView::doubleClicked, this, &CFileListView::EntryDoubleClicked);
    }
    setFocusProxy(m_icons);
    SetViewMode(kLargeIcons);
}

void CFileListView::SetViewMode(int mode)
{
    m_mode = mode & 3;
    const bool hadFocus = HasFocus();
    if (m_mode == kDetails) {
        m_stack->setCurrentWidget(m_details);
        setFocusProxy(m_details);
    } else {
        const bool large = m_mode == kLargeIcons;
        QAbstractItemDelegate* old = m_icons->itemDelegate();
        m_icons->setItemDelegate(large ? static_cast<QAbstractItemDelegate*>(new CLargeIconDelegate(m_icons))
                                       : new CFileItemDelegate(m_icons));
        delete old;
        m_icons->setIconSize(large ? QSize(32, 32) : QSize(16, 16));
        m_icons->setFlow(m_mode == kList ? QListView::TopToBottom : QListView::LeftToRight);
        m_icons->setWrapping(true);
        const int line = fontMetrics().height();
        m_icons->setGridSize(large ? QSize(100, 32 + 3 * line + 8)
                                   : QSize(m_mode == kList ? 220 : 180, qMax(18, line + 4)));
        m_icons->setModelColumn(CFileListModel::kName);
        m_stack->setCurrentWidget(m_icons);
        setFocusProxy(m_icons);
    }
    if (hadFocus)
        GetCurrentView()->setFocus();
}

QAbstractItemView* CFileListView::GetCurrentView() const
{
    return m_mode == kDetails ? static_cast<QAbstractItemView*>(m_details) : m_icons;
}

int CFileListView::GetColumnWidth(int column) const
{
    return m_details->header()->sectionSize(column);
}

void CFileListView::SetColumnWidth(int column, int width)
{
    m_details->header()->resizeSection(column, width);
}

QItemSelectionModel* CFileListView::GetSelectionModel() const
{
    return m_icons->selectionModel();
}

bool CFileListView::HasFocus() const
{
    return m_icons->hasFocus() || m_details->hasFocus();
}

namespace {

// The selected rows as merged intervals: a whole list may be selected, so rows are never listed
// one by one.
QList<QPair<int, int>> SelectedRowIntervals(const QItemSelectionModel* selection)
{
    QList<QPair<int, int>> rows;
    for (const QItemSelectionRange& range : selection->selection())
        rows.append({range.top(), range.bottom()});
    std::sort(rows.begin(), rows.end());
    QList<QPair<int, int>> merged;
    for (const auto& interval : rows) {
        if (!merged.isEmpty() && interval.first <= merged.last().second + 1)
            merged.last().second = std::max(merged.last().second, interval.second);
        else
            merged.append(interval);
    }
    return merged;
}

} // namespace

int CFileListView::GetSelectedCount() const
{
    int count = 0;
    for (const auto& interval : SelectedRowIntervals(GetSelectionModel()))
        count += interval.second - interval.first + 1;
    return count;
}

QList<QPair<int, int>> CFileListView::GetSelectedRows() const
{
    return SelectedRowIntervals(GetSelectionModel());
}

int CFileListView::GetFirstSelectedRow() const
{
    const auto intervals = SelectedRowIntervals(GetSelectionModel());
    return intervals.isEmpty() ? -1 : intervals.first().first;
}

QPair<int, int> CFileListView::GetVisibleRows() const
{
    const int rows = m_model->rowCount();
    if (rows == 0)
        return {0, -1};
    if (m_mode == kDetails) {
        // One row a line, of one height: the rows at the area's top and bottom edges bound it.
        const QRect area = m_details->viewport()->rect();
        const int x = m_details->header()->sectionViewportPosition(m_details->header()->logicalIndexAt(0));
        const QModelIndex top = m_details->indexAt(QPoint(std::max(x, 0), area.top()));
        if (!top.isValid())
            return {0, -1};
        const QModelIndex bottom = m_details->indexAt(QPoint(std::max(x, 0), area.bottom()));
        return {top.row(), bottom.isValid() ? bottom.row() : rows - 1};
    }
    // The icon modes lay rows out in a flow: along the lines and down (icons), or down the columns
    // and across (list). A corner of the area may fall between cells or past the end of a line, so
    // the range is searched by the cells' places: in flow order the rows wholly before the area
    // come first, those wholly after it last.
    const QRect area = m_icons->viewport()->rect();
    const bool columns = m_icons->flow() == QListView::TopToBottom;
    const auto cell = [this](int row) {
        return m_icons->visualRect(m_model->index(row, m_icons->modelColumn()));
    };
    const auto before = [&](int row) {
        const QRect r = cell(row);
        return columns ? r.right() < area.left() : r.bottom() < area.top();
    };
    const auto after = [&](int row) {
        const QRect r = cell(row);
        return columns ? r.left() > area.right() : r.top() > area.bottom();
    };
    // A binary search by hand: the clang the sanitizer build uses cannot compile std::ranges'
    // partition_point over a range of numbers with this standard library.
    const auto partition = [](int low, int high, const auto& isFirstPart) {
        while (low < high) {
            const int middle = low + (high - low) / 2;
            if (isFirstPart(middle))
                low = middle + 1;
            else
                high = middle;
        }
        return low;
    };
    const int first = partition(0, rows, before);
    const int end = partition(first, rows, [&](int row) { return !after(row); });
    return {first, end - 1};
}

bool CFileListView::eventFilter(QObject* watched, QEvent* event)
{
    // Before a screen is painted its files are read together: one round trip to a server for the
    // screen, where its cells would otherwise meet their blocks one by one.
    if (event->type() == QEvent::Paint && watched == GetCurrentView()->viewport() && m_model->HasFiles()) {
        const auto [first, last] = GetVisibleRows();
        m_model->ReadAhead(first, last);
        return false;
    }
    if (event->type() == QEvent::ContextMenu) {
        auto* menuEvent = static_cast<QContextMenuEvent*>(event);
        QPoint global = menuEvent->globalPos();
        if (menuEvent->reason() != QContextMenuEvent::Mouse) {
            const QRect current = GetCurrentView()->visualRect(GetCurrentView()->currentIndex());
            global =
                GetCurrentView()->viewport()->mapToGlobal(current.isValid() ? current.center() : QPoint());
        }
        emit PopupMenuRequested(global);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

#include "controls/CHighlightList.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QStyleHints>

CHighlightList::CHighlightList(QWidget* parent) : QTreeWidget(parent)
{
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false); // row i is entry i of the list it shows
    header()->setSectionsMovable(false);
    header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // The highlight says what the buttons will act on, so it looks the same without the focus.
    QPalette colours = palette();
    for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        colours.setColor(QPalette::Inactive, role, colours.color(QPalette::Active, role));
    setPalette(colours);

    m_narrowing.setSingleShot(true);
    connect(&m_narrowing, &QTimer::timeout, this, [this] {
        if (m_narrowTo.isValid())
            selectionModel()->select(m_narrowTo,
                                     QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    });
}

QList<int> CHighlightList::HighlightedRows() const
{
    QList<int> rows;
    for (int row = 0; row < topLevelItemCount(); ++row) {
        if (topLevelItem(row)->isSelected())
            rows.append(row);
    }
    return rows;
}

QItemSelectionModel::SelectionFlags CHighlightList::selectionCommand(const QModelIndex& index,
                                                                     const QEvent* event) const
{
    const QItemSelectionModel::SelectionFlags command = QTreeWidget::selectionCommand(index, event);
    // The release of a plain click on a highlighted row would narrow the highlight to that row at
    // once, before a double-click could see the others.
    if (event && event->type() == QEvent::MouseButtonRelease && index.isValid() &&
        command.testFlag(QItemSelectionModel::Clear) && selectionModel()->selectedRows().size() > 1) {
        m_narrowTo = index;
        m_narrowing.start(QGuiApplication::styleHints()->mouseDoubleClickInterval());
        return QItemSelectionModel::NoUpdate;
    }
    return command;
}

void CHighlightList::mousePressEvent(QMouseEvent* event)
{
    // Another click decides the highlight itself (the second press of a double-click leaves it).
    m_narrowing.stop();
    QTreeWidget::mousePressEvent(event);
}

void CHighlightList::mouseDoubleClickEvent(QMouseEvent* event)
{
    m_narrowing.stop();
    QTreeWidget::mouseDoubleClickEvent(event);
}

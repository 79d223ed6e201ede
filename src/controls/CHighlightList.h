#pragma once

#include <QTimer>
#include <QTreeWidget>

// A list of waiting items (uploads, submitted reviews): a report of rows that keep their highlight when the
// list loses the focus, and where a double-click on one of several highlighted rows keeps them all
// highlighted, so that the double-click acts on all of them.
class CHighlightList : public QTreeWidget
{
    Q_OBJECT

public:
    explicit CHighlightList(QWidget* parent = nullptr);

    // The highlighted rows, top first.
    QList<int> HighlightedRows() const;

protected:
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event = nullptr) const override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    // A click on one of several highlighted rows narrows the highlight to that row only once no
    // double-click has followed it (selectionCommand is const, yet it is what decides).
    mutable QTimer m_narrowing;
    mutable QPersistentModelIndex m_narrowTo;
};

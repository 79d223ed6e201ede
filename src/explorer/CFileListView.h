#pragma once

#include <QList>
#include <QPair>
#include <QWidget>

class CFileListModel;
class QAbstractItemView;
class QItemSelectionModel;
class QListView;
class QStackedWidget;
class QTreeView;

// The list pane: one model shown in one of four modes, large icons, small icons and list through
// a list view, details through a tree view with a header; both views share one selection.
class CFileListView : public QWidget
{
    Q_OBJECT

public:
    // The modes as the setting "Window Style" numbers them.
    enum ViewMode { kLargeIcons = 0, kDetails = 1, kSmallIcons = 2, kList = 3 };

    explicit CFileListView(CFileListModel* model, QWidget* parent = nullptr);

    int GetViewMode() const { return m_mode; }
    void SetViewMode(int mode);
    int GetColumnWidth(int column) const;
    void SetColumnWidth(int column, int width);

    // The view of the current mode, which holds the focus for the pane.
    QAbstractItemView* GetCurrentView() const;
    QTreeView* GetDetailsView() const { return m_details; }
    QListView* GetIconView() const { return m_icons; }
    QItemSelectionModel* GetSelectionModel() const;
    bool HasFocus() const;
    int GetSelectedCount() const;
    // The selected entries as intervals of rows (both ends included), in list order.
    QList<QPair<int, int>> GetSelectedRows() const;
    // The first selected entry in list order, or -1.
    int GetFirstSelectedRow() const;
    // The rows the current view shows (in part or whole), first and last; last < first when none.
    QPair<int, int> GetVisibleRows() const;

signals:
    void PopupMenuRequested(const QPoint& globalPosition);
    void EntryDoubleClicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    CFileListModel* m_model;
    QStackedWidget* m_stack;
    QListView* m_icons;
    QTreeView* m_details;
    int m_mode = kLargeIcons;
};

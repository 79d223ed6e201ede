#pragma once

#include <QList>
#include <QPair>

class CFileRecord;
class CFolderTreeItem;
class CFolderTreeModel;
class QWidget;

// What the explorer's commands need of the window that runs them, and nothing more: the tree node
// and the list's selection they act on, the refresh after they changed something, and the window
// their dialogs belong to.
class CommandHost
{
public:
    virtual ~CommandHost() = default;

    // The window that owns the commands' dialogs and messages.
    virtual QWidget* GetWindow() = 0;
    // The tree of groups and areas, for the area pickers of wizards and sheets.
    virtual CFolderTreeModel* GetTreeModel() const = 0;
    // The node selected in the tree, or null.
    virtual CFolderTreeItem* GetSelectedTreeItem() const = 0;
    // The cursor the list reads its file rows from (row i at position i + 1); null when the list
    // shows folders or nothing.
    virtual CFileRecord* GetFileCursor() const = 0;
    // The selected rows as intervals (both ends included), in list order.
    virtual QList<QPair<int, int>> GetSelectedRows() const = 0;
    // The node of the first selected folder row (the list of the root or of a group), or null.
    virtual CFolderTreeItem* GetFirstSelectedFolderItem() const = 0;
    // How many rows the list shows.
    virtual int GetListedRowCount() const = 0;
    // Shows a file row afresh from the cursor: its file has just been changed.
    virtual void RedisplayRow(int row) = 0;
    // Asks for a refill of the list once the current event is done.
    virtual void PostRefresh() = 0;
    // While held, the list is not refilled (a refill replaces the cursor); holds nest.
    virtual void HoldRefresh(bool hold) = 0;

    // The first selected row in list order, or -1.
    int GetFirstSelectedRow() const
    {
        const QList<QPair<int, int>> rows = GetSelectedRows();
        return rows.isEmpty() ? -1 : rows.first().first;
    }
};

// Holds the host's refreshes for as long as it lives.
class CRefreshHold
{
public:
    explicit CRefreshHold(CommandHost& host) : m_host(host) { m_host.HoldRefresh(true); }
    ~CRefreshHold() { m_host.HoldRefresh(false); }
    CRefreshHold(const CRefreshHold&) = delete;
    CRefreshHold& operator=(const CRefreshHold&) = delete;

private:
    CommandHost& m_host;
};

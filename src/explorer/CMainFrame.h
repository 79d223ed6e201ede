#pragma once

#include "controls/CommandHost.h"
#include "explorer/CommandRules.h"

#include <QHash>
#include <QMainWindow>

#include <memory>
#include <vector>

class CFileListModel;
class CFileListView;
class CFileRecord;
class CFolderTreeItem;
class CFolderTreeModel;
class CFolderTreeView;
class CKeyLoader;
class CTreeItem;
class QLabel;
class QMenu;
class QSplitter;
class QToolButton;

// The explorer's main window: menus, toolbar, the tree of groups and areas beside the file list,
// and a status bar. It keeps its placement and the list's layout in the user's settings, enables
// every command from the tree and list selection, and runs its own commands. It is the host of
// the commands that live beside the explorer.
class CMainFrame : public QMainWindow, public CommandHost
{
    Q_OBJECT

public:
    explicit CMainFrame(QWidget* parent = nullptr);
    ~CMainFrame() override;

    bool IsLaidOut() const { return m_laidOut; }

    // Tree: nodes by model index, the selected node, selecting a node (and scrolling to it).
    CFolderTreeItem* GetTreeItem(const QModelIndex& index) const;
    CFolderTreeItem* GetSelectedTreeItem() const override;
    void SelectTreeItem(const CTreeItem* item);
    CFolderTreeItem* GetSearchResultsItem() const;

    // Refills the list for the selected node. An area's or a search's files are listed as a worker
    // reads their keys: the list grows while IsLoading, and Esc or the status bar's Stop ends it.
    void FillList();
    bool IsLoading() const;
    void StopLoading();
    CKeyLoader* GetKeyLoader() const { return m_keyLoader.get(); }
    // Asks for a refill once the current event is done, as commands that change the list do.
    void PostRefresh() override;
    // A command that reads the list's rows by their cursor positions holds refills off while it
    // runs (a refill replaces the cursor), and asks for its own refresh when done.
    void HoldRefresh(bool hold) override { m_refreshHolds += hold ? 1 : -1; }
    // The node of the first selected folder entry, or null.
    CFolderTreeItem* GetFirstSelectedFolderItem() const override;
    CFileRecord* GetFileCursor() const override { return m_fileCursor.get(); }

    // The rest of what the commands beside the explorer ask of it.
    QWidget* GetWindow() override { return this; }
    QList<QPair<int, int>> GetSelectedRows() const override;
    int GetListedRowCount() const override;
    void RedisplayRow(int row) override;

    CFolderTreeView* GetTreeView() const { return m_treeView; }
    CFileListView* GetListView() const { return m_listView; }
    CFolderTreeModel* GetTreeModel() const override { return m_treeModel; }
    CFileListModel* GetListModel() const { return m_listModel; }
    QSplitter* GetSplitter() const { return m_splitter; }

    QAction* GetAction(Command command) const { return m_actions.value(command); }
    // Runs a command as its menu item would: nothing when it is disabled.
    void RunCommand(Command command);
    void UpdateCommandStates();
    CommandContext GetCommandContext() const;
    // The database's complaint about the last read, shown in the status bar; empty when it worked.
    QString GetDatabaseStatus() const;
    // The pop-up menus as a right-click would show them now: the list's for its selection and the
    // tree node (none without a node), and the tree's. Their items run the frame's commands.
    std::unique_ptr<QMenu> CreateListPopupMenu();
    std::unique_ptr<QMenu> CreateTreePopupMenu();

    // The last search, kept for the whole run; empty text and no fields until the first search.
    QString m_strSearchText;
    quint32 m_dwSearchFields = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateActions();
    void CreateMenusAndToolBar();
    void RestorePlacement();
    void FirstLayout();
    void SaveLayout();
    void SetViewMode(int mode);
    void ToggleFocus();
    void ShowListPopupMenu(const QPoint& globalPosition);
    void ShowTreePopupMenu(const QPoint& globalPosition);
    void AddPopupItem(QMenu* menu, const char* text, Command command);
    void OnListDoubleClicked();
    void ShowDatabaseStatus(const QString& error);
    // Loading an area's or a search's files (CMainFrameLoading.cpp).
    void CreateLoadControls();
    void StartLoading(const QString& keyStatement, const QVariantList& values, bool search);
    void OnKeysRead(const std::vector<qint64>& keys);
    void OnLoadFinished(const QString& error);
    void ShowLoadState(const QString& text);
    void OnOpen();
    void OnOpenAsHtml();
    void OnUp();
    void OnPagewright();
    void OnAbout();
    void OnFindFiles();

    QHash<Command, QAction*> m_actions;
    QToolBar* m_toolBar = nullptr;
    QSplitter* m_splitter = nullptr;
    QLabel* m_databaseStatus = nullptr;
    CFolderTreeModel* m_treeModel = nullptr;
    CFolderTreeView* m_treeView = nullptr;
    CFileListModel* m_listModel = nullptr;
    CFileListView* m_listView = nullptr;
    std::unique_ptr<CFileRecord> m_fileCursor;
    std::unique_ptr<CKeyLoader> m_keyLoader;
    QLabel* m_loadStatus = nullptr;
    QToolButton* m_stopButton = nullptr;
    QAction* m_stopAction = nullptr;
    bool m_loadingSearch = false;
    quint32 m_searchResultsHandle = 0;
    bool m_laidOut = false;
    bool m_destroying = false;
    bool m_refreshPosted = false;
    int m_refreshHolds = 0;
    bool m_pagewrightFound = false;
};

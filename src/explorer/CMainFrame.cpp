#include "explorer/CMainFrame.h"

#include "controls/CFolderTreeModel.h"
#include "controls/CMessageBox.h"
#include "controls/ContextMenuKey.h"
#include "controls/CTreeItemRegistry.h"
#include "controls/CWaitCursor.h"
#include "database/CFileRecord.h"
#include "database/CKeyLoader.h"
#include "database/CTroveportDatabaseManager.h"
#include "database/SearchStatement.h"
#include "explorer/CFileListModel.h"
#include "explorer/CFileListView.h"
#include "explorer/CFolderTreeView.h"
#include "explorer/ListFormatting.h"
#include "explorer/TreeBuilder.h"
#include "explorer/WindowPlacement.h"
#include "resources/ExplorerIcons.h"
#include "settings/Globals.h"
#include "settings/Registry.h"

#include <QIcon>
#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QTreeView>

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent)
{
    setWindowTitle(QString::fromUtf8(g_pszAppName));
    setAccessibleName(windowTitle());
    // The installed theme's icon, as the menu shows it; the program's own where none is installed.
    setWindowIcon(QIcon::fromTheme(QStringLiteral("troveport-explorer"), LoadExplorerIcon(ExplorerIcon::Program)));
    resize(900, 600);

    CreateActions();
    CreateMenusAndToolBar();

    m_splitter = new QSplitter(Qt::Horizontal, this);
    m_treeModel = new CFolderTreeModel(this);
    m_treeView = new CFolderTreeView(m_splitter);
    m_treeView->setModel(m_treeModel);
    m_listModel = new CFileListModel(this);
    m_listView = new CFileListView(m_listModel, m_splitter);
    m_splitter->addWidget(m_treeView);
    m_splitter->addWidget(m_listView);
    m_splitter->setStretchFactor(1, 1);
    setCentralWidget(m_splitter);
    statusBar()->setAccessibleName(tr("Status bar"));
    // Why an area looks empty when the database cannot be read; command prompts cover it for a moment.
    m_databaseStatus = new QLabel(statusBar());
    m_databaseStatus->setAccessibleName(tr("Database status"));
    m_databaseStatus->setTextFormat(Qt::PlainText);
    m_databaseStatus->hide();
    statusBar()->addWidget(m_databaseStatus, 1);
    CreateLoadControls();

    connect(m_treeView->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &CMainFrame::PostRefresh);
    connect(m_treeView, &CFolderTreeView::PopupMenuRequested, this, &CMainFrame::ShowTreePopupMenu);
    connect(m_listView, &CFileListView::PopupMenuRequested, this, &CMainFrame::ShowListPopupMenu);
    connect(m_listView, &CFileListView::EntryDoubleClicked, this, &CMainFrame::OnListDoubleClicked);
    connect(m_listView->GetSelectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CMainFrame::UpdateCommandStates);
    connect(m_listModel, &CFileListModel::EndOfData, this, [] { QApplication::beep(); });
    connect(m_listModel, &CFileListModel::ReadFailed, this, &CMainFrame::ShowDatabaseStatus);
    connect(qApp, &QApplication::focusChanged, this, &CMainFrame::UpdateCommandStates);
    // A session manager that ends the session asks first: the layout is kept then, in case the
    // program is not given the time to leave on its own.
    connect(qApp, &QGuiApplication::commitDataRequest, this, &CMainFrame::SaveLayout);
    for (QWidget* pane : {static_cast<QWidget*>(m_treeView), static_cast<QWidget*>(m_listView->GetIconView()),
                          static_cast<QWidget*>(m_listView->GetDetailsView())})
        pane->installEventFilter(this);

    InstallContextMenuKey();
    RestorePlacement();
    QMetaObject::invokeMethod(this, &CMainFrame::FirstLayout, Qt::QueuedConnection);
}

CMainFrame::~CMainFrame()
{
    // Focus and selection notices keep coming while the child windows go; none may reach us.
    disconnect(qApp, nullptr, this, nullptr);
    m_destroying = true;
    m_keyLoader.reset(); // nothing more may arrive for the cursor
    SaveLayout();
    m_listModel->Clear();
    m_fileCursor.reset();
}

void CMainFrame::RestorePlacement()
{
    QString text;
    if (!RegReadString(QStringLiteral("Window Position"), text, 260, g_pszExplorerRegKey) || text.isEmpty())
        return;
    const WindowPlacement placement = WindowPlacement::Parse(text);
    if (placement.hasBarFlags) {
        m_toolBar->setVisible(placement.toolBarVisible);
        statusBar()->setVisible(placement.statusBarVisible);
    }
    // The primary screen first: a placement that overlaps no screen opens there.
    QList<QRect> screens;
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (primary)
        screens.append(primary->availableGeometry());
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (screen != primary)
            screens.append(screen->availableGeometry());
    }
    if (const QRect fitted = FitToScreens(placement.normal, screens); fitted.isValid())
        setGeometry(fitted);
    // Maximised wins over minimised: a window minimised from maximised comes back maximised.
    if (placement.maximized)
        QMetaObject::invokeMethod(this, &QWidget::showMaximized, Qt::QueuedConnection);
    else if (placement.minimized)
        QMetaObject::invokeMethod(this, &QWidget::showMinimized, Qt::QueuedConnection);
}

void CMainFrame::FirstLayout()
{
    CWaitCursor wait;
    quint32 treeWidth = quint32(qMax(width(), 1) / 4);
    RegReadDword(QStringLiteral("VPosition"), &treeWidth, g_pszExplorerRegKey);
    const int tree = qMax(50, int(qMin<quint32>(treeWidth, 100000)));
    m_splitter->setSizes({tree, qMax(1, m_splitter->width() - tree)});

    // The default widths follow the dialog font; widths the user stored stand as they are.
    const int lineHeight = QFontMetrics(QApplication::font()).height();
    for (int column = 0; column < CFileListModel::kColumnCount; ++column) {
        quint32 columnWidth = quint32(DefaultListColumnWidth(column, lineHeight));
        RegReadDword(QStringLiteral("Column%1").arg(column), &columnWidth, g_pszExplorerRegKey);
        m_listView->SetColumnWidth(column, int(qMin<quint32>(columnWidth, 10000)));
    }
    quint32 style = 0;
    if (RegReadDword(QStringLiteral("Window Style"), &style, g_pszExplorerRegKey) &&
        int(style & 3) != m_listView->GetViewMode())
        SetViewMode(int(style & 3));

    const BuiltTree built = BuildFolderTree();
    m_searchResultsHandle = built.searchResults ? built.searchResults->GetHandle() : 0;
    m_treeModel->SetRoot(built.root);
    m_treeView->expand(m_treeModel->IndexForItem(built.root));
    m_treeView->setFocus();
    m_laidOut = true;
    UpdateCommandStates();
}

void CMainFrame::SaveLayout()
{
    WindowPlacement placement;
    placement.normal = normalGeometry().isValid() ? normalGeometry() : geometry();
    placement.minimized = isMinimized();
    placement.maximized = isMaximized();
    placement.toolBarVisible = !m_toolBar->isHidden();
    placement.statusBarVisible = !statusBar()->isHidden();
    RegWriteString(QStringLiteral("Window Position"), placement.Format(), g_pszExplorerRegKey);
    if (!m_laidOut)
        return; // nothing was laid out yet, so there is nothing of the panes to keep
    RegWriteDword(QStringLiteral("Vposition"), quint32(m_splitter->sizes().value(0)), g_pszExplorerRegKey);
    RegWriteDword(QStringLiteral("Window Style"), quint32(m_listView->GetViewMode()), g_pszExplorerRegKey);
    if (m_listView->GetViewMode() == CFileListView::kDetails) {
        for (int column = 0; column < CFileListModel::kColumnCount; ++column)
            RegWriteDword(QStringLiteral("Column%1").arg(column), quint32(m_listView->GetColumnWidth(column)),
                          g_pszExplorerRegKey);
    }
}

CFolderTreeItem* CMainFrame::GetTreeItem(const QModelIndex& index) const
{
    return m_treeModel->ItemForIndex(index);
}

CFolderTreeItem* CMainFrame::GetSelectedTreeItem() const
{
    return GetTreeItem(m_treeView->currentIndex());
}

void CMainFrame::SelectTreeItem(const CTreeItem* item)
{
    const QModelIndex index = m_treeModel->IndexForItem(item);
    if (!index.isValid())
        return;
    m_treeView->setCurrentIndex(index);
    m_treeView->scrollTo(index);
}

CFolderTreeItem* CMainFrame::GetSearchResultsItem() const
{
    return theTreeItemRegistry.LookupFolder(m_searchResultsHandle);
}

CFolderTreeItem* CMainFrame::GetFirstSelectedFolderItem() const
{
    const int row = m_listView->GetFirstSelectedRow();
    if (row < 0 || m_listModel->HasFiles())
        return nullptr;
    return theTreeItemRegistry.LookupFolder(m_listModel->GetFolderHandle(row));
}

QList<QPair<int, int>> CMainFrame::GetSelectedRows() const
{
    return m_listView->GetSelectedRows();
}

int CMainFrame::GetListedRowCount() const
{
    return m_listModel->rowCount();
}

void CMainFrame::RedisplayRow(int row)
{
    m_listModel->RedisplayRow(row);
}

void CMainFrame::PostRefresh()
{
    // Several reasons to refresh before the list gets to it (a new selection and the command that
    // made it) make one refresh: a search that finds nothing says so once.
    if (m_refreshPosted)
        return;
    m_refreshPosted = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_refreshPosted = false;
            FillList();
        },
        Qt::QueuedConnection);
}

void CMainFrame::FillList()
{
    if (m_refreshHolds > 0)
        return;
    CWaitCursor wait;
    m_keyLoader->Stop(); // what it still reads belongs to the list being replaced
    ShowLoadState(QString());
    m_listView->setUpdatesEnabled(false);
    m_listModel->Clear();
    const CFolderTreeItem* node = GetSelectedTreeItem();
    theDatabaseManager.TakeLastError(); // only this fill's complaint counts
    theDatabaseManager.Reconnect(); // a server lost before is tried again now
    switch (node ? node->GetType() : 0) {
    case kNodeRoot:
    case kNodeGroup: {
        // Each child goes in at the top, so the list shows the children in reverse order.
        QList<quint32> handles;
        for (qsizetype i = node->GetChildCount() - 1; i >= 0; --i)
            handles.append(node->GetChild(i)->GetHandle());
        m_listModel->SetFolders(handles, node->GetType() == kNodeRoot);
        break;
    }
    case kNodeArea:
        // The count is the keys' own, read with them in one statement: a count taken apart could
        // disagree with them when the web site changes the area in between.
        StartLoading(CFileRecord::AreaKeyStatement(), {qint64(node->GetAreaId())}, false);
        break;
    case kNodeSearchResults:
        StartLoading(CFileRecord(&theDatabaseManager)
                         .KeyStatementOf(BuildSearchStatement(m_strSearchText, m_dwSearchFields)),
                     {}, true);
        break;
    default:
        break;
    }
    m_listView->setUpdatesEnabled(true);
    UpdateCommandStates();
}

void CMainFrame::ShowDatabaseStatus(const QString& error)
{
    m_databaseStatus->setText(error);
    m_databaseStatus->setToolTip(error);
    m_databaseStatus->setVisible(!error.isEmpty());
}

QString CMainFrame::GetDatabaseStatus() const
{
    return m_databaseStatus->text();
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) &&
            !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            ToggleFocus();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::ToggleFocus()
{
    if (m_treeView->hasFocus())
        m_listView->GetCurrentView()->setFocus(Qt::TabFocusReason);
    else
        m_treeView->setFocus(Qt::TabFocusReason);
}

void CMainFrame::SetViewMode(int mode)
{
    m_listView->SetViewMode(mode);
    UpdateCommandStates();
}

void CMainFrame::OnListDoubleClicked()
{
    CWaitCursor wait;
    const CFolderTreeItem* node = GetSelectedTreeItem();
    if (!node)
        return;
    if (node->GetType() == kNodeRoot || node->GetType() == kNodeGroup) {
        if (const CFolderTreeItem* item = GetFirstSelectedFolderItem(); item && item->GetTreeHandle())
            SelectTreeItem(item);
    } else if (m_listView->GetSelectedCount() > 0) {
        RunCommand(Command::Properties);
    }
}

// The frame's commands: their texts, keys, prompts and pictures, when each may run, and the
// commands the frame runs itself.

#include "adding/addfile/AddFileCommand.h"
#include "adding/addfiles/AddFilesCommand.h"
#include "controls/CFolderTreeModel.h"
#include "controls/CHelpViewer.h"
#include "controls/CModalRun.h"
#include "controls/CTreeItem.h"
#include "controls/CWaitCursor.h"
#include "database/CFileRecord.h"
#include "explorer/CAboutBox.h"
#include "explorer/CFileListModel.h"
#include "explorer/CFileListView.h"
#include "explorer/CFileSearchDialog.h"
#include "explorer/CFolderTreeView.h"
#include "explorer/CMainFrame.h"
#include "files/SafeFormat.h"
#include "properties/AreaGroupProperties.h"
#include "properties/PropertiesCommand.h"
#include "properties/RemovalCommands.h"
#include "resources/ExplorerIcons.h"
#include "reviews/ScanForNewReviews.h"
#include "settings/Globals.h"
#include "settings/Registry.h"
#include "uploads/ScanForNewFilesCommand.h"
#include "viruscheck/VirusCheckCommand.h"

#include <QActionGroup>
#include <QDesktopServices>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QShortcut>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QUrl>

namespace {

struct CommandText
{
    Command command;
    const char* text;   // menu text, "\t" before the key shown
    const char* prompt; // status bar prompt, "\n" before the tool tip
    QList<QKeySequence> keys;
};

QList<CommandText> CommandTexts()
{
    using K = QKeySequence;
    return {
        {Command::Open, "&Open\tEnter", "", {K(Qt::Key_Return), K(Qt::Key_Enter)}},
        {Command::OpenAsHtml,
         "Open as &HTML\tShift+Enter",
         "Open item in Web Browser",
         {K(Qt::SHIFT | Qt::Key_Return), K(Qt::SHIFT | Qt::Key_Enter)}},
        {Command::ScanForNewFiles,
         "&Scan for new files\tCtrl+S",
         "Scan the upload paths for new files",
         {K(Qt::CTRL | Qt::Key_S)}},
        {Command::ScanForNewReviews, "Scan for new R&eviews...", "Scan for new user submitted reviews", {}},
        {Command::VirusCheck,
         "&Virus Check\tCtrl+V",
         "Scans the item for viruses",
         {K(Qt::CTRL | Qt::Key_V)}},
        {Command::Properties,
         "P&roperties\tCtrl+Enter",
         "Show the properties of an item\nProperties.",
         {K(Qt::CTRL | Qt::Key_Return), K(Qt::CTRL | Qt::Key_Enter)}},
        {Command::Close, "&Close\tAlt+F4", "", {K(Qt::ALT | Qt::Key_F4)}},
        {Command::New,
         "&New...\tCtrl+N",
         "Add a new file to the Troveport\nAdd new file.",
         {K(Qt::CTRL | Qt::Key_N)}},
        {Command::AddMultiple,
         "&Add multiple...\tCtrl+A",
         "Add multiple files to the Troveport\nAdd new files.",
         {K(Qt::CTRL | Qt::Key_A)}},
        {Command::DeleteFile,
         "&Delete File\tDel",
         "Delete a file from the Troveport\nDelete.",
         {K(Qt::Key_Delete)}},
        {Command::RemoveFromArea,
         "Remo&ve from Area\tCtrl+R",
         "Remove a file from the displayed area",
         {K(Qt::CTRL | Qt::Key_R)}},
        {Command::FindFiles,
         "&Find files...\tCtrl+F",
         "Search for files containing text\nSearch.",
         {K(Qt::CTRL | Qt::Key_F), K(Qt::Key_F3)}},
        {Command::ToolBar, "&Toolbar", "", {}},
        {Command::StatusBar, "Status &Bar", "", {}},
        {Command::LargeIcons, "Lar&ge Icons", "Displays items using large icons\nLarge Icons.", {}},
        {Command::SmallIcons, "S&mall Icons", "Displays items using small icons\nSmall Icons.", {}},
        {Command::List, "&List", "Displays items in a list.\nList.", {}},
        {Command::Details, "&Details", "Displays information about each item in the window.\nDetails.", {}},
        {Command::Refresh, "&Refresh\tF5", "Refresh item information.", {K(Qt::Key_F5)}},
        {Command::Up, "Up", "Move to the previous folder\nUp", {K(Qt::Key_Backspace)}},
        {Command::Pagewright,
         "&Pagewright...\tCtrl+G",
         "Runs the Troveport Pagewright program\nRun Pagewright",
         {K(Qt::CTRL | Qt::Key_G)}},
        {Command::HelpTopics, "&Help Topics", "Displays Help\nHelp.", {}},
        {Command::AdminGuide, "Troveport Administrator's &Guide", "", {}},
        {Command::About,
         "&About Troveport Explorer",
         "Displays program information, version number, and copyright.",
         {}},
        {Command::TreeProperties, "P&roperties", "Show the properties of an item\nProperties.", {}},
    };
}

ExplorerIcon IconFor(Command command)
{
    switch (command) {
    case Command::Up:
        return ExplorerIcon::Up;
    case Command::New:
        return ExplorerIcon::New;
    case Command::DeleteFile:
        return ExplorerIcon::Delete;
    case Command::Properties:
        return ExplorerIcon::Properties;
    case Command::FindFiles:
        return ExplorerIcon::Find;
    case Command::LargeIcons:
        return ExplorerIcon::LargeIcons;
    case Command::SmallIcons:
        return ExplorerIcon::SmallIcons;
    case Command::List:
        return ExplorerIcon::List;
    case Command::Details:
        return ExplorerIcon::Details;
    case Command::Pagewright:
        return ExplorerIcon::Pagewright;
    case Command::HelpTopics:
        return ExplorerIcon::Help;
    default:
        return ExplorerIcon::File;
    }
}

// An item of a pop-up menu; one without text is a separator.
struct PopupItem
{
    const char* text = nullptr;
    Command command = Command::Open;
};

bool HasToolButton(Command command)
{
    switch (command) {
    case Command::Up:
    case Command::New:
    case Command::DeleteFile:
    case Command::Properties:
    case Command::FindFiles:
    case Command::LargeIcons:
    case Command::SmallIcons:
    case Command::List:
    case Command::Details:
    case Command::Pagewright:
    case Command::HelpTopics:
        return true;
    default:
        return false;
    }
}

} // namespace

void CMainFrame::CreateActions()
{
    auto* viewModes = new QActionGroup(this);
    for (const CommandText& entry : CommandTexts()) {
        const QString text = tr(entry.text);
        const QStringList prompt = tr(entry.prompt).split(QLatin1Char('\n'));
        auto* action = new QAction(text, this);
        action->setShortcuts(entry.keys);
        action->setStatusTip(prompt.value(0));
        QString label = text.section(QLatin1Char('\t'), 0, 0);
        label.remove(QLatin1Char('&'));
        action->setToolTip(prompt.size() > 1 ? prompt[1] : label);
        action->setIconText(label);
        if (HasToolButton(entry.command))
            action->setIcon(LoadExplorerIcon(IconFor(entry.command)));
        m_actions.insert(entry.command, action);
        const Command command = entry.command;
        connect(action, &QAction::triggered, this, [this, command] { RunCommand(command); });
        if (command == Command::LargeIcons || command == Command::SmallIcons || command == Command::List ||
            command == Command::Details) {
            action->setCheckable(true);
            viewModes->addAction(action);
        }
    }
    for (Command command : {Command::ToolBar, Command::StatusBar}) {
        m_actions[command]->setCheckable(true);
        m_actions[command]->setChecked(true);
    }
    addActions(m_actions.values());

    // F1 with nothing more particular to help with opens the program's help.
    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this,
            [this] { CHelpViewer::ShowContents(this, CHelpViewer::kProgramHelp); });

    // Settings and the search path are looked at again whenever the program is idle for a moment.
    auto* idle = new QTimer(this);
    connect(idle, &QTimer::timeout, this, &CMainFrame::UpdateCommandStates);
    idle->start(1000);
}

void CMainFrame::CreateMenusAndToolBar()
{
    auto add = [this](QMenu* menu, std::initializer_list<Command> commands) {
        for (Command command : commands)
            menu->addAction(m_actions[command]);
    };
    QMenu* file = menuBar()->addMenu(tr("&File"));
    add(file, {Command::Open, Command::OpenAsHtml});
    file->addSeparator();
    add(file, {Command::ScanForNewFiles, Command::ScanForNewReviews});
    file->addSeparator();
    add(file, {Command::VirusCheck, Command::Properties});
    file->addSeparator();
    add(file, {Command::Close});
    QMenu* edit = menuBar()->addMenu(tr("&Edit"));
    add(edit, {Command::New, Command::AddMultiple, Command::DeleteFile, Command::RemoveFromArea});
    edit->addSeparator();
    add(edit, {Command::FindFiles});
    QMenu* view = menuBar()->addMenu(tr("&View"));
    add(view, {Command::ToolBar, Command::StatusBar});
    view->addSeparator();
    add(view, {Command::LargeIcons, Command::SmallIcons, Command::List, Command::Details});
    view->addSeparator();
    add(view, {Command::Refresh});
    QMenu* tools = menuBar()->addMenu(tr("&Tools"));
    add(tools, {Command::Pagewright});
    QMenu* help = menuBar()->addMenu(tr("&Help"));
    add(help, {Command::HelpTopics, Command::AdminGuide});
    help->addSeparator();
    add(help, {Command::About});
    for (QMenu* menu : {file, edit, view, tools, help}) {
        menu->setAccessibleName(menu->title().remove(QLatin1Char('&')));
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandStates);
    }

    m_toolBar = addToolBar(tr("Toolbar"));
    m_toolBar->setObjectName(QStringLiteral("toolbar"));
    m_toolBar->setAccessibleName(tr("Toolbar"));
    m_toolBar->setIconSize(QSize(16, 16));
    m_toolBar->setMovable(false);
    m_toolBar->addAction(m_actions[Command::Up]);
    m_toolBar->addSeparator();
    m_toolBar->addAction(m_actions[Command::New]);
    m_toolBar->addSeparator();
    for (Command command : {Command::DeleteFile, Command::Properties, Command::FindFiles})
        m_toolBar->addAction(m_actions[command]);
    m_toolBar->addSeparator();
    for (Command command : {Command::LargeIcons, Command::SmallIcons, Command::List, Command::Details})
        m_toolBar->addAction(m_actions[command]);
    m_toolBar->addSeparator();
    m_toolBar->addAction(m_actions[Command::Pagewright]);
    m_toolBar->addSeparator();
    m_toolBar->addAction(m_actions[Command::HelpTopics]);
}

CommandContext CMainFrame::GetCommandContext() const
{
    CommandContext context;
    if (const CFolderTreeItem* node = GetSelectedTreeItem())
        context.nodeType = node->GetType();
    context.selectedEntries = m_listView->GetSelectedCount();
    context.listHasFocus = m_listView->HasFocus();
    QString value;
    context.httpServerSet = RegReadString(QStringLiteral("HttpServer"), value, kMaxSettingString, g_pszRegKey);
    context.virusCheckerSet = !RegGetString(QStringLiteral("VirusChecker"), g_pszRegKey).isEmpty();
    context.pagewrightFound = m_pagewrightFound;
    return context;
}

void CMainFrame::UpdateCommandStates()
{
    if (m_destroying)
        return;
    // Once found, the page generator is taken as there for the rest of the run.
    if (!m_pagewrightFound)
        m_pagewrightFound = !QStandardPaths::findExecutable(QStringLiteral("pagewright")).isEmpty();
    const CommandContext context = GetCommandContext();
    for (auto it = m_actions.cbegin(); it != m_actions.cend(); ++it)
        it.value()->setEnabled(IsCommandEnabled(it.key(), context));
    const Command modes[] = {Command::LargeIcons, Command::Details, Command::SmallIcons, Command::List};
    m_actions[modes[m_listView->GetViewMode() & 3]]->setChecked(true);
    m_actions[Command::ToolBar]->setChecked(!m_toolBar->isHidden());
    m_actions[Command::StatusBar]->setChecked(!statusBar()->isHidden());
}

void CMainFrame::RunCommand(Command command)
{
    UpdateCommandStates();
    if (!m_actions[command]->isEnabled())
        return;
    switch (command) {
    case Command::Open:
        OnOpen();
        break;
    case Command::OpenAsHtml:
        OnOpenAsHtml();
        break;
    case Command::DeleteFile:
        RunDeleteFileCommand(*this);
        break;
    case Command::RemoveFromArea:
        RunRemoveFromAreaCommand(*this);
        break;
    case Command::Properties:
        RunPropertiesCommand(*this);
        break;
    case Command::TreeProperties:
        RunTreePropertiesCommand(*this);
        break;
    case Command::New:
        RunAddFileCommand(*this);
        break;
    case Command::AddMultiple:
        RunAddFilesCommand(*this);
        break;
    case Command::ScanForNewFiles:
        RunScanForNewFilesCommand(*this);
        break;
    case Command::Close:
        close();
        break;
    case Command::ToolBar:
        m_toolBar->setVisible(m_toolBar->isHidden());
        break;
    case Command::StatusBar:
        statusBar()->setVisible(statusBar()->isHidden());
        break;
    case Command::LargeIcons:
        SetViewMode(CFileListView::kLargeIcons);
        break;
    case Command::SmallIcons:
        SetViewMode(CFileListView::kSmallIcons);
        break;
    case Command::List:
        SetViewMode(CFileListView::kList);
        break;
    case Command::Details:
        SetViewMode(CFileListView::kDetails);
        break;
    case Command::Refresh:
        FillList();
        break;
    case Command::Up:
        OnUp();
        break;
    case Command::Pagewright:
        OnPagewright();
        break;
    case Command::HelpTopics:
        CHelpViewer::ShowContents(this, CHelpViewer::kProgramHelp);
        break;
    case Command::AdminGuide:
        CHelpViewer::ShowContents(this, CHelpViewer::kAdministratorsGuide);
        break;
    case Command::About:
        OnAbout();
        break;
    case Command::FindFiles:
        OnFindFiles();
        break;
    case Command::ScanForNewReviews:
        RunScanForNewReviewsCommand(*this);
        break;
    case Command::VirusCheck:
        RunVirusCheckCommand(*this);
        break;
    default:
        break;
    }
    UpdateCommandStates();
}

void CMainFrame::AddPopupItem(QMenu* menu, const char* text, Command command)
{
    // A pop-up item may read differently from the menu bar's ("Re&fresh" there is "&Refresh"
    // here), so it is an action of its own that mirrors the shared one and triggers it. It has no
    // shortcut: the key belongs to the shared action, the text after the tab only shows it.
    QAction* shared = m_actions[command];
    QAction* item = menu->addAction(tr(text));
    const auto follow = [item, shared] {
        item->setEnabled(shared->isEnabled());
        item->setCheckable(shared->isCheckable());
        item->setChecked(shared->isChecked());
    };
    follow();
    connect(shared, &QAction::changed, item, follow);
    connect(item, &QAction::triggered, shared, [shared, follow] {
        shared->trigger();
        follow();
    });
}

std::unique_ptr<QMenu> CMainFrame::CreateListPopupMenu()
{
    const CFolderTreeItem* node = GetSelectedTreeItem();
    if (!node)
        return nullptr;
    UpdateCommandStates();
    auto menu = std::make_unique<QMenu>(this);
    const auto add = [this](QMenu* to, std::initializer_list<PopupItem> items) {
        for (const PopupItem& item : items) {
            if (item.text)
                AddPopupItem(to, item.text, item.command);
            else
                to->addSeparator();
        }
    };
    if (m_listView->GetSelectedCount() == 0) {
        QMenu* view = menu->addMenu(tr("&View"));
        view->setAccessibleName(tr("View"));
        add(view, {{"Large Icons", Command::LargeIcons},
                   {"Small Icons", Command::SmallIcons},
                   {"List", Command::List},
                   {"Details", Command::Details}});
        add(menu.get(), {{},
                         {"Re&fresh\tF5", Command::Refresh},
                         {},
                         {"&New...\tCtrl+N", Command::New},
                         {"&Add multiple...\tCtrl+A", Command::AddMultiple}});
    } else if (node->GetType() == kNodeRoot || node->GetType() == kNodeGroup) {
        add(menu.get(),
            {{"&Open\tEnter", Command::Open}, {}, {"P&roperties\tCtrl+Enter", Command::Properties}});
    } else {
        add(menu.get(), {{"&Open\tEnter", Command::Open},
                         {"Open as &HTML\tShift+Enter", Command::OpenAsHtml},
                         {},
                         {"&Delete File\tDel", Command::DeleteFile},
                         {"Remo&ve from Area\tCtrl+R", Command::RemoveFromArea},
                         {},
                         {"&Virus Check\tCtrl+V", Command::VirusCheck},
                         {"P&roperties\tCtrl+Enter", Command::Properties}});
    }
    return menu;
}

std::unique_ptr<QMenu> CMainFrame::CreateTreePopupMenu()
{
    UpdateCommandStates();
    auto menu = std::make_unique<QMenu>(this);
    AddPopupItem(menu.get(), "P&roperties", Command::TreeProperties);
    return menu;
}

void CMainFrame::ShowListPopupMenu(const QPoint& globalPosition)
{
    if (const std::unique_ptr<QMenu> menu = CreateListPopupMenu())
        menu->exec(globalPosition);
}

void CMainFrame::ShowTreePopupMenu(const QPoint& globalPosition)
{
    CreateTreePopupMenu()->exec(globalPosition);
}

void CMainFrame::OnOpen()
{
    CWaitCursor wait;
    const CFolderTreeItem* node = GetSelectedTreeItem();
    if (!node)
        return;
    if (node->GetType() == kNodeRoot || node->GetType() == kNodeGroup) {
        if (const CFolderTreeItem* item = GetFirstSelectedFolderItem())
            SelectTreeItem(item);
    } else {
        QMetaObject::invokeMethod(
            this, [this] { RunCommand(Command::Properties); }, Qt::QueuedConnection);
    }
}

void CMainFrame::OnOpenAsHtml()
{
    CWaitCursor wait;
    const CFolderTreeItem* node = GetSelectedTreeItem();
    const int row = m_listView->GetFirstSelectedRow();
    if (!node || (node->GetType() != kNodeArea && node->GetType() != kNodeSearchResults) || row < 0 ||
        !m_fileCursor)
        return;
    const auto record = ReadFileOfListRow(*m_fileCursor, row);
    QString server;
    if (!record || !RegReadString(QStringLiteral("HttpServer"), server, kMaxSettingString, g_pszRegKey))
        return;
    if (server.endsWith(QLatin1Char('/')))
        server.chop(1);
    const QString address = SafeFormat(u"%s/troveport/details/%d.asp", server, qint64(record->file_id));
    QDesktopServices::openUrl(QUrl(address)); // a browser that will not start is not reported
}

void CMainFrame::OnUp()
{
    const CFolderTreeItem* node = GetSelectedTreeItem();
    if (!node)
        return;
    const QModelIndex parent = m_treeModel->parent(m_treeModel->IndexForItem(node));
    if (parent.isValid()) {
        m_treeView->setCurrentIndex(parent);
        m_treeView->scrollTo(parent);
    }
}

void CMainFrame::OnPagewright()
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("pagewright"));
    if (!program.isEmpty())
        QProcess::startDetached(program, {QStringLiteral("/autorun")});
}

void CMainFrame::OnFindFiles()
{
    CFileSearchDialog dialog(m_strSearchText, m_dwSearchFields, this);
    if (CModalRun::Exec(dialog) != QDialog::Accepted)
        return;
    m_strSearchText = dialog.GetText();
    m_dwSearchFields = dialog.GetFields();
    CFolderTreeItem* node = GetSearchResultsItem();
    if (!node)
        return;
    node->SetName(SafeFormat(u"Search results (\"%s\")", m_strSearchText));
    m_treeModel->NotifyRenamed(node);
    SelectTreeItem(node);
    PostRefresh();
}

void CMainFrame::OnAbout()
{
    CAboutBox about(this);
    CModalRun::Exec(about);
}

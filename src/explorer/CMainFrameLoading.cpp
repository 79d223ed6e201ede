// The main frame listing an area's or a search's files while a worker reads their keys.

#include "controls/CMessageBox.h"
#include "database/CFileRecord.h"
#include "database/CKeyLoader.h"
#include "database/CTroveportDatabaseManager.h"
#include "explorer/CFileListModel.h"
#include "explorer/CFileListView.h"
#include "explorer/CMainFrame.h"

#include <QAction>
#include <QLabel>
#include <QStatusBar>
#include <QToolButton>

void CMainFrame::CreateLoadControls()
{
    m_keyLoader = std::make_unique<CKeyLoader>(&theDatabaseManager);
    connect(m_keyLoader.get(), &CKeyLoader::KeysRead, this, &CMainFrame::OnKeysRead);
    connect(m_keyLoader.get(), &CKeyLoader::Finished, this, &CMainFrame::OnLoadFinished);

    m_stopAction = new QAction(tr("Stop"), this);
    m_stopAction->setShortcut(Qt::Key_Escape);
    m_stopAction->setStatusTip(tr("Stop listing files"));
    m_stopAction->setEnabled(false);
    addAction(m_stopAction);
    connect(m_stopAction, &QAction::triggered, this, &CMainFrame::StopLoading);

    // Permanent widgets: command prompts shown for a moment leave them in place.
    m_loadStatus = new QLabel(statusBar());
    m_loadStatus->setAccessibleName(tr("Listing status"));
    m_loadStatus->setTextFormat(Qt::PlainText);
    m_loadStatus->hide();
    statusBar()->addPermanentWidget(m_loadStatus);
    m_stopButton = new QToolButton(statusBar());
    m_stopButton->setDefaultAction(m_stopAction);
    m_stopButton->setAccessibleName(tr("Stop listing files"));
    m_stopButton->setToolTip(tr("Stop listing files (Esc)"));
    m_stopButton->hide();
    statusBar()->addPermanentWidget(m_stopButton);
}

bool CMainFrame::IsLoading() const
{
    return m_keyLoader->IsLoading();
}

void CMainFrame::ShowLoadState(const QString& text)
{
    const bool loading = IsLoading();
    m_loadStatus->setText(text);
    m_loadStatus->setVisible(!text.isEmpty());
    m_stopButton->setVisible(loading);
    m_stopAction->setEnabled(loading);
    // Only the list is busy: the tree, the menus and the commands go on answering.
    if (loading)
        m_listView->setCursor(Qt::BusyCursor);
    else
        m_listView->unsetCursor();
}

void CMainFrame::StartLoading(const QString& keyStatement, const QVariantList& values, bool search)
{
    m_fileCursor = std::make_unique<CFileRecord>(&theDatabaseManager);
    m_fileCursor->OpenEmpty();
    m_listModel->SetFiles(m_fileCursor.get(), 0);
    m_loadingSearch = search;
    ShowDatabaseStatus(QString());
    if (keyStatement.isEmpty()) {
        OnLoadFinished(QString()); // nothing to search for: nothing found
        return;
    }
    m_keyLoader->Start(keyStatement, values);
    ShowLoadState(search ? tr("Searching...") : tr("Listing files..."));
}

void CMainFrame::OnKeysRead(const std::vector<qint64>& keys)
{
    if (!m_fileCursor || !m_listModel->HasFiles())
        return;
    m_fileCursor->AppendKeys(keys);
    m_listModel->AppendFiles(int(qMin<qint64>(m_fileCursor->GetRecordCount(), INT_MAX)) -
                             m_listModel->rowCount());
    ShowLoadState((m_loadingSearch ? tr("Searching... %L1 files found") : tr("Listing files... %L1"))
                      .arg(m_listModel->rowCount()));
}

void CMainFrame::OnLoadFinished(const QString& error)
{
    ShowLoadState(QString());
    // The worker's reason, or one met here (keys the list cannot tell apart).
    const QString taken = theDatabaseManager.TakeLastError();
    ShowDatabaseStatus(error.isEmpty() ? taken : error);
    UpdateCommandStates();
    if (m_loadingSearch && m_listModel->rowCount() == 0)
        CMessageBox::Show(this, tr("No files were found that match your search criteria."));
}

void CMainFrame::StopLoading()
{
    if (!IsLoading())
        return;
    m_keyLoader->Stop();
    ShowLoadState(tr("Stopped: %L1 files listed").arg(m_listModel->rowCount()));
    UpdateCommandStates();
}

#pragma once

// Driving the explorer window in tests: making it, choosing tree nodes by their names and
// highlighting list rows, as a user would.

#include "controls/CFolderTreeModel.h"
#include "controls/CTreeItem.h"
#include "explorer/CFileListModel.h"
#include "explorer/CFileListView.h"
#include "explorer/CMainFrame.h"

#include <QAbstractItemView>
#include <QItemSelectionModel>
#include <QTest>

#include <memory>

namespace FrameSupport {

// A shown frame once its first layout is done; null when that never comes.
inline std::unique_ptr<CMainFrame> MakeFrame()
{
    auto frame = std::make_unique<CMainFrame>();
    frame->show();
    if (!QTest::qWaitFor([&] { return frame->IsLaidOut(); }))
        return nullptr;
    QCoreApplication::processEvents();
    return frame;
}

// A node by its path of names below the root, "Games/Shareware Games"; null when there is none.
inline const CTreeItem* Node(CMainFrame& frame, const QString& path)
{
    const CTreeItem* item = frame.GetTreeModel()->GetRoot();
    for (const QString& name : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        const CTreeItem* next = nullptr;
        for (qsizetype i = 0; item && i < item->GetChildCount() && !next; ++i)
            if (item->GetChild(i)->GetName() == name)
                next = item->GetChild(i);
        item = next;
    }
    return item;
}

// Lets a refill asked for finish: the posted refresh, and the files' keys a worker reads.
inline void WaitForList(CMainFrame& frame)
{
    QCoreApplication::processEvents(); // the posted refresh
    QVERIFY(QTest::qWaitFor([&] { return !frame.IsLoading(); }));
}

// Selects the node and lets the list refill.
inline void Select(CMainFrame& frame, const QString& path)
{
    frame.SelectTreeItem(Node(frame, path));
    WaitForList(frame);
}

// Highlights exactly these rows and puts the focus into the list.
inline void SelectRows(CMainFrame& frame, const QList<int>& rows)
{
    QItemSelectionModel* selection = frame.GetListView()->GetSelectionModel();
    selection->clearSelection();
    for (int row : rows)
        selection->select(frame.GetListModel()->index(row, 0),
                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    frame.GetListView()->GetCurrentView()->setFocus();
    frame.UpdateCommandStates();
}

// The list row showing this name; -1 when none does.
inline int RowNamed(CMainFrame& frame, const QString& name)
{
    const CFileListModel* model = frame.GetListModel();
    for (int row = 0; row < model->rowCount(); ++row) {
        if (model->index(row, CFileListModel::kName).data().toString() == name)
            return row;
    }
    return -1;
}

// Shows the node and highlights the row of this name, as a user would. The window is activated
// first: offscreen, nothing gives it back its activation when a sheet closes.
inline void SelectNamed(CMainFrame& frame, const QString& node, const QString& name)
{
    frame.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&frame));
    QVERIFY2(Node(frame, node), qPrintable(node));
    Select(frame, node);
    const int row = RowNamed(frame, name);
    QVERIFY2(row >= 0, qPrintable(name));
    SelectRows(frame, {row});
}

} // namespace FrameSupport

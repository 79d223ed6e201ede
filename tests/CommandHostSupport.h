#pragma once

// Running the explorer's commands without its window: a host that shows a node of the tree the
// explorer would build, reads the node's files as the list does, selects rows by title, and
// records the refreshes the command asks for.

#include "controls/CFolderTreeModel.h"
#include "controls/CommandHost.h"
#include "controls/CTreeItem.h"
#include "database/CFileRecord.h"
#include "database/CTroveportDatabaseManager.h"
#include "database/SearchStatement.h"
#include "explorer/TreeBuilder.h"

#include <QWidget>

#include <algorithm>
#include <memory>

namespace CommandHostSupport {

class CFakeCommandHost : public CommandHost
{
public:
    CFakeCommandHost()
    {
        const BuiltTree tree = BuildFolderTree();
        m_model.SetRoot(tree.root);
        m_searchResults = tree.searchResults;
    }
    ~CFakeCommandHost() override = default;

    // Shows the node at this path of names below the root ("Games/Shareware Games"; empty: the
    // root) with nothing selected; false when there is no such node.
    bool Show(const QString& path)
    {
        CFolderTreeItem* item = m_model.GetRoot();
        for (const QString& name : path.split(u'/', Qt::SkipEmptyParts)) {
            CFolderTreeItem* next = nullptr;
            for (qsizetype i = 0; item && i < item->GetChildCount() && !next; ++i)
                if (item->GetChild(i)->GetName() == name)
                    next = static_cast<CFolderTreeItem*>(item->GetChild(i));
            item = next;
        }
        if (!item)
            return false;
        Show(item);
        return true;
    }

    // Shows the files the search finds, as the search results node lists them.
    void ShowSearchResults(const QString& text, quint32 fields)
    {
        m_searchText = text;
        m_searchFields = fields;
        Show(m_searchResults);
    }

    // Reads the shown node's files again, as the list does when the refresh comes; the selection
    // goes.
    void Refill() { Show(m_node); }

    // The list row of the file with this title, or -1.
    int RowOf(const QString& title) const
    {
        for (int row = 0; m_cursor && row < m_rowCount; ++row) {
            const auto file = ReadFileOfListRow(*m_cursor, row);
            if (file && file->title == title)
                return row;
        }
        return -1;
    }

    // Selects the rows of these titles, in any order; false when one is not listed.
    bool SelectTitles(const QStringList& titles)
    {
        QList<int> rows;
        for (const QString& title : titles)
            rows.append(RowOf(title));
        if (rows.contains(-1))
            return false;
        std::sort(rows.begin(), rows.end());
        m_rows.clear();
        for (int row : rows) {
            if (!m_rows.isEmpty() && m_rows.last().second + 1 == row)
                m_rows.last().second = row;
            else
                m_rows.append({row, row});
        }
        return true;
    }

    // Selects the folder row of the shown node's child with this name; false when it has none.
    bool SelectFolder(const QString& name)
    {
        for (qsizetype i = 0; m_node && i < m_node->GetChildCount(); ++i) {
            if (m_node->GetChild(i)->GetName() == name) {
                m_folder = static_cast<CFolderTreeItem*>(m_node->GetChild(i));
                m_rows = {{int(i), int(i)}};
                return true;
            }
        }
        return false;
    }

    int Refreshes() const { return m_refreshes; }
    // How deep refreshes are held now, and were held at most.
    int Holds() const { return m_holds; }
    int MostHolds() const { return m_mostHolds; }

    QWidget* GetWindow() override { return &m_window; }
    CFolderTreeModel* GetTreeModel() const override { return &m_model; }
    CFolderTreeItem* GetSelectedTreeItem() const override { return m_node; }
    CFileRecord* GetFileCursor() const override { return m_cursor.get(); }
    QList<QPair<int, int>> GetSelectedRows() const override { return m_rows; }
    CFolderTreeItem* GetFirstSelectedFolderItem() const override { return m_folder; }
    int GetListedRowCount() const override { return m_rowCount; }
    void RedisplayRow(int) override {}
    void PostRefresh() override { ++m_refreshes; }
    void HoldRefresh(bool hold) override
    {
        m_holds += hold ? 1 : -1;
        m_mostHolds = std::max(m_mostHolds, m_holds);
    }

private:
    void Show(CFolderTreeItem* node)
    {
        m_node = node;
        m_folder = nullptr;
        m_rows.clear();
        m_cursor.reset();
        m_rowCount = 0;
        if (node->GetType() == kNodeArea || node->GetType() == kNodeSearchResults) {
            m_cursor = std::make_unique<CFileRecord>(&theDatabaseManager);
            const bool read = node->GetType() == kNodeArea
                                  ? m_cursor->GetAllFilesInArea(double(node->GetAreaId()))
                                  : m_cursor->Open(BuildSearchStatement(m_searchText, m_searchFields), true, true);
            m_rowCount = read ? int(m_cursor->GetRecordCount()) : 0;
        } else {
            m_rowCount = int(node->GetChildCount());
        }
    }

    QWidget m_window;
    mutable CFolderTreeModel m_model;
    CFolderTreeItem* m_searchResults = nullptr;
    CFolderTreeItem* m_node = nullptr;
    CFolderTreeItem* m_folder = nullptr;
    std::unique_ptr<CFileRecord> m_cursor;
    int m_rowCount = 0;
    QList<QPair<int, int>> m_rows;
    QString m_searchText;
    quint32 m_searchFields = 0;
    int m_refreshes = 0;
    int m_holds = 0;
    int m_mostHolds = 0;
};

} // namespace CommandHostSupport

#include "properties/PropertiesCommand.h"

#include "controls/CTreeItem.h"
#include "database/CFileRecord.h"
#include "database/CTroveportDatabaseManager.h"
#include "explorer/CFileListModel.h"
#include "explorer/CFileListView.h"
#include "explorer/CMainFrame.h"
#include "properties/AreaGroupProperties.h"
#include "properties/CFilePropertySheet.h"

namespace {

void RunFileSheet(CMainFrame& frame, const CFolderTreeItem& node, int row)
{
    CFileRecord* cursor = frame.GetFileCursor();
    if (!cursor)
        return;
    auto file = ReadFileOfListRow(*cursor, row);
    if (!file)
        return;
    // The row is shown afresh from the cursor afterwards: nothing may replace it meanwhile.
    frame.HoldRefresh(true);
    CFilePropertySheet sheet(std::move(file), frame.GetTreeModel(), &frame);
    const bool accepted = sheet.Run();
    frame.HoldRefresh(false);
    if (!accepted)
        return;
    CFileListModel* list = frame.GetListModel();
    list->RedisplayRow(row);
    // Links changed on the File Areas page may have taken the file out of this area or put it
    // back: the list shows what the area holds now.
    if (node.GetType() == kNodeArea &&
        theDatabaseManager.GetNumberOfFilesInArea(node.GetAreaId()) != list->rowCount())
        frame.PostRefresh();
}

} // namespace

void RunPropertiesCommand(CMainFrame& frame)
{
    const int row = frame.GetListView()->GetFirstSelectedRow();
    const CFolderTreeItem* node = frame.GetSelectedTreeItem();
    if (row < 0 || !node)
        return;
    switch (node->GetType()) {
    case kNodeRoot:
        // The rows under the root are the groups (and the search results, a name no group has).
        if (const CFolderTreeItem* group = frame.GetFirstSelectedFolderItem())
            RunGroupPropertiesSheet(&frame, group->GetName());
        break;
    case kNodeGroup:
        if (const CFolderTreeItem* area = frame.GetFirstSelectedFolderItem())
            RunAreaPropertiesSheet(&frame, area->GetAreaId());
        break;
    case kNodeArea:
    case kNodeSearchResults:
        RunFileSheet(frame, *node, row);
        break;
    default:
        break;
    }
}

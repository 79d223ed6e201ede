#include "properties/PropertiesCommand.h"

#include "controls/CommandHost.h"
#include "controls/CTreeItem.h"
#include "database/CFileRecord.h"
#include "database/CTroveportDatabaseManager.h"
#include "properties/AreaGroupProperties.h"
#include "properties/CFilePropertySheet.h"

namespace {

void RunFileSheet(CommandHost& host, const CFolderTreeItem& node, int row)
{
    CFileRecord* cursor = host.GetFileCursor();
    if (!cursor)
        return;
    auto file = ReadFileOfListRow(*cursor, row);
    if (!file)
        return;
    bool accepted = false;
    {
        // The row is shown afresh from the cursor afterwards: nothing may replace it meanwhile.
        const CRefreshHold hold(host);
        CFilePropertySheet sheet(std::move(file), host.GetTreeModel(), host.GetWindow());
        accepted = sheet.Run();
    }
    if (!accepted)
        return;
    host.RedisplayRow(row);
    // Links changed on the File Areas page may have taken the file out of this area or put it
    // back: the list shows what the area holds now.
    if (node.GetType() == kNodeArea &&
        theDatabaseManager.GetNumberOfFilesInArea(node.GetAreaId()) != host.GetListedRowCount())
        host.PostRefresh();
}

} // namespace

void RunPropertiesCommand(CommandHost& host)
{
    const int row = host.GetFirstSelectedRow();
    const CFolderTreeItem* node = host.GetSelectedTreeItem();
    if (row < 0 || !node)
        return;
    switch (node->GetType()) {
    case kNodeRoot:
        // The rows under the root are the groups (and the search results, a name no group has).
        if (const CFolderTreeItem* group = host.GetFirstSelectedFolderItem())
            RunGroupPropertiesSheet(host.GetWindow(), group->GetName());
        break;
    case kNodeGroup:
        if (const CFolderTreeItem* area = host.GetFirstSelectedFolderItem())
            RunAreaPropertiesSheet(host.GetWindow(), area->GetAreaId());
        break;
    case kNodeArea:
    case kNodeSearchResults:
        RunFileSheet(host, *node, row);
        break;
    default:
        break;
    }
}

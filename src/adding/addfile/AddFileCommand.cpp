#include "adding/addfile/AddFileCommand.h"

#include "adding/addfile/CAddFileWizard.h"
#include "controls/CModalRun.h"
#include "controls/CommandHost.h"
#include "controls/CTreeItem.h"
#include "database/CTroveportDatabaseManager.h"

void RunAddFileCommand(CommandHost& host)
{
    {
        // Modal to the explorer only, so that the help window stays usable beside it.
        CAddFileWizard wizard(QObject::tr("Add File Wizard"), host.GetTreeModel(), host.GetWindow());
        CModalRun::Exec(wizard);
    }
    const CFolderTreeItem* node = host.GetSelectedTreeItem();
    if (node && node->GetType() == kNodeArea &&
        theDatabaseManager.GetNumberOfFilesInArea(node->GetAreaId()) > host.GetListedRowCount())
        host.PostRefresh();
}

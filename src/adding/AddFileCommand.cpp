#include "adding/AddFileCommand.h"

#include "adding/CAddFileWizard.h"
#include "controls/CModalRun.h"
#include "database/CTroveportDatabaseManager.h"
#include "explorer/CFileListModel.h"
#include "explorer/CMainFrame.h"
#include "explorer/CTreeItem.h"

void RunAddFileCommand(CMainFrame& frame)
{
    {
        // Modal to the explorer only, so that the help window stays usable beside it.
        CAddFileWizard wizard(QObject::tr("Add File Wizard"), frame.GetTreeModel(), &frame);
        CModalRun::Exec(wizard);
    }
    const CFolderTreeItem* node = frame.GetSelectedTreeItem();
    if (node && node->GetType() == kNodeArea &&
        theDatabaseManager.GetNumberOfFilesInArea(node->GetAreaId()) > frame.GetListModel()->rowCount())
        frame.PostRefresh();
}

#include "adding/addfile/AddFileCommand.h"

#include "adding/addfile/CAddFileWizard.h"
#include "controls/CModalRun.h"
#include "controls/CTreeItem.h"
#include "database/CTroveportDatabaseManager.h"
#include "explorer/CFileListModel.h"
#include "explorer/CMainFrame.h"

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

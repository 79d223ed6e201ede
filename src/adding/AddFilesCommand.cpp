#include "adding/AddFilesCommand.h"

#include "adding/CAddFilesWizard.h"
#include "controls/CMessageBox.h"
#include "controls/CModalRun.h"
#include "database/CTroveportDatabaseManager.h"
#include "explorer/CFileListModel.h"
#include "explorer/CMainFrame.h"
#include "explorer/CTreeItem.h"
#include "startup/CFileAreaTable.h"
#include "startup/Globals.h"

void RunAddFilesCommand(CMainFrame& frame)
{
    if (theFileAreaTable.RecordsWithFlag(kAreaHostsLocalFiles).isEmpty()) {
        CMessageBox::Show(&frame, QObject::tr("No file areas are configured for local file hosting."));
        return;
    }
    {
        // No owner window, as the wizard has always had.
        CAddFilesWizard wizard(QObject::tr("Add Files Wizard"));
        CModalRun::Exec(wizard);
    }
    const CFolderTreeItem* node = frame.GetSelectedTreeItem();
    if (node && node->GetType() == kNodeArea &&
        theDatabaseManager.GetNumberOfFilesInArea(node->GetAreaId()) > frame.GetListModel()->rowCount())
        frame.PostRefresh();
}

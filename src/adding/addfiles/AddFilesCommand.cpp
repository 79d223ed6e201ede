#include "adding/addfiles/AddFilesCommand.h"

#include "adding/addfiles/CAddFilesWizard.h"
#include "controls/CMessageBox.h"
#include "controls/CModalRun.h"
#include "controls/CTreeItem.h"
#include "database/CTroveportDatabaseManager.h"
#include "explorer/CFileListModel.h"
#include "explorer/CMainFrame.h"
#include "settings/CFileAreaTable.h"
#include "settings/Globals.h"

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

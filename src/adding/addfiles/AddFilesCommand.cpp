#include "adding/addfiles/AddFilesCommand.h"

#include "adding/addfiles/CAddFilesWizard.h"
#include "controls/CMessageBox.h"
#include "controls/CModalRun.h"
#include "controls/CommandHost.h"
#include "controls/CTreeItem.h"
#include "database/CTroveportDatabaseManager.h"
#include "settings/CFileAreaTable.h"
#include "settings/Globals.h"

void RunAddFilesCommand(CommandHost& host)
{
    if (theFileAreaTable.RecordsWithFlag(kAreaHostsLocalFiles).isEmpty()) {
        CMessageBox::Show(host.GetWindow(), QObject::tr("No file areas are configured for local file hosting."));
        return;
    }
    {
        // No owner window, as the wizard has always had.
        CAddFilesWizard wizard(QObject::tr("Add Files Wizard"));
        CModalRun::Exec(wizard);
    }
    const CFolderTreeItem* node = host.GetSelectedTreeItem();
    if (node && node->GetType() == kNodeArea &&
        theDatabaseManager.GetNumberOfFilesInArea(node->GetAreaId()) > host.GetListedRowCount())
        host.PostRefresh();
}

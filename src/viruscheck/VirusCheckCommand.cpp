#include "viruscheck/VirusCheckCommand.h"

#include "controls/CMessageBox.h"
#include "controls/CWaitCursor.h"
#include "database/CFileRecord.h"
#include "database/CTroveportDatabaseManager.h"
#include "explorer/CFileListView.h"
#include "explorer/CMainFrame.h"
#include "explorer/CTreeItem.h"
#include "viruscheck/VirusChecker.h"

void OnVirusCheck(CMainFrame* frame)
{
    CWaitCursor wait;
    const CFolderTreeItem* node = frame->GetSelectedTreeItem();
    if (!node || (node->GetType() != kNodeArea && node->GetType() != kNodeSearchResults))
        return;
    CFileRecord* cursor = frame->GetFileCursor();
    const int row = frame->GetListView()->GetFirstSelectedRow();
    if (!cursor || row < 0)
        return;
    // The cursor belongs to the list; the command reads the row into a copy of its own.
    const std::unique_ptr<CFileRecord> file = ReadFileOfListRow(*cursor, row);
    QStringList locations;
    if (!file || !theDatabaseManager.GetDownloadURLs(file->file_id, locations))
        return;
    CMessageBox::Show(frame, VirusCheckMessage(CheckLocalCopies(locations)));
}

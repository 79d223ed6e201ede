#include "viruscheck/VirusCheckCommand.h"

#include "controls/CMessageBox.h"
#include "controls/CommandHost.h"
#include "controls/CTreeItem.h"
#include "controls/CWaitCursor.h"
#include "controls/RunWithProgress.h"
#include "database/CFileRecord.h"
#include "database/CTroveportDatabaseManager.h"
#include "files/SafeFormat.h"
#include "viruscheck/VirusChecker.h"

void RunVirusCheckCommand(CommandHost& host)
{
    CWaitCursor wait;
    const CFolderTreeItem* node = host.GetSelectedTreeItem();
    if (!node || (node->GetType() != kNodeArea && node->GetType() != kNodeSearchResults))
        return;
    CFileRecord* cursor = host.GetFileCursor();
    const int row = host.GetFirstSelectedRow();
    if (!cursor || row < 0)
        return;
    // The cursor belongs to the list; the command reads the row into a copy of its own.
    const std::unique_ptr<CFileRecord> file = ReadFileOfListRow(*cursor, row);
    QStringList locations;
    if (!file || !theDatabaseManager.GetDownloadURLs(file->file_id, locations))
        return;
    // The checker may take minutes: it runs beside the window, and Cancel stops it.
    VirusCheckResult result;
    RunWithProgress(host.GetWindow(), QObject::tr("Virus Check"),
                    SafeFormat(u"Checking %s for viruses...", ElideStoredText(file->title)),
                    [&](CWorkProgress& work) {
                        result = CheckLocalCopies(locations, [&work] { return work.Cancelled(); });
                    });
    // A check that gave no answer must not look like the quiet "passed".
    const bool unanswered = result.outcome == VirusCheckResult::Outcome::NotChecked;
    CMessageBox::Show(host.GetWindow(), VirusCheckMessage(result), QString(),
                      unanswered ? QMessageBox::Warning : QMessageBox::NoIcon);
}

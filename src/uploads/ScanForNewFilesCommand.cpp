#include "uploads/ScanForNewFilesCommand.h"

#include "controls/CMessageBox.h"
#include "controls/CModalRun.h"
#include "controls/CommandHost.h"
#include "controls/RunWithProgress.h"
#include "files/SafeFormat.h"
#include "uploads/CScanNewFilesDialog.h"
#include "uploads/UploadScan.h"

namespace {

// Reads and checks every upload on a worker thread: the checker may take minutes, and the window
// keeps answering meanwhile. Cancel stops the checker at work (that upload is listed as not
// checked) and the scan after it; the uploads read so far are kept. False when cancelled.
bool ScanWithProgress(QWidget* window, CPendingUploadArray& uploads)
{
    const QString caption = QObject::tr("Scan for new files"), text = QObject::tr("Looking for uploads...");
    return RunWithProgress(window, caption, text, [&](CWorkProgress& work) {
        ScanUploadAreas(
            uploads,
            [&work](const QString& descriptionPath, int index, int total) {
                // The upload's name: the description file's without ".desc".
                QString name = descriptionPath.mid(descriptionPath.lastIndexOf(u'/') + 1);
                if (name.endsWith(u".desc"))
                    name.chop(5);
                work.SetRange(total);
                work.SetValue(index);
                work.SetText(SafeFormat(u"Checking %s (%d of %d)", ElideStoredText(name), index + 1, total));
                return !work.Cancelled();
            },
            [&work] { return work.Cancelled(); });
    });
}

} // namespace

void RunScanForNewFilesCommand(CommandHost& host)
{
    CPendingUploadArray uploads;
    const bool completed = ScanWithProgress(host.GetWindow(), uploads);
    if (!uploads.isEmpty()) {
        CScanNewFilesDialog dialog(uploads, host.GetTreeModel(), host.GetWindow());
        CModalRun::Exec(dialog);
    } else if (completed) {
        // No owner window, as the message has always had.
        CMessageBox::Show(nullptr, QObject::tr("No new files found to process."));
    }
    host.PostRefresh();
}

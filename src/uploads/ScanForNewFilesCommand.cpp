#include "uploads/ScanForNewFilesCommand.h"

#include "controls/CMessageBox.h"
#include "controls/CModalRun.h"
#include "controls/CommandHost.h"
#include "controls/RunWithProgress.h"
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
                work.SetRange(total);
                work.SetValue(index);
                work.SetText(UploadScanProgressText(descriptionPath, index, total));
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

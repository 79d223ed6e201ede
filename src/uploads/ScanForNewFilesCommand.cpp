#include "uploads/ScanForNewFilesCommand.h"

#include "controls/CMessageBox.h"
#include "controls/CModalRun.h"
#include "explorer/CMainFrame.h"
#include "startup/SafeFormat.h"
#include "uploads/CScanNewFilesDialog.h"
#include "uploads/UploadScan.h"

#include <QCoreApplication>
#include <QLabel>
#include <QProgressDialog>

namespace {

// How long a scan may take before its progress window shows, in milliseconds.
constexpr int kProgressDelay = 700;

CPendingUploadArray ScanWithProgress(CMainFrame& frame)
{
    QProgressDialog progress(&frame);
    progress.setWindowTitle(QObject::tr("Scan for new files"));
    progress.setAccessibleName(progress.windowTitle());
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(kProgressDelay);
    progress.setAutoReset(false);
    progress.setAutoClose(false);
    // File names come from visitors: shown as they are, never as markup.
    auto* label = new QLabel(&progress);
    label->setTextFormat(Qt::PlainText);
    label->setMinimumWidth(360);
    progress.setLabel(label);
    progress.setCancelButtonText(QObject::tr("Cancel"));

    CPendingUploadArray uploads;
    ScanUploadAreas(
        uploads,
        [&](const QString& descriptionPath, int index, int total) {
            // The upload's name: the description file's without ".desc".
            QString name = descriptionPath.mid(descriptionPath.lastIndexOf(u'/') + 1);
            if (name.endsWith(u".desc"))
                name.chop(5);
            progress.setMaximum(total);
            progress.setLabelText(
                SafeFormat(u"Checking %s (%d of %d)", ElideStoredText(name), index + 1, total));
            progress.setValue(index);
            return !progress.wasCanceled();
        },
        // The virus checker may take long over one upload: the window keeps painting, and the
        // progress window, modal over it, keeps everything but Cancel out of reach.
        [] { QCoreApplication::processEvents(); });
    return uploads;
}

} // namespace

void RunScanForNewFilesCommand(CMainFrame& frame)
{
    CPendingUploadArray uploads = ScanWithProgress(frame);
    if (uploads.isEmpty()) {
        // No owner window, as the message has always had.
        CMessageBox::Show(nullptr, QObject::tr("No new files found to process."));
    } else {
        CScanNewFilesDialog dialog(uploads, frame.GetTreeModel(), &frame);
        CModalRun::Exec(dialog);
    }
    frame.PostRefresh();
}

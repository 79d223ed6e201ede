#include "controls/CModalRun.h"

#include "controls/CWaitCursor.h"
#include <QQueue>

namespace {

QQueue<CModalRun::Handler>& Handlers()
{
    static QQueue<CModalRun::Handler> handlers;
    return handlers;
}

QQueue<CModalRun::Handler>& ProgressHandlers()
{
    static QQueue<CModalRun::Handler> handlers;
    return handlers;
}

int Run(QDialog& dialog, QQueue<CModalRun::Handler>& handlers)
{
    // A dialog blocks the window it belongs to, not every window: the help window stays usable.
    if (dialog.parentWidget() && dialog.windowModality() == Qt::NonModal)
        dialog.setWindowModality(Qt::WindowModal);
    if (handlers.isEmpty())
        return dialog.exec();
    const CModalRun::Handler handler = handlers.dequeue();
    dialog.show();
    const int result = handler(dialog);
    dialog.hide();
    dialog.setResult(result);
    return result;
}

} // namespace

int CModalRun::Exec(QDialog& dialog)
{
    const CNormalCursor arrow;
    return Run(dialog, Handlers());
}

int CModalRun::ExecProgress(QDialog& dialog)
{
    return Run(dialog, ProgressHandlers());
}

void CModalRun::QueueHandler(Handler handler)
{
    Handlers().enqueue(std::move(handler));
}

void CModalRun::QueueProgressHandler(Handler handler)
{
    ProgressHandlers().enqueue(std::move(handler));
}

void CModalRun::ClearHandlers()
{
    Handlers().clear();
    ProgressHandlers().clear();
}

int CModalRun::PendingHandlers()
{
    return int(Handlers().size() + ProgressHandlers().size());
}

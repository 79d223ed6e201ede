#include "controls/CModalRun.h"

#include "controls/CWaitCursor.h"
#include <QQueue>

namespace {

QQueue<CModalRun::Handler>& Handlers()
{
    static QQueue<CModalRun::Handler> handlers;
    return handlers;
}

} // namespace

int CModalRun::Exec(QDialog& dialog)
{
    const CNormalCursor arrow;
    // A dialog blocks the window it belongs to, not every window: the help window stays usable.
    if (dialog.parentWidget() && dialog.windowModality() == Qt::NonModal)
        dialog.setWindowModality(Qt::WindowModal);
    if (Handlers().isEmpty())
        return dialog.exec();
    const Handler handler = Handlers().dequeue();
    dialog.show();
    const int result = handler(dialog);
    dialog.hide();
    dialog.setResult(result);
    return result;
}

void CModalRun::QueueHandler(Handler handler)
{
    Handlers().enqueue(std::move(handler));
}

void CModalRun::ClearHandlers()
{
    Handlers().clear();
}

int CModalRun::PendingHandlers()
{
    return int(Handlers().size());
}

#include "controls/CHelpPropertySheet.h"

#include <QHelpEvent>

CHelpPropertySheet::CHelpPropertySheet(const QString& caption, QWidget* parent, int firstPage)
    : CPropertySheet(caption, parent, firstPage)
{
    setWindowFlag(Qt::WindowContextHelpButtonHint, true);
}

void CHelpPropertySheet::showEvent(QShowEvent* event)
{
    CPropertySheet::showEvent(event);
    // After the caption's help button, a click on any control of the sheet is a help request.
    for (QWidget* child : findChildren<QWidget*>()) {
        child->removeEventFilter(this);
        child->installEventFilter(this);
    }
}

bool CHelpPropertySheet::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::QueryWhatsThis) {
        event->accept(); // every control has help to offer
        return true;
    }
    if (event->type() == QEvent::WhatsThis) {
        RouteHelpRequest(qobject_cast<QWidget*>(watched), static_cast<QHelpEvent*>(event)->globalPos());
        return true;
    }
    return CPropertySheet::eventFilter(watched, event);
}

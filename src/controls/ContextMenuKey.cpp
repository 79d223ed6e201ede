#include "controls/ContextMenuKey.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QWidget>

namespace {

class CContextMenuKeyFilter : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_F10 || key->modifiers() != Qt::ShiftModifier)
            return false;
        auto* widget = static_cast<QWidget*>(watched);
        // Where the text cursor is, in a text control; the middle of the control otherwise. Views
        // place a keyboard menu at their current item themselves.
        const QRect cursor = widget->inputMethodQuery(Qt::ImCursorRectangle).toRect();
        const QPoint position = cursor.isValid() ? cursor.center() : widget->rect().center();
        QContextMenuEvent menu(QContextMenuEvent::Keyboard, position, widget->mapToGlobal(position),
                               Qt::NoModifier);
        QApplication::sendEvent(widget, &menu);
        return true;
    }
};

} // namespace

void InstallContextMenuKey()
{
    static bool installed = false;
    if (installed || !qApp)
        return;
    installed = true;
    qApp->installEventFilter(new CContextMenuKeyFilter(qApp));
}

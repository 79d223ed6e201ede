#pragma once

#include <QPoint>
#include <QPointer>
#include <QVariant>
#include <QWidget>

// A control's help topic: control identifier and topic number. Lists end with a pair whose
// control identifier is 0.
struct HelpPair
{
    quint32 controlId;
    quint32 topic;
};

// Where a help request came from: F1 on a control or a menu item, or a click on a control after
// the caption's help button.
struct HelpRequest
{
    enum Source
    {
        Control,
        MenuItem
    };
    Source source = Control;
    quint32 id = 0; // the control's or menu item's identifier (a widget's "controlId" property)
    QPointer<QWidget> control;
    QPoint globalPosition;
};

// The identifier a widget carries for help pairs (its "controlId" property), 0 when none.
inline quint32 HelpControlId(const QWidget* widget)
{
    return widget ? widget->property("controlId").toUInt() : 0;
}

#pragma once

#include <QList>
#include <QRect>
#include <QString>

// The frame's placement as the per-user setting "Window Position" keeps it: eight fields
// "%04d %04d %04d %04d %04d %04d %04d %04d" of the normal left, top, right and bottom, the
// minimised and maximised flags, and whether the toolbar and the status bar are shown.
struct WindowPlacement
{
    QRect normal;
    bool minimized = false;
    bool maximized = false;
    bool toolBarVisible = true;
    bool statusBarVisible = true;
    bool hasBarFlags = false; // only strings longer than 30 characters carry the bar flags

    // Reads the fields at offsets 0, 5, ..., 35, each as atoi would; a field beyond the end is 0.
    static WindowPlacement Parse(const QString& text);
    QString Format() const;
};

// Where to open the frame for a stored normal rectangle, given the available geometry of each
// screen, the primary screen first. The rectangle moves onto the screen it overlaps most (the
// primary one when it overlaps none) and shrinks to fit it, so a placement saved on a monitor that
// is gone, or a damaged one, still opens a window that can be seen. A null QRect, keeping the
// default placement, when the stored rectangle has no area or there is no screen.
QRect FitToScreens(const QRect& stored, const QList<QRect>& screens);

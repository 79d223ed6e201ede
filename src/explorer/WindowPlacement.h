#pragma once

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

#pragma once

#include <QTextStream>

#include <functional>

namespace PostgresBench {

// Round trips a piece of work costs, counted from libpq's trace of the explorer's connection.
using WireCounter = std::function<qint64(const std::function<void()>&)>;

// The explorer window (offscreen) on area 1 of the server's library, at 1280x900 and 1920x1080, in
// each view mode: the round trips of opening the area with its first screen painted, and of each
// screen after paging on with the keyboard, counted on the wire. False when the window cannot be
// made.
bool MeasureWindowScreens(const QString& library, qint64 files, int pages, const WireCounter& wire,
                          QTextStream& out);

} // namespace PostgresBench

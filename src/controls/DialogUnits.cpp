#include "controls/DialogUnits.h"

#include <QtGlobal>

#include <algorithm>
#include <climits>

int ScaleDialogPixels(int pixels, int lineHeight)
{
    if (lineHeight <= 0)
        return pixels;
    // 13 is odd, so no size falls exactly halfway: adding 6 before dividing rounds to nearest.
    const qint64 scaled = qint64(pixels) * lineHeight;
    const qint64 rounded = (scaled >= 0 ? scaled + 6 : scaled - 6) / 13;
    return int(std::clamp<qint64>(rounded, INT_MIN, INT_MAX));
}

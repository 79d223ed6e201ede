#pragma once

// A pixel size chosen for an 8-point dialog font, whose text lines are 13 pixels high, scaled to a
// font whose lines are lineHeight pixels high and rounded to the nearest pixel. Without a line
// height (0 or less) the size stands as it is.
int ScaleDialogPixels(int pixels, int lineHeight);

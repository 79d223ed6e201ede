#pragma once

#include <QString>

// Texts of the file list's cells.

// A size as the list shows it: the byte count truncated to a signed 32-bit integer (so sizes of
// 2 GiB and more wrap round to negative numbers), in decimal without separators.
QString FormatListSize(double fileSize);
// A record date (seconds since 1970) as "%B %d, %Y" in local time and the user's locale:
// "March 05, 1997".
QString FormatListDate(quint32 secondsSince1970);

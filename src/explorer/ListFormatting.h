#pragma once

#include <QString>

// Texts of the file list's cells.

// A size as the list shows it: the byte count truncated to a signed 32-bit integer (so sizes of
// 2 GiB and more wrap round to negative numbers), in decimal without separators.
QString FormatListSize(double fileSize);
// A record date (seconds since 1970) as "%B %d, %Y" of its day in UTC, in the user's locale:
// "March 05, 1997".
QString FormatListDate(quint32 secondsSince1970);

// A text of the database as a cell shows it: on one line (line breaks become spaces) and cut after
// kMaxListTextLength characters with an ellipsis. The web site may store texts of any length, and
// laying out megabytes for every row painted would freeze the window.
constexpr int kMaxListTextLength = 260;
QString FormatListText(const QString& text);

// The width a list column (0 "Name" to 5 "Description") starts with when the settings keep none,
// for a dialog font whose lines are lineHeight pixels high; 0 for a column the list does not have.
int DefaultListColumnWidth(int column, int lineHeight);

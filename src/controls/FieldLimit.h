#pragma once

class QLineEdit;
class QString;

// Holds a single-line field to a number of characters without ever cutting what is put into it. A
// path or an address cut short names something else, so typing stops at the limit and a paste or
// drop that would take the text past it is refused whole, with a message. A longer text the program
// itself shows in the field (one stored elsewhere) stays whole and can be shortened.
void LimitFieldLength(QLineEdit* field, int limit);

// Puts a text the user chose (a folder or file from a chooser) into a field held by
// LimitFieldLength. One longer than the field's limit is refused with a message that names it, and
// the field keeps what it had. True when the text was put in.
bool FillLimitedField(QLineEdit* field, const QString& text);

#pragma once

#include <QString>

// Fields a search looks in, in the order of the File Search dialog's list.
enum SearchField : quint32
{
    kSearchTitle = 0x01,
    kSearchShortDesc = 0x02,
    kSearchLongDesc = 0x04,
    kSearchAuthorName = 0x08,
    kSearchAuthorEmail = 0x10,
    kSearchUrl = 0x20,
};

// The statement that finds files whose chosen fields contain the text, ordered by title; empty
// when the text is empty or no field is chosen. The text is used as typed: % and _ are wildcards.
QString BuildSearchStatement(const QString& text, quint32 fields);

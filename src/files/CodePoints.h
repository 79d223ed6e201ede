#pragma once

#include <QString>
#include <QStringView>

// Characters as the database and the web site count them: a surrogate pair is one code point, and
// so is a lone surrogate (it is stored as U+FFFD). Every field limit counts this way, so a value
// that one check lets through is never refused or cut by another.

// Index just past count code points from start, or the text's end: never inside a pair.
inline qsizetype AdvanceCodePoints(QStringView text, qsizetype start, qsizetype count)
{
    qsizetype i = start;
    while (count-- > 0 && i < text.size())
        i += (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) ? 2 : 1;
    return i;
}

inline qsizetype CodePointCount(QStringView text)
{
    qsizetype count = 0;
    for (qsizetype i = 0; i < text.size(); i = AdvanceCodePoints(text, i, 1))
        ++count;
    return count;
}

// The first count code points of the text.
inline QString LeftCodePoints(QStringView text, qsizetype count)
{
    return text.left(AdvanceCodePoints(text, 0, count)).toString();
}

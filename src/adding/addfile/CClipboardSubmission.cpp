#include "adding/addfile/CClipboardSubmission.h"

#include "controls/DateEditLogic.h"
#include "files/CodePoints.h"

#include <QList>

#include <climits>

namespace {

// A header line is kept to this many characters; the rest of a longer line is dropped up to its line
// end, so that a long value can neither push its tail into the header as a line of its own nor end
// the header early.
constexpr qsizetype kMaxHeaderLine = 259;

// The line that begins at pos, without its line end, cut to kMaxHeaderLine characters. pos moves
// past the line end: a CR, an LF, or a CR with the LF that follows it. At the end of the text the
// line ends there and pos stays at the end.
QStringView ReadHeaderLine(QStringView text, qsizetype& pos)
{
    const qsizetype start = pos;
    qsizetype kept = -1;
    qsizetype characters = 0;
    while (pos < text.size()) {
        const QChar c = text[pos];
        if (c == u'\r' || c == u'\n')
            break;
        if (kept < 0) {
            if (characters == kMaxHeaderLine) {
                kept = pos;
            } else {
                ++characters;
                // A character outside the BMP counts once and is never cut in half.
                if (c.isHighSurrogate() && pos + 1 < text.size() && text[pos + 1].isLowSurrogate())
                    ++pos;
            }
        }
        ++pos;
    }
    const QStringView line = text.sliced(start, (kept < 0 ? pos : kept) - start);
    if (pos < text.size()) {
        const bool crLf = text[pos] == u'\r' && pos + 1 < text.size() && text[pos + 1] == u'\n';
        pos += crLf ? 2 : 1;
    }
    return line;
}

// True when text holds marker, comparing each character's uppercase form with the marker, which
// is written in capitals.
bool ContainsMarker(QStringView text, QStringView marker)
{
    const qsizetype last = text.size() - marker.size();
    for (qsizetype i = 0; i <= last; ++i) {
        qsizetype j = 0;
        while (j < marker.size() && text[i + j].toUpper() == marker[j])
            ++j;
        if (j == marker.size())
            return true;
    }
    return false;
}

} // namespace

bool CClipboardSubmission::IsSubmission(QStringView text)
{
    return !text.isEmpty() && ContainsMarker(text, u"TITLE=") && ContainsMarker(text, u"SITENAME1=") &&
           ContainsMarker(text, u"SITEURL1=");
}

void CClipboardSubmission::Parse(QStringView text)
{
    m_values.clear();
    m_body.clear();
    qsizetype pos = 0;
    for (;;) {
        const QStringView line = ReadHeaderLine(text, pos);
        if (line.isEmpty() && pos == text.size())
            return;
        const qsizetype equals = line.indexOf(u'=');
        if (equals >= 0) {
            m_values.insert(line.first(equals).toString(), line.sliced(equals + 1).toString());
        } else if (line.isEmpty()) {
            m_body = text.sliced(pos).toString();
            return;
        }
    }
}

QString CClipboardSubmission::GetValue(const QString& key) const
{
    return m_values.value(key);
}

bool ParseDateText(const QString& text, const QString& pattern, int* month, int* day, int* year)
{
    // Text and pattern are matched character by character, so both are taken as code points; the
    // length is compared first so that a huge text is never expanded.
    const QList<uint> layout = pattern.toUcs4();
    const bool sameLength = CodePointCount(text) == layout.size();
    const QList<uint> chars = sameLength ? text.toUcs4() : QList<uint>();

    int parts[3] = {1, 1, 1};
    static constexpr char kLetters[3] = {'m', 'd', 'y'};
    for (int k = 0; k < 3; ++k) {
        const uint lower = uint(kLetters[k]);
        const uint upper = lower - 'a' + 'A';
        const auto isLetter = [&](qsizetype i) { return layout[i] == lower || layout[i] == upper; };
        qsizetype first = 0;
        while (first < layout.size() && !isLetter(first))
            ++first;
        if (first == layout.size() || !sameLength)
            continue;
        int value = 0;
        for (qsizetype i = first; i < layout.size() && isLetter(i); ++i) {
            // Only the ASCII digits count; other characters in the field's places are passed over.
            if (chars[i] < '0' || chars[i] > '9')
                continue;
            const int digit = int(chars[i] - '0');
            // A long run of digits saturates instead of overflowing; it is out of range anyway.
            value = value > (INT_MAX - digit) / 10 ? INT_MAX : value * 10 + digit;
        }
        parts[k] = value == 0 ? -1 : value;
    }

    const int m = parts[0];
    const int d = parts[1];
    const int y = parts[2];
    if (month)
        *month = m;
    if (day)
        *day = d;
    if (year)
        *year = y;
    // Two-digit years are checked as 19xx; the caller decides how to complete them for use.
    const int fullYear = y < 100 ? y + 1900 : y;
    // The calendar's leap years: in 1900 to 2078 they are the format's own (which also leaves out
    // the year 4000).
    return m >= 1 && m <= 12 && fullYear >= 1900 && fullYear <= 2078 && d >= 1 &&
           d <= DaysInMonth(fullYear, m);
}

#include "controls/DateEditLogic.h"

#include <QLocale>

#include <algorithm>
#include <array>
#include <climits>
#include <ctime>

namespace {

// Days since 1 January 1970 of a proleptic Gregorian date, for any year an int holds.
qint64 DaysFromCivil(qint64 year, int month, int day)
{
    year -= month <= 2 ? 1 : 0;
    const qint64 era = (year >= 0 ? year : year - 399) / 400;
    const qint64 yearOfEra = year - era * 400;
    const qint64 dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const qint64 dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

// The inverse of DaysFromCivil; the year can lie far outside an int for huge day counts.
void CivilFromDays(qint64 days, qint64* year, int* month, int* day)
{
    days += 719468;
    const qint64 era = (days >= 0 ? days : days - 146096) / 146097;
    const qint64 dayOfEra = days - era * 146097;
    const qint64 yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const qint64 dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const qint64 shifted = (5 * dayOfYear + 2) / 153;
    *day = int(dayOfYear - (153 * shifted + 2) / 5 + 1);
    *month = int(shifted < 10 ? shifted + 3 : shifted - 9);
    *year = yearOfEra + era * 400 + (*month <= 2 ? 1 : 0);
}

bool InEditableYears(qint64 year)
{
    return year >= kFirstEditableYear && year <= kLastEditableYear;
}

CalendarDate ClampDay(CalendarDate date)
{
    date.day = std::min(date.day, DaysInMonth(date.year, date.month));
    return date;
}

// The number at the start of a piece as atoi reads it (blanks, then a sign, then digits), held
// well inside 64 bits however many digits follow: such a number is never a day, month or year.
qint64 ReadNumber(QStringView piece)
{
    qsizetype i = 0;
    while (i < piece.size() && (piece[i] == u' ' || (piece[i] >= u'\t' && piece[i] <= u'\r')))
        ++i;
    bool negative = false;
    if (i < piece.size() && (piece[i] == u'+' || piece[i] == u'-')) {
        negative = piece[i] == u'-';
        ++i;
    }
    qint64 value = 0;
    for (; i < piece.size() && piece[i] >= u'0' && piece[i] <= u'9'; ++i)
        value = std::min<qint64>(value * 10 + (piece[i].unicode() - u'0'), 1000000000000LL);
    return negative ? -value : value;
}

// A typed date cut into at most three pieces. A cut falls at each occurrence of the whole
// separator, or else at any single character of it, so that "3. 4. 97" and "3.4.97" read alike
// under the separator ". ".
struct SplitText
{
    std::array<QStringView, 3> pieces;
    int count = 0;
    std::array<qsizetype, 3> starts{}; // where each piece starts
    std::array<qsizetype, 2> cuts{};   // where each cut starts
};

SplitText Split(QStringView text, const QString& separator)
{
    SplitText split;
    qsizetype start = 0;
    qsizetype i = 0;
    while (i < text.size() && split.count < 2) {
        qsizetype length = 0;
        if (!separator.isEmpty() && text.mid(i).startsWith(separator))
            length = separator.size();
        else if (separator.contains(text[i]))
            length = 1;
        if (length == 0) {
            ++i;
            continue;
        }
        split.cuts[size_t(split.count)] = i;
        split.starts[size_t(split.count)] = start;
        split.pieces[size_t(split.count++)] = text.mid(start, i - start);
        i += length;
        start = i;
    }
    split.starts[size_t(split.count)] = start;
    split.pieces[size_t(split.count++)] = text.mid(start);
    return split;
}

QString FieldText(const CalendarDate& date, const DateLayout& layout, int field)
{
    switch (field) {
    case kDayField:
        return QString::number(date.day).rightJustified((layout.flags & kDayWithoutZero) ? 1 : 2, u'0');
    case kMonthField:
        return QString::number(date.month).rightJustified((layout.flags & kMonthWithoutZero) ? 1 : 2, u'0');
    default:
        if (layout.flags & kTwoDigitYear)
            return QString::number(date.year % 100).rightJustified(2, u'0');
        return QString::number(date.year).rightJustified(4, u'0');
    }
}

} // namespace

DateLayout DateLayoutFromFormat(const QString& format)
{
    std::array<int, 3> fields{};
    int found = 0;
    bool seen[3] = {false, false, false};
    QString between[2];
    int flags = 0;
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format[i];
        if (c == u'\'') {
            // Quoted literal text; '' stands for one quote.
            qsizetype end = i + 1;
            QString literal;
            while (end < format.size()) {
                if (format[end] == u'\'') {
                    if (end + 1 < format.size() && format[end + 1] == u'\'') {
                        literal += u'\'';
                        end += 2;
                        continue;
                    }
                    break;
                }
                literal += format[end++];
            }
            if (found == 1 || found == 2)
                between[found - 1] += end == i + 1 ? QStringLiteral("'") : literal;
            i = end + 1;
            continue;
        }
        if (!c.isLetter()) {
            if (found == 1 || found == 2)
                between[found - 1] += c;
            ++i;
            continue;
        }
        qsizetype run = 1;
        while (i + run < format.size() && format[i + run] == c)
            ++run;
        i += run;
        int field = -1;
        if (c == u'd' && run <= 2) {
            field = kDayField;
            flags |= run == 1 ? kDayWithoutZero : 0;
        } else if (c == u'M') {
            field = kMonthField;
            flags |= run == 1 ? kMonthWithoutZero : 0;
        } else if (c == u'y') {
            field = kYearField;
            flags |= run == 2 ? kTwoDigitYear : 0;
        }
        // Weekday names, eras and any field given twice are no part of the numeric layout.
        if (field < 0 || seen[field])
            continue;
        seen[field] = true;
        fields[size_t(found++)] = field;
    }
    if (found < 3)
        return DateLayout();

    DateLayout layout;
    layout.order = fields[0] == kMonthField ? kMonthDayYear
                   : fields[0] == kDayField ? kDayMonthYear
                                            : kYearMonthDay;
    layout.separator = !between[0].isEmpty() ? between[0] : between[1];
    if (layout.separator.isEmpty())
        layout.separator = QStringLiteral("-");
    layout.flags = flags;
    return layout;
}

DateLayout SystemDateLayout()
{
    return DateLayoutFromFormat(QLocale::system().dateFormat(QLocale::ShortFormat));
}

bool IsLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month)
{
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12)
        return 0;
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool IsValidDate(const CalendarDate& date)
{
    return InEditableYears(date.year) && date.day >= 1 && date.day <= DaysInMonth(date.year, date.month);
}

int FieldInOrder(int order, int position)
{
    static const int kSequences[3][3] = {
        {kMonthField, kDayField, kYearField},
        {kDayField, kMonthField, kYearField},
        {kYearField, kMonthField, kDayField},
    };
    const int row = order == kMonthDayYear || order == kDayMonthYear ? order : kYearMonthDay;
    return kSequences[row][std::clamp(position, 0, 2)];
}

int NeighbourField(int order, int field, int step)
{
    for (int position = 0; position < 3; ++position) {
        if (FieldInOrder(order, position) == field)
            return FieldInOrder(order, (position + (step < 0 ? 2 : 1)) % 3);
    }
    return FieldInOrder(order, 0);
}

QString FormatDateText(const CalendarDate& date, const DateLayout& layout)
{
    return FieldText(date, layout, FieldInOrder(layout.order, 0)) + layout.separator +
           FieldText(date, layout, FieldInOrder(layout.order, 1)) + layout.separator +
           FieldText(date, layout, FieldInOrder(layout.order, 2));
}

TextSpan FieldSpanInText(const QString& text, const DateLayout& layout, int field)
{
    const SplitText split = Split(text, layout.separator);
    for (int position = 0; position < split.count; ++position) {
        if (FieldInOrder(layout.order, position) == field)
            return {int(split.starts[size_t(position)]), int(split.pieces[size_t(position)].size())};
    }
    return {int(text.size()), 0};
}

int FieldAtPosition(const QString& text, const DateLayout& layout, int position)
{
    const SplitText split = Split(text, layout.separator);
    int before = 0;
    for (int cut = 0; cut + 1 < split.count; ++cut) {
        if (split.cuts[size_t(cut)] < position)
            ++before;
    }
    return FieldInOrder(layout.order, before);
}

CalendarDate ReadDateText(const QString& text, const DateLayout& layout, const CalendarDate& stored)
{
    const SplitText split = Split(text, layout.separator);
    qint64 values[3] = {stored.day, stored.month, stored.year};
    for (int position = 0; position < split.count; ++position) {
        const QStringView piece = split.pieces[size_t(position)];
        if (piece.isEmpty())
            continue;
        const int field = FieldInOrder(layout.order, position);
        qint64 number = ReadNumber(piece);
        if (field == kYearField) {
            if (number >= 0 && number <= 49)
                number += 2000;
            else if (number >= 50 && number <= 99)
                number += 1900;
        } else if (number == 0) {
            continue;
        }
        values[field] = number;
    }
    for (qint64 value : values) {
        if (value < INT_MIN || value > INT_MAX)
            return stored;
    }
    const CalendarDate read{int(values[kYearField]), int(values[kMonthField]), int(values[kDayField])};
    return IsValidDate(read) ? read : stored;
}

CalendarDate AddDays(const CalendarDate& date, qint64 days)
{
    // Ten thousand years hold fewer than four million days: anything beyond leaves them anyway.
    if (!IsValidDate(date) || days < -4000000 || days > 4000000)
        return date;
    qint64 year = 0;
    CalendarDate result;
    CivilFromDays(DaysFromCivil(date.year, date.month, date.day) + days, &year, &result.month, &result.day);
    if (!InEditableYears(year))
        return date;
    result.year = int(year);
    return result;
}

CalendarDate AddMonths(const CalendarDate& date, int months)
{
    if (!IsValidDate(date))
        return date;
    const qint64 index = qint64(date.year) * 12 + (date.month - 1) + months;
    const qint64 year = index >= 0 ? index / 12 : (index - 11) / 12;
    if (!InEditableYears(year))
        return date;
    return ClampDay({int(year), int(index - year * 12) + 1, date.day});
}

CalendarDate AddYears(const CalendarDate& date, int years)
{
    if (!IsValidDate(date) || !InEditableYears(qint64(date.year) + years))
        return date;
    return ClampDay({date.year + years, date.month, date.day});
}

CalendarDate StepDateField(const CalendarDate& date, int field, int delta)
{
    switch (field) {
    case kDayField:
        return AddDays(date, delta);
    case kMonthField:
        return AddMonths(date, delta);
    case kYearField:
        return AddYears(date, delta);
    default:
        return date;
    }
}

int FirstWeekdayOfMonth(int year, int month)
{
    // 1 January 1970 was a Thursday, the fifth day of a week that starts on Sunday.
    const qint64 days = DaysFromCivil(year, std::clamp(month, 1, 12), 1);
    return int(((days % 7) + 7 + 4) % 7) + 1;
}

void DayCell(int firstWeekday, int day, int* column, int* row)
{
    *column = (firstWeekday - 1 + day - 1) % 7;
    *row = (firstWeekday + day - 2) / 7;
}

int DayAtCell(int year, int month, int column, int row)
{
    if (column < 0 || column > 6 || row < 0 || row > 5)
        return 0;
    const int day = row * 7 + column - (FirstWeekdayOfMonth(year, month) - 1) + 1;
    return day >= 1 && day <= DaysInMonth(year, month) ? day : 0;
}

QString FormatMonthTitle(int year, int month)
{
    struct tm moment = {};
    moment.tm_year = year - 1900;
    moment.tm_mon = std::clamp(month, 1, 12) - 1;
    moment.tm_mday = 1;
    char buffer[260];
    const size_t length = std::strftime(buffer, sizeof buffer, "%B %Y", &moment);
    return QString::fromLocal8Bit(buffer, qsizetype(length));
}

bool UtcDateOfTime(qint64 secondsSince1970, CalendarDate* date)
{
    qint64 days = secondsSince1970 / 86400;
    if (secondsSince1970 % 86400 < 0)
        --days;
    qint64 year = 0;
    CalendarDate result;
    CivilFromDays(days, &year, &result.month, &result.day);
    if (!InEditableYears(year))
        return false;
    result.year = int(year);
    *date = result;
    return true;
}

quint32 NoonUtcTime(const CalendarDate& date)
{
    const int year = std::clamp(date.year, 1970, 2037);
    const int month = std::clamp(date.month, 1, 12);
    const int day = std::clamp(date.day, 1, DaysInMonth(year, month));
    return quint32(DaysFromCivil(year, month, day) * 86400 + 12 * 3600);
}

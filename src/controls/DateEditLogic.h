#pragma once

#include <QString>

// What the date edit and its calendar compute without a window: the short-date layout, showing and
// reading the text, stepping a field, month arithmetic and the calendar's grid.

// One calendar date of the proleptic Gregorian calendar; months and days count from 1.
struct CalendarDate
{
    int year = 1970;
    int month = 1;
    int day = 1;

    bool operator==(const CalendarDate&) const = default;
};

// The fields of a date.
enum DateField
{
    kDayField = 0,
    kMonthField = 1,
    kYearField = 2
};

// The sequence in which the fields are shown.
enum DateOrder
{
    kMonthDayYear = 0,
    kDayMonthYear = 1,
    kYearMonthDay = 2
};

// Format flags of the short-date layout.
constexpr int kDayWithoutZero = 1;
constexpr int kMonthWithoutZero = 2;
constexpr int kTwoDigitYear = 4;

// The years a date edit holds: every year that shows in at most four digits.
constexpr int kFirstEditableYear = 1;
constexpr int kLastEditableYear = 9999;

struct DateLayout
{
    int order = kYearMonthDay;
    QString separator = QStringLiteral("-");
    int flags = 0;

    bool operator==(const DateLayout&) const = default;
};

// The layout of a Qt date format such as "dd.MM.yy" or "M/d/yy": the sequence of day, month and
// year, the text between the first two of them, and the digits each shows. A month shown by name
// ("MMM") is shown as a two-digit number. A format without all three fields gives the default
// layout (year-month-day with "-").
DateLayout DateLayoutFromFormat(const QString& format);
// The layout of the user's locale (its short date format).
DateLayout SystemDateLayout();

bool IsLeapYear(int year);
// 0 for a month outside 1 to 12.
int DaysInMonth(int year, int month);
// A real date in the years a date edit holds.
bool IsValidDate(const CalendarDate& date);

// The field shown at position 0, 1 or 2 of an order.
int FieldInOrder(int order, int position);
// The field shown before (step -1) or after (step 1) field, wrapping round.
int NeighbourField(int order, int field, int step);

// The text a date edit shows for date.
QString FormatDateText(const CalendarDate& date, const DateLayout& layout);

struct TextSpan
{
    int start = 0;
    int length = 0;
};
// Where field stands in a text, shown or typed: its piece between the separators (empty at the end
// of the text when the text has too few pieces).
TextSpan FieldSpanInText(const QString& text, const DateLayout& layout, int field);
// The field a caret at position stands in: the one after as many splits as lie before it.
int FieldAtPosition(const QString& text, const DateLayout& layout, int position);

// The date a typed text gives, starting from stored: each of up to three pieces between separator
// characters sets its field when it holds a number that fits; a text that gives no real date
// leaves stored as it is. Two-digit years 0 to 49 are 2000 to 2049, 50 to 99 are 1950 to 1999.
CalendarDate ReadDateText(const QString& text, const DateLayout& layout, const CalendarDate& stored);

// The date days later (earlier when negative), across month and year ends; date itself when the
// result would leave the years a date edit holds.
CalendarDate AddDays(const CalendarDate& date, qint64 days);
// The same day months later, clamped to the length of the new month.
CalendarDate AddMonths(const CalendarDate& date, int months);
// The same day years later, clamped to the length of the month (29 February becomes 28 February).
CalendarDate AddYears(const CalendarDate& date, int years);
// Adds delta to one field as the arrow keys do.
CalendarDate StepDateField(const CalendarDate& date, int field, int delta);

// The weekday of the first of a month: 1 for Sunday to 7 for Saturday.
int FirstWeekdayOfMonth(int year, int month);
// The column (0 Sunday to 6 Saturday) and row (0 to 5) of a day in the calendar's grid.
void DayCell(int firstWeekday, int day, int* column, int* row);
// The day of year/month in a grid cell, or 0 when the cell holds none.
int DayAtCell(int year, int month, int column, int row);
// The calendar's title: the locale's full month name and the four-digit year ("%B %Y").
QString FormatMonthTitle(int year, int month);

// The calendar date of an instant (seconds since 1970) in UTC; false when it falls outside the
// years a date edit holds.
bool UtcDateOfTime(qint64 secondsSince1970, CalendarDate* date);
// The time a chosen date is stored as: 12:00 UTC of it, in seconds since 1970, its year clamped to
// 1970 to 2037 and its day to that month's length. Every zone from UTC-11 to UTC+11 reads that
// instant as the same calendar day, whatever its daylight saving rules.
quint32 NoonUtcTime(const CalendarDate& date);

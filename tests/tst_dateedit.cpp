// The date edit and its calendar. Every case sets its own date, so none depends on today's.

#include "controls/CCalendarWnd.h"
#include "controls/CDateEdit.h"
#include "controls/DateEditLogic.h"
#include "controls/DialogUnits.h"
#include "explorer/ListFormatting.h"
#include "ZoneSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDate>
#include <QMouseEvent>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>

#include <climits>
#include <cstdlib>
#include <ctime>
#include <tuple>

using namespace Qt::StringLiterals;

namespace {

const DateLayout kDmy{kDayMonthYear, u"."_s, 0};
const DateLayout kMdyShort{kMonthDayYear, u"/"_s, kDayWithoutZero | kMonthWithoutZero | kTwoDigitYear};
const DateLayout kYmd{kYearMonthDay, u"-"_s, 0};
const DateLayout kYmdSpaced{kYearMonthDay, u". "_s, 0};

QString Text(const CalendarDate& date)
{
    return u"%1-%2-%3"_s.arg(date.year).arg(date.month).arg(date.day);
}

// A shown window holding one date edit of 200 pixels in a layout, on a date.
struct EditWindow
{
    QWidget host;
    CDateEdit* edit = new CDateEdit(&host);
    bool exposed = false;

    EditWindow(const DateLayout& layout, const CalendarDate& date)
    {
        host.resize(400, 300);
        edit->setGeometry(10, 10, 200, 28);
        host.show();
        exposed = QTest::qWaitForWindowExposed(&host);
        edit->SetLayout(layout);
        edit->SetDate(date.year, date.month, date.day);
    }
};

} // namespace

namespace QTest {
template<> char* toString(const CalendarDate& date)
{
    return QTest::toString(Text(date));
}
} // namespace QTest

class TestDateEdit : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { ZoneSupport::RequireZoneInEffect(); }

    void layoutsAndSpans()
    {
        const std::pair<const char*, DateLayout> formats[] = {
            {"M/d/yy", kMdyShort},
            {"dd.MM.yy", {kDayMonthYear, u"."_s, kTwoDigitYear}},
            {"yyyy. MM. dd.", kYmdSpaced},
            {"d MMM yyyy", {kDayMonthYear, u" "_s, kDayWithoutZero}}, // the C locale: a month name
            {"d.MM.yy 'г'.", {kDayMonthYear, u"."_s, kDayWithoutZero | kTwoDigitYear}},
            {"ddd dd-MM-yyyy", {kDayMonthYear, u"-"_s, 0}},
            {"yyyyMMdd", kYmd},
            {"HH:mm", kYmd},
        };
        for (const auto& [format, layout] : formats)
            QVERIFY2(DateLayoutFromFormat(QString::fromUtf8(format)) == layout, format);

        const CalendarDate april{1997, 4, 3};
        QCOMPARE(FormatDateText(april, kDmy), u"03.04.1997"_s);
        QCOMPARE(FormatDateText(april, kMdyShort), u"4/3/97"_s);
        QCOMPARE(FormatDateText(april, kYmdSpaced), u"1997. 04. 03"_s);
        QCOMPARE(FormatDateText({5, 1, 1}, kYmd), u"0005-01-01"_s);

        // The field under the caret and the span selected for it, in shown and typed texts.
        const std::tuple<DateLayout, QString, int, int, int, int> cases[] = {
            {kDmy, u"03.04.1997"_s, 2, kDayField, 0, 2},
            {kDmy, u"03.04.1997"_s, 3, kMonthField, 3, 2},
            {kMdyShort, u"4/3/97"_s, 3, kDayField, 2, 1},
            {kYmdSpaced, u"1997. 04. 03"_s, 7, kMonthField, 6, 2},
            {kYmdSpaced, u"1997. 04. 03"_s, 12, kDayField, 10, 2},
            {kDmy, u"3.4.97"_s, 6, kYearField, 4, 2},
            {kDmy, u"3"_s, 1, kDayField, 0, 1}};
        for (const auto& [layout, text, position, field, start, length] : cases) {
            const QByteArray where = text.toUtf8() + " at " + QByteArray::number(position);
            QVERIFY2(FieldAtPosition(text, layout, position) == field, where.constData());
            const TextSpan span = FieldSpanInText(text, layout, field);
            QVERIFY2(span.start == start && span.length == length, where.constData());
        }
        // A field missing from a short text is an empty span at its end.
        const TextSpan missing = FieldSpanInText(u"3"_s, kDmy, kYearField);
        QVERIFY(missing.start == 1 && missing.length == 0);
    }

    void readTextAndStep()
    {
        const CalendarDate stored{1996, 1, 15};
        const std::tuple<DateLayout, QString, CalendarDate> reads[] = {
            {kDmy, u"3.4.97"_s, {1997, 4, 3}},
            {kDmy, u"3.4.5"_s, {2005, 4, 3}},
            {kDmy, u"3.4.49"_s, {2049, 4, 3}},
            {kDmy, u"3.4.50"_s, {1950, 4, 3}},
            {kDmy, u"3.4.100"_s, {100, 4, 3}},
            {kDmy, u"0.4.97"_s, {1997, 4, 15}}, // a zero day keeps the stored one
            {kDmy, u".4.97"_s, {1997, 4, 15}},  // and so does an empty one
            {kDmy, u"3.0.97"_s, {1997, 1, 3}},
            {kDmy, u"31.4.97"_s, stored},
            {kDmy, u"29.2.2001"_s, stored},
            {kDmy, u"29.2.2000"_s, {2000, 2, 29}},
            {kDmy, u"-3.4.97"_s, stored},
            {kDmy, u"3.4.99999999999999999999999"_s, stored},
            {kDmy, u"3.4.10000"_s, stored},
            {kDmy, u" +3.4.1997xyz"_s, {1997, 4, 3}},
            {kDmy, u"3.4"_s, {1996, 4, 3}},
            {kDmy, QString(), stored},
            {kDmy, u"3/4/97"_s, {1996, 1, 3}},
            {kDmy, u"3.4.97.12"_s, {1997, 4, 3}},
            {kMdyShort, u"4/3/97"_s, {1997, 4, 3}},
            {kYmd, u"97-4-3"_s, {1997, 4, 3}},
            {kYmdSpaced, u"2024. 3. 5"_s, {2024, 3, 5}},
            {kYmdSpaced, u"2024.3.5"_s, {2024, 3, 5}},
        };
        for (const auto& [layout, text, expected] : reads) {
            const CalendarDate read = ReadDateText(text, layout, stored);
            QVERIFY2(read == expected, qPrintable(text + u" gave "_s + Text(read)));
        }

        const std::tuple<CalendarDate, int, int, CalendarDate> steps[] = {
            {{1999, 12, 31}, kDayField, 1, {2000, 1, 1}},     {{2000, 3, 1}, kDayField, -1, {2000, 2, 29}},
            {{1900, 3, 1}, kDayField, -1, {1900, 2, 28}},     {{2001, 1, 31}, kMonthField, 1, {2001, 2, 28}},
            {{2004, 3, 31}, kMonthField, -1, {2004, 2, 29}},  {{1999, 12, 31}, kMonthField, 1, {2000, 1, 31}},
            {{2000, 1, 15}, kMonthField, -1, {1999, 12, 15}}, {{2000, 2, 29}, kYearField, -1, {1999, 2, 28}},
            {{9999, 12, 31}, kDayField, 1, {9999, 12, 31}},   {{1, 1, 1}, kMonthField, -1, {1, 1, 1}},
            {{9999, 5, 5}, kYearField, 1, {9999, 5, 5}},
        };
        for (const auto& [date, field, delta, expected] : steps)
            QCOMPARE(StepDateField(date, field, delta), expected);
    }

    void timeValues()
    {
        const std::tuple<qint64, bool, CalendarDate> utc[] = {
            {0, true, {1970, 1, 1}},
            {-1, true, {1969, 12, 31}},
            {951782400 + 86399, true, {2000, 2, 29}},
            {4294967295LL, true, {2106, 2, 7}},
            {253402300799LL, true, {9999, 12, 31}},
            {253402300800LL, false, {}},
            {INT64_MAX, false, {}},
            {INT64_MIN, false, {}},
        };
        for (const auto& [seconds, valid, expected] : utc) {
            CalendarDate date{1, 2, 3};
            QCOMPARE(UtcDateOfTime(seconds, &date), valid);
            QCOMPARE(date, (valid ? expected : CalendarDate{1, 2, 3}));
        }

        // A chosen date is stored as 12:00 UTC, its year held to 1970..2037 and its day to the month.
        QCOMPARE(NoonUtcTime({1997, 4, 3}), 860068800u);
        QCOMPARE(NoonUtcTime({1970, 1, 1}), 43200u);
        QCOMPARE(NoonUtcTime({1965, 6, 10}), 13867200u);  // 10 June 1970
        QCOMPARE(NoonUtcTime({2040, 2, 29}), 2119435200u); // 28 February 2037
        QCOMPARE(NoonUtcTime({9999, 12, 31}), 2145873600u);

        CDateEdit edit;
        edit.SetLayout(kDmy);
        edit.SetTime(951782400 + 86399);
        QCOMPARE(edit.text(), u"29.02.2000"_s);
        edit.SetTime(INT64_MAX);
        edit.SetTime(INT64_MIN);
        QCOMPARE(edit.text(), u"29.02.2000"_s);
        QCOMPARE(edit.GetTime(), 951782400u + 86399); // the time set last that showed, untouched

        // Get reads what was typed; an invalid date is never stored.
        edit.setText(u"3.4.97"_s);
        int year = 0, month = 0, day = 0;
        edit.GetDate(&year, &month, &day);
        QVERIFY(year == 1997 && month == 4 && day == 3);
        QCOMPARE(edit.GetTime(), 860068800u);
        edit.SetDate(2001, 2, 29);
        edit.GetDate(&year, &month, &day);
        QVERIFY(year == 1997 && month == 4 && day == 3);
        edit.GetDate(nullptr, nullptr, nullptr);
    }

    // What a date field gives back for a stored time: the time itself while the day shown is the one
    // it showed, 12:00 UTC of the day once the user chose another. The tests run in UTC, Berlin and
    // New York: none of these may depend on the zone.
    void storedTimes_data()
    {
        using ZoneSupport::Utc;
        QTest::addColumn<qint64>("stored");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QStringList>("typed"); // one after the other
        QTest::addColumn<quint32>("given");

        const QStringList untouched;
        QTest::newRow("never downloaded") << qint64(0) << u"01.01.1970"_s << untouched << 0u;
        QTest::newRow("late evening, to the second")
            << Utc(2001, 9, 9, 23, 30, 59) << u"09.09.2001"_s << untouched << quint32(Utc(2001, 9, 9, 23, 30, 59));
        QTest::newRow("the hour Berlin skips")
            << Utc(2024, 3, 31, 1, 30) << u"31.03.2024"_s << untouched << quint32(Utc(2024, 3, 31, 1, 30));
        QTest::newRow("the hour New York skips")
            << Utc(2024, 3, 10, 7, 15) << u"10.03.2024"_s << untouched << quint32(Utc(2024, 3, 10, 7, 15));
        QTest::newRow("the last second a record holds")
            << qint64(4294967295LL) << u"07.02.2106"_s << untouched << 4294967295u;
        QTest::newRow("typed again as it was")
            << Utc(2024, 3, 31, 1, 30) << u"31.03.2024"_s << QStringList{u"1.4.2024"_s, u"31.3.24"_s}
            << quint32(Utc(2024, 3, 31, 1, 30));
        QTest::newRow("day after Berlin's change")
            << Utc(2024, 3, 31, 1, 30) << u"31.03.2024"_s << QStringList{u"1.4.2024"_s} << quint32(Utc(2024, 4, 1, 12));
        QTest::newRow("never downloaded, then a day chosen")
            << qint64(0) << u"01.01.1970"_s << QStringList{u"5.3.1999"_s} << quint32(Utc(1999, 3, 5, 12));
        QTest::newRow("before 1970: no time to keep")
            << qint64(-1) << u"31.12.1969"_s << untouched << quint32(Utc(1970, 12, 31, 12));
    }
    void storedTimes()
    {
        QFETCH(qint64, stored);
        QFETCH(QStringList, typed);
        QFETCH(quint32, given);
        CDateEdit edit;
        edit.SetLayout(kDmy);
        edit.SetTime(stored);
        QTEST(edit.text(), "shown");
        for (const QString& text : typed) {
            edit.setText(text);
            int year = 0;
            edit.GetDate(&year, nullptr, nullptr); // reads the text, as leaving the field does
        }
        QCOMPARE(edit.GetTime(), given);
        // Taking the value again, as a second OK does, gives the same.
        QCOMPARE(edit.GetTime(), given);
    }

    // A day chosen on either side of a change of the clocks is read back as that day here, whatever
    // the zone, by the field and by the file list.
    void chosenDaysReadAlikeInEveryZone()
    {
        const CalendarDate days[] = {
            {2024, 3, 30}, {2024, 3, 31}, {2024, 4, 1},  {2024, 10, 26}, {2024, 10, 27}, {2024, 10, 28},
            {2024, 3, 9},  {2024, 3, 10}, {2024, 3, 11}, {2024, 11, 2},  {2024, 11, 3},  {2024, 11, 4},
            {1970, 1, 1},  {2037, 12, 31},
        };
        for (const CalendarDate& day : days) {
            const quint32 stored = NoonUtcTime(day);
            CalendarDate read;
            QVERIFY(UtcDateOfTime(stored, &read));
            QCOMPARE(read, day);
            const time_t seconds = time_t(stored);
            struct tm local;
            QVERIFY(localtime_r(&seconds, &local));
            QCOMPARE((CalendarDate{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday}), day);
            CDateEdit edit;
            edit.SetLayout(kYmd);
            edit.SetTime(stored);
            QCOMPARE(edit.text(), FormatDateText(day, kYmd));
            QCOMPARE(FormatListDate(stored), QDate(day.year, day.month, day.day).toString(u"MMMM dd, yyyy"_s));
        }
    }

    void weekdaysAndGrid()
    {
        // Every month of 1600 to 2400 agrees with Qt's calendar in its first weekday and its length, and
        // every day has one cell of six rows.
        for (int year = 1600; year <= 2400; ++year) {
            for (int month = 1; month <= 12; ++month) {
                const int first = FirstWeekdayOfMonth(year, month);
                QCOMPARE(first, QDate(year, month, 1).dayOfWeek() % 7 + 1);
                QCOMPARE(DaysInMonth(year, month), QDate(year, month, 1).daysInMonth());
                for (int day = 1; day <= DaysInMonth(year, month); ++day) {
                    int column = -1, row = -1;
                    DayCell(first, day, &column, &row);
                    QVERIFY(column >= 0 && column < 7 && row >= 0 && row < 6);
                    QCOMPARE(DayAtCell(year, month, column, row), day);
                }
            }
        }
        QCOMPARE(DayAtCell(1997, 4, 1, 0), 0); // before Tuesday the 1st
        QCOMPARE(DayAtCell(1997, 4, 4, 4), 0); // after the 30th
        QCOMPARE(DayAtCell(1997, 4, 7, 0), 0);
        QCOMPARE(FormatMonthTitle(2038, 12), u"December 2038"_s);
    }

    void editKeys()
    {
        // A text as typed, the caret in it, one key: the text shown after it and its selected field.
        const Qt::KeyboardModifiers none = Qt::NoModifier, keypad = Qt::KeypadModifier,
                                    ctrl = Qt::ControlModifier;
        const std::tuple<DateLayout, QString, int, Qt::Key, Qt::KeyboardModifiers, QString, QString> cases[] = {
            {kDmy, u"28.01.1997"_s, 1, Qt::Key_Down, none, u"27.01.1997"_s, u"27"_s},
            {kDmy, u"31.01.1997"_s, 0, Qt::Key_Up, none, u"01.02.1997"_s, u"01"_s},
            {kDmy, u"31.01.2000"_s, 4, Qt::Key_Plus, keypad, u"29.02.2000"_s, u"02"_s},
            {kMdyShort, u"2/29/00"_s, 6, Qt::Key_Minus, keypad, u"2/28/99"_s, u"99"_s},
            {kDmy, u"3.4.97"_s, 6, Qt::Key_Up, none, u"03.04.1998"_s, u"1998"_s},
            {kYmd, u"1997-03-01"_s, 10, Qt::Key_Down, none, u"1997-02-28"_s, u"28"_s},
            {kDmy, u"29.02.2000"_s, 0, Qt::Key_PageUp, none, u"28.02.1999"_s, u"1999"_s},
            {kDmy, u"03.04.1997"_s, 8, Qt::Key_Right, ctrl, u"03.04.1997"_s, u"03"_s},
            {kMdyShort, u"4/3/97"_s, 0, Qt::Key_Left, ctrl, u"4/3/97"_s, u"97"_s},
            {kDmy, u"3.4.97"_s, 0, Qt::Key_Right, ctrl, u"3.4.97"_s, u"4"_s},
            {kDmy, u"03.04.1997"_s, 10, Qt::Key_Minus, none, u"03.04.1997"_s, QString()},
            {kYmd, u"1997"_s, 4, Qt::Key_Minus, none, u"1997-"_s, QString()}, // the separator is typed
        };
        for (const auto& [layout, text, caret, key, modifiers, shown, selected] : cases) {
            CDateEdit edit;
            edit.SetLayout(layout);
            edit.SetDate(1996, 1, 15);
            edit.setText(text);
            edit.setCursorPosition(caret);
            QTest::keyClick(&edit, key, modifiers);
            QCOMPARE(edit.text(), shown);
            QCOMPARE(edit.selectedText(), selected);
        }
    }

    void editClickAndFocus()
    {
        EditWindow window(kDmy, {1997, 4, 3});
        QVERIFY(window.exposed);
        CDateEdit* edit = window.edit;
        QCOMPARE(edit->selectedText(), u"03"_s);

        // A click on the month selects it, and it stays the field that the keys step.
        int x = 0;
        while (x < edit->width() && edit->cursorPositionAt(QPoint(x, 14)) < 4)
            ++x;
        QTest::mouseClick(edit, Qt::LeftButton, {}, QPoint(x, 14));
        QCOMPARE(edit->GetCurrentField(), int(kMonthField));
        QCOMPARE(edit->selectedText(), u"04"_s);

        // Losing the focus reads and shows what was typed; a date that does not exist is put back.
        edit->setText(u"5.6.7"_s);
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(edit, &out);
        QCOMPARE(edit->text(), u"05.06.2007"_s);
        edit->setText(u"31.6.7"_s);
        QApplication::sendEvent(edit, &out);
        QCOMPARE(edit->text(), u"05.06.2007"_s);
        QFocusEvent in(QEvent::FocusIn, Qt::TabFocusReason);
        QApplication::sendEvent(edit, &in);
        QCOMPARE(edit->selectedText(), u"06"_s);

        // The locale's layout comes back when the locale changes (C: "d MMM yyyy").
        QEvent change(QEvent::LocaleChange);
        QApplication::sendEvent(edit, &change);
        QCOMPARE(edit->GetLayout(), SystemDateLayout());
        QCOMPARE(edit->text(), u"5 06 2007"_s);
    }

    void dropButton()
    {
        EditWindow window(kDmy, {1997, 4, 3});
        QVERIFY(window.exposed);
        CDateEdit* edit = window.edit;

        QAbstractButton* button = edit->GetDropButton();
        QVERIFY(button && button->isVisible());
        QCOMPARE(button->width(), ScaleDialogPixels(18, edit->fontMetrics().height()));
        QVERIFY(button->geometry().right() < edit->width());
        QVERIFY(!button->accessibleName().isEmpty());
        edit->setEnabled(false);
        QVERIFY(!button->isEnabled());
        edit->setEnabled(true);

        edit->setText(u"9.5.97"_s);
        QTest::mouseClick(button, Qt::LeftButton);
        QPointer<CCalendarWnd> calendar = edit->GetCalendar();
        QVERIFY(calendar && calendar->isVisible());
        QCOMPARE(calendar->GetShownMonth(), (CalendarDate{1997, 5, 9}));
        QCOMPARE(calendar->GetMarkedDate(), (CalendarDate{1997, 5, 9}));
        QCOMPARE(calendar->size(), calendar->DefaultSize());
        const QPoint below = button->mapToGlobal(QPoint(-button->width() / 2, button->height() + 1));
        QCOMPARE(calendar->geometry().topLeft(), below);
        calendar->Destroy();
        QTRY_VERIFY(!calendar);
        QVERIFY(!edit->GetCalendar());

        // Alt+Down drops the calendar from the keyboard; a field too narrow for the button never does.
        QTest::keyClick(edit, Qt::Key_Down, Qt::AltModifier);
        QVERIFY(edit->GetCalendar());
        delete edit; // with the calendar open
        auto* narrow = new CDateEdit(&window.host);
        narrow->setGeometry(10, 10, 10, 28);
        narrow->show();
        QVERIFY(!narrow->GetDropButton());
        QTest::keyClick(narrow, Qt::Key_Down, Qt::AltModifier);
        QTest::keyClick(narrow, Qt::Key_F4);
        QVERIFY(!narrow->GetCalendar());
        narrow->resize(200, 28);
        QVERIFY(narrow->GetDropButton());
    }

    void calendarKeys()
    {
        const std::tuple<CalendarDate, Qt::Key, Qt::KeyboardModifiers, CalendarDate> cases[] = {
            {{1997, 1, 28}, Qt::Key_Down, Qt::NoModifier, {1997, 2, 4}},
            {{2001, 3, 3}, Qt::Key_Up, Qt::NoModifier, {2001, 2, 24}},
            {{2000, 2, 29}, Qt::Key_PageUp, Qt::NoModifier, {1999, 2, 28}},
            {{1999, 6, 30}, Qt::Key_PageDown, Qt::NoModifier, {2000, 6, 30}},
            {{2000, 1, 1}, Qt::Key_Left, Qt::NoModifier, {1999, 12, 31}},
            {{2000, 2, 28}, Qt::Key_Right, Qt::NoModifier, {2000, 2, 29}},
            {{2001, 1, 31}, Qt::Key_Right, Qt::ControlModifier, {2001, 2, 28}},
            {{2001, 1, 15}, Qt::Key_Left, Qt::ControlModifier, {2000, 12, 15}},
        };
        EditWindow window(kDmy, {1997, 4, 3});
        QVERIFY(window.exposed);
        CDateEdit* edit = window.edit;
        for (const auto& [start, key, modifiers, expected] : cases) {
            edit->SetDate(start.year, start.month, start.day);
            edit->GetDropButton()->click();
            QPointer<CCalendarWnd> calendar = edit->GetCalendar();
            QVERIFY(calendar);
            QTest::keyClick(calendar, key, modifiers);
            QCOMPARE(calendar->GetShownMonth(), expected);
            QCOMPARE(calendar->GetMarkedDate(), start);
            QCOMPARE(edit->text(), FormatDateText(start, kDmy)); // nothing chosen yet
            QTest::keyClick(calendar, Qt::Key_Return);
            QCOMPARE(edit->text(), FormatDateText(expected, kDmy));
            QTRY_VERIFY(!calendar);
        }

        // Escape leaves the date as it was and gives the focus back to the field.
        window.host.setFocus();
        edit->GetDropButton()->click();
        QPointer<CCalendarWnd> calendar = edit->GetCalendar();
        QVERIFY(calendar);
        QTest::keyClick(calendar, Qt::Key_Right);
        QTest::keyClick(calendar, Qt::Key_Escape);
        QTRY_VERIFY(!calendar);
        QCOMPARE(edit->text(), FormatDateText(std::get<3>(cases[std::size(cases) - 1]), kDmy));
        QCOMPARE(window.host.focusWidget(), edit);
    }

    void calendarClicks()
    {
        QWidget host;
        host.resize(400, 400);
        QPointer<CCalendarWnd> calendar = new CCalendarWnd({1997, 4, 3}, {1997, 4, 3}, &host);
        QSignalSpy chosen(calendar.data(), &CCalendarWnd::DateChosen);
        QSignalSpy closing(calendar.data(), &CCalendarWnd::Closing);
        calendar->Create(QPoint(5, 5), -1, -1, false);
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));

        // April 1997 began on a Tuesday: the 1st stands in the third column of the first row.
        const QRect first = calendar->DayRect(1);
        QCOMPARE(first.topLeft(), QPoint(4 + 2 * first.width(), 2 * first.height() + 11));
        QCOMPARE(calendar->DayRect(6).topLeft(), QPoint(4, first.bottom() + 1));
        QCOMPARE(calendar->size(), QSize(7 * first.width() + 12, 8 * first.height() + 19));
        QVERIFY(calendar->DayRect(31).isNull());

        QTest::mouseClick(calendar, Qt::LeftButton, {}, calendar->ForwardButtonRect().center());
        QCOMPARE(calendar->GetShownMonth(), (CalendarDate{1997, 5, 3}));
        QTest::mouseClick(calendar, Qt::LeftButton, {}, calendar->BackButtonRect().center());
        QCOMPARE(chosen.count(), 0);
        QTest::mouseClick(calendar, Qt::LeftButton, {}, calendar->DayRect(17).center());
        QCOMPARE(calendar->GetShownMonth(), (CalendarDate{1997, 4, 17}));
        QCOMPARE(chosen.count(), 1);
        QTest::mouseClick(calendar, Qt::LeftButton, {}, QPoint(first.left() - 2, first.center().y()));
        QCOMPARE(chosen.count(), 1); // beside the days

        // Held on ">>", the month steps with each 100 ms tick after the tenth, and once more on release.
        auto* timer = calendar->findChild<QTimer*>();
        QVERIFY(timer);
        const QPoint forward = calendar->ForwardButtonRect().center();
        QTest::mousePress(calendar, Qt::LeftButton, {}, forward);
        QVERIFY(timer->isActive());
        for (int tick = 0; tick < 10; ++tick)
            QMetaObject::invokeMethod(calendar, "OnRepeatTimer");
        QCOMPARE(calendar->GetShownMonth().month, 4);
        QMetaObject::invokeMethod(calendar, "OnRepeatTimer");
        QMetaObject::invokeMethod(calendar, "OnRepeatTimer");
        QCOMPARE(calendar->GetShownMonth(), (CalendarDate{1997, 6, 17}));
        QTest::mouseRelease(calendar, Qt::LeftButton, {}, forward);
        QVERIFY(!timer->isActive());
        QCOMPARE(calendar->GetShownMonth(), (CalendarDate{1997, 7, 17}));

        // Pressed on "<<" and released away from it: ticks off the button and the release do nothing.
        QTest::mousePress(calendar, Qt::LeftButton, {}, calendar->BackButtonRect().center());
        const QPoint away = calendar->DayRect(20).center();
        QMouseEvent move(QEvent::MouseMove, away, calendar->mapToGlobal(away), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(calendar, &move);
        for (int tick = 0; tick < 20; ++tick)
            QMetaObject::invokeMethod(calendar, "OnRepeatTimer");
        QTest::mouseRelease(calendar, Qt::LeftButton, {}, away);
        QCOMPARE(calendar->GetShownMonth(), (CalendarDate{1997, 7, 17}));

        // Keys are ignored while the pointer is held.
        QTest::mousePress(calendar, Qt::LeftButton, {}, calendar->DayRect(10).center());
        QTest::keyClick(calendar, Qt::Key_Right);
        QCOMPARE(calendar->GetShownMonth(), (CalendarDate{1997, 7, 10}));
        QTest::mouseRelease(calendar, Qt::LeftButton, {}, calendar->DayRect(10).center());
        QCOMPARE(chosen.count(), 2);

        // The focus going elsewhere closes it, once, and it deletes itself.
        QFocusEvent out(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
        QApplication::sendEvent(calendar, &out);
        QCOMPARE(closing.count(), 1);
        QVERIFY(!calendar->isVisible());
        QTest::keyClick(calendar, Qt::Key_Escape);
        QCOMPARE(closing.count(), 1);
        QTRY_VERIFY(!calendar);
    }
};

QTEST_MAIN(TestDateEdit)
#include "tst_dateedit.moc"

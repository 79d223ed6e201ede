#pragma once

#include "controls/DateEditLogic.h"

#include <QLineEdit>
#include <QPointer>

#include <optional>

class CCalendarWnd;
class CDateDropButton;
class QAbstractButton;

// A text field that shows one date in the user's short-date layout, steps the day, month or year
// under the caret with the arrow keys, and drops down a month calendar from its small button.
class CDateEdit : public QLineEdit
{
    Q_OBJECT

public:
    explicit CDateEdit(QWidget* parent = nullptr);
    ~CDateEdit() override;

    // Stores and shows a valid date; an invalid one is ignored.
    void SetDate(int year, int month, int day);
    // Shows the calendar date of that instant in UTC (seconds since 1970).
    void SetTime(qint64 secondsSince1970);
    // Reads the text first, then gives the date.
    void GetDate(int* year, int* month, int* day);
    // Reads the text first, then gives the time to store: the very time last set when the field
    // still shows its date (a stored time survives being looked at, to the second), else 12:00 UTC
    // of the date shown, its year clamped to 1970 to 2037.
    quint32 GetTime();

    // The layout follows the user's locale, read again when the locale changes; tests set their own.
    void SetLayout(const DateLayout& layout);
    const DateLayout& GetLayout() const { return m_layout; }
    // The field (kDayField, kMonthField or kYearField) that the keys step and the focus selects.
    int GetCurrentField() const { return m_nField; }
    // The drop button, or null while the field is too narrow to give room for one.
    QAbstractButton* GetDropButton() const;
    // The calendar while it is dropped down.
    CCalendarWnd* GetCalendar() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void ShowDate();
    void SelectField();
    void ReadText();
    void TakeFieldAtCaret();
    void StepField(int field, int delta);
    void PlaceDropButton();
    void DropDown();
    void OnCalendarChosen(CCalendarWnd* calendar);
    void OnCalendarClosing(CCalendarWnd* calendar);

    CalendarDate m_date;
    // The time SetTime was last given, when it fits a stored time, and the date it showed.
    std::optional<quint32> m_setTime;
    CalendarDate m_setDate;
    DateLayout m_layout;
    int m_nField = kDayField;
    bool m_bHasButton = true;
    CDateDropButton* m_pButton = nullptr;
    QPointer<CCalendarWnd> m_pCalendar;
    // A click selects its field; small moves of the pointer before release must not undo that.
    bool m_bFieldClick = false;
    QPoint m_clickPos;
};

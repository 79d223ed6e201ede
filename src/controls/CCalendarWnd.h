#pragma once

#include "controls/DateEditLogic.h"

#include <QFont>
#include <QPointer>
#include <QTimer>
#include <QWidget>

// The month calendar that a date edit drops down: a title with "<<" and ">>" to step the month,
// the day names and a grid of six weeks. The shown month's day is highlighted; the date the
// calendar was opened with is drawn in bold. It deletes itself once it is closed.
class CCalendarWnd : public QWidget
{
    Q_OBJECT

public:
    // A calendar on the month of shown, highlighting its day. owner gets the focus back when the
    // calendar goes, and is the parent of a calendar that is not a pop-up.
    CCalendarWnd(const CalendarDate& shown, const CalendarDate& marked, QWidget* owner);
    ~CCalendarWnd() override;

    // Places the calendar at topLeft (global for a pop-up, else in the owner's coordinates) with a
    // width and height of its own or, for -1, the size that fits the grid; shows it and gives it
    // the focus.
    void Create(const QPoint& topLeft, int width, int height, bool popup);
    // Closes the calendar without choosing: the owner is told through Closing.
    void Destroy();

    CalendarDate GetShownMonth() const { return m_shown; }
    CalendarDate GetMarkedDate() const { return m_marked; }
    QSize DefaultSize() const;
    // Where a day of the shown month stands (empty for none), and the two month buttons.
    QRect DayRect(int day) const;
    QRect BackButtonRect() const;
    QRect ForwardButtonRect() const;

signals:
    // The user chose the shown month's day (a click on a day, or Enter).
    void DateChosen(CCalendarWnd* calendar);
    // The calendar is going away; it is deleted once control returns to the event loop.
    void Closing(CCalendarWnd* calendar);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private slots:
    void OnRepeatTimer();

private:
    enum PressedButton
    {
        kNoButton,
        kBackButton,
        kForwardButton
    };

    void UpdateMetrics();
    void ShowDate(const CalendarDate& date);
    void TrackDay(const QPoint& pos);
    int DayAt(const QPoint& pos) const;
    QRect PressedButtonRect() const;
    void DrawButton(QPainter& painter, const QRect& rect, const QString& text, bool pushed);

    CalendarDate m_shown;
    CalendarDate m_marked;
    QPointer<QWidget> m_pOwner;
    QFont m_normalFont;
    QFont m_boldFont;
    int m_cw = 0; // cell width
    int m_ch = 0; // cell (text line) height
    bool m_bCaptured = false;
    bool m_bTrackingDays = false;
    PressedButton m_pressed = kNoButton;
    bool m_bOverButton = false;
    int m_nTicks = 0;
    QTimer m_repeatTimer;
    bool m_bDestroying = false;
};

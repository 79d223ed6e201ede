#include "controls/CDateEdit.h"

#include "controls/CCalendarWnd.h"
#include "controls/DialogUnits.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDate>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStyleOptionButton>
#include <QStylePainter>

#include <limits>

// The small push button at the right end of a date edit, with a calendar picture.
class CDateDropButton : public QAbstractButton
{
public:
    explicit CDateDropButton(QWidget* parent) : QAbstractButton(parent)
    {
        setText(QStringLiteral(".."));
        setAccessibleName(CDateEdit::tr("Open calendar"));
        setFocusPolicy(Qt::NoFocus);
        setCursor(Qt::ArrowCursor);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QStylePainter painter(this);
        QStyleOptionButton option;
        option.initFrom(this);
        option.state &= ~QStyle::State_HasFocus;
        option.state |= isDown() ? QStyle::State_Sunken : QStyle::State_Raised;
        painter.drawControl(QStyle::CE_PushButtonBevel, option);

        // A small page of a calendar: a white square with a black frame crossed by dark blue
        // lines; disabled, the embossed outline of a square.
        const int side = qMax(4, qMin(width(), height()) - 8) & ~1;
        QRect page((width() - side) / 2, (height() - side) / 2, side, side);
        if (isDown())
            page.translate(1, 1);
        if (isEnabled()) {
            painter.fillRect(page, Qt::white);
            painter.setPen(Qt::darkBlue);
            for (int i = 1; i < 3; ++i) {
                const int x = page.left() + page.width() * i / 3;
                const int y = page.top() + page.height() * i / 3;
                painter.drawLine(x, page.top(), x, page.bottom());
                painter.drawLine(page.left(), y, page.right(), y);
            }
            painter.setPen(Qt::black);
            painter.drawRect(page.adjusted(0, 0, -1, -1));
        } else {
            painter.fillRect(page.translated(1, 1), palette().color(QPalette::Light));
            painter.setPen(palette().color(QPalette::Mid));
            painter.drawRect(page.adjusted(0, 0, -1, -1));
        }
    }
};

CDateEdit::CDateEdit(QWidget* parent) : QLineEdit(parent)
{
    setAccessibleName(tr("Date"));
    m_layout = SystemDateLayout();
    const QDate today = QDate::currentDate();
    m_date = {today.year(), today.month(), today.day()};
    m_pButton = new CDateDropButton(this);
    connect(m_pButton, &QAbstractButton::clicked, this, &CDateEdit::DropDown);
    PlaceDropButton();
    ShowDate();
}

CDateEdit::~CDateEdit()
{
    // The calendar must not report back to a field that is half destroyed.
    if (m_pCalendar) {
        disconnect(m_pCalendar, nullptr, this, nullptr);
        delete m_pCalendar;
    }
}

void CDateEdit::SetDate(int year, int month, int day)
{
    const CalendarDate date{year, month, day};
    if (!IsValidDate(date))
        return;
    m_date = date;
    ShowDate();
}

void CDateEdit::SetTime(qint64 secondsSince1970)
{
    CalendarDate date;
    if (!UtcDateOfTime(secondsSince1970, &date))
        return;
    SetDate(date.year, date.month, date.day);
    m_setDate = date;
    m_setTime.reset();
    if (secondsSince1970 >= 0 && secondsSince1970 <= qint64(std::numeric_limits<quint32>::max()))
        m_setTime = quint32(secondsSince1970);
}

void CDateEdit::GetDate(int* year, int* month, int* day)
{
    ReadText();
    if (year)
        *year = m_date.year;
    if (month)
        *month = m_date.month;
    if (day)
        *day = m_date.day;
}

quint32 CDateEdit::GetTime()
{
    ReadText();
    if (m_setTime && m_date == m_setDate)
        return *m_setTime;
    return NoonUtcTime(m_date);
}

void CDateEdit::SetLayout(const DateLayout& layout)
{
    m_layout = layout;
    ShowDate();
}

QAbstractButton* CDateEdit::GetDropButton() const
{
    return m_pButton && !m_pButton->isHidden() ? m_pButton : nullptr;
}

void CDateEdit::ShowDate()
{
    setText(FormatDateText(m_date, m_layout));
    SelectField();
}

void CDateEdit::SelectField()
{
    const TextSpan span = FieldSpanInText(text(), m_layout, m_nField);
    setSelection(span.start, span.length);
}

void CDateEdit::ReadText()
{
    m_date = ReadDateText(text(), m_layout, m_date);
}

void CDateEdit::TakeFieldAtCaret()
{
    m_nField = FieldAtPosition(text(), m_layout, cursorPosition());
}

void CDateEdit::StepField(int field, int delta)
{
    ReadText();
    m_nField = field;
    m_date = StepDateField(m_date, field, delta);
    ShowDate();
}

void CDateEdit::keyPressEvent(QKeyEvent* event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    const bool control = modifiers & Qt::ControlModifier;
    const bool keypad = modifiers & Qt::KeypadModifier;
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (modifiers & Qt::AltModifier) {
            if (event->key() == Qt::Key_Down && GetDropButton())
                DropDown();
        } else {
            TakeFieldAtCaret();
            StepField(m_nField, event->key() == Qt::Key_Up ? 1 : -1);
        }
        event->accept();
        return;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        // As in the calendar: a year back or forward, whatever field the caret is in.
        StepField(kYearField, event->key() == Qt::Key_PageDown ? 1 : -1);
        event->accept();
        return;
    case Qt::Key_Plus:
    case Qt::Key_Minus:
        if (keypad) {
            TakeFieldAtCaret();
            StepField(m_nField, event->key() == Qt::Key_Plus ? 1 : -1);
            event->accept();
            return;
        }
        break;
    case Qt::Key_Left:
    case Qt::Key_Right:
        if (control) {
            TakeFieldAtCaret();
            m_nField = NeighbourField(m_layout.order, m_nField, event->key() == Qt::Key_Left ? -1 : 1);
            SelectField();
            event->accept();
            return;
        }
        break;
    case Qt::Key_F4:
        if (GetDropButton())
            DropDown();
        event->accept();
        return;
    default:
        break;
    }
    // "+" and "-" are never typed, unless the separator needs them ("1997-04-03").
    const QString typed = event->text();
    if ((typed == QStringLiteral("+") || typed == QStringLiteral("-")) &&
        !m_layout.separator.contains(typed)) {
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void CDateEdit::mousePressEvent(QMouseEvent* event)
{
    QLineEdit::mousePressEvent(event);
    m_bFieldClick = false;
    if (event->button() != Qt::LeftButton)
        return;
    m_clickPos = event->position().toPoint();
    m_nField = FieldAtPosition(text(), m_layout, cursorPositionAt(m_clickPos));
    SelectField();
    m_bFieldClick = true;
}

void CDateEdit::mouseMoveEvent(QMouseEvent* event)
{
    if (m_bFieldClick &&
        (event->position().toPoint() - m_clickPos).manhattanLength() < QApplication::startDragDistance())
        return;
    m_bFieldClick = false;
    QLineEdit::mouseMoveEvent(event);
}

void CDateEdit::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    // A click selects the field under the pointer itself.
    if (event->reason() != Qt::MouseFocusReason)
        SelectField();
}

void CDateEdit::focusOutEvent(QFocusEvent* event)
{
    // A pop-up (the calendar, a context menu) only borrows the focus: the typing goes on after it.
    if (event->reason() != Qt::PopupFocusReason) {
        ReadText();
        ShowDate();
    }
    QLineEdit::focusOutEvent(event);
}

void CDateEdit::resizeEvent(QResizeEvent* event)
{
    QLineEdit::resizeEvent(event);
    PlaceDropButton();
}

void CDateEdit::changeEvent(QEvent* event)
{
    QLineEdit::changeEvent(event);
    if (event->type() == QEvent::LocaleChange) {
        m_layout = SystemDateLayout();
        ShowDate();
    } else if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        PlaceDropButton();
    }
}

void CDateEdit::PlaceDropButton()
{
    if (!m_pButton)
        return;
    // Eighteen pixels beside an 8-point font, growing with the field's font.
    const int buttonWidth = ScaleDialogPixels(18, fontMetrics().height());
    if (!m_bHasButton || width() < buttonWidth) {
        m_pButton->hide();
        setTextMargins(0, 0, 0, 0);
        return;
    }
    const int frame = hasFrame() ? style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this) : 0;
    m_pButton->setGeometry(width() - frame - buttonWidth, frame, buttonWidth, qMax(1, height() - 2 * frame));
    m_pButton->show();
    setTextMargins(0, 0, buttonWidth, 0);
}

void CDateEdit::DropDown()
{
    if (m_pCalendar) {
        m_pCalendar->Destroy();
        return;
    }
    ReadText();
    auto* calendar = new CCalendarWnd(m_date, m_date, this);
    connect(calendar, &CCalendarWnd::DateChosen, this, &CDateEdit::OnCalendarChosen);
    connect(calendar, &CCalendarWnd::Closing, this, &CDateEdit::OnCalendarClosing);
    m_pCalendar = calendar;

    // One pixel below the button, half a button width to its left; kept on the screen, above the
    // field when there is no room below it.
    const QRect button = m_pButton->geometry();
    QRect place(mapToGlobal(QPoint(button.left() - button.width() / 2, button.bottom() + 2)),
                calendar->DefaultSize());
    if (const QScreen* shown = screen()) {
        const QRect available = shown->availableGeometry();
        if (place.bottom() > available.bottom())
            place.moveBottom(mapToGlobal(QPoint(0, button.top() - 2)).y());
        place.moveLeft(qMax(available.left(), qMin(place.left(), available.right() - place.width() + 1)));
        place.moveTop(qMax(available.top(), place.top()));
    }
    calendar->Create(place.topLeft(), -1, -1, true);
}

void CDateEdit::OnCalendarChosen(CCalendarWnd* calendar)
{
    const CalendarDate chosen = calendar->GetShownMonth();
    SetDate(chosen.year, chosen.month, chosen.day);
    calendar->Destroy();
}

void CDateEdit::OnCalendarClosing(CCalendarWnd* calendar)
{
    if (m_pCalendar == calendar)
        m_pCalendar = nullptr;
}

CCalendarWnd* CDateEdit::GetCalendar() const
{
    return m_pCalendar;
}

#include "controls/CCalendarWnd.h"

#include "controls/DialogUnits.h"

#include <QCloseEvent>
#include <qdrawutil.h>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionFrame>

namespace {

const int kRepeatMilliseconds = 100;
// Ticks of the repeat timer before a held month button starts stepping.
const int kTicksBeforeRepeat = 10;

const char* const kDayNames[7] = {"Su", "Mo", "Tu", "We", "Th", "Fr", "Sa"};

} // namespace

CCalendarWnd::CCalendarWnd(const CalendarDate& shown, const CalendarDate& marked, QWidget* owner)
    : QWidget(owner), m_shown(shown), m_marked(marked), m_pOwner(owner), m_repeatTimer(this)
{
    setObjectName(QStringLiteral("CalendarWnd"));
    setAccessibleName(tr("Calendar"));
    setFocusPolicy(Qt::StrongFocus);
    m_repeatTimer.setInterval(kRepeatMilliseconds);
    connect(&m_repeatTimer, &QTimer::timeout, this, &CCalendarWnd::OnRepeatTimer);
    if (!IsValidDate(m_shown))
        m_shown = IsValidDate(m_marked) ? m_marked : CalendarDate();
    UpdateMetrics();
    ShowDate(m_shown);
}

CCalendarWnd::~CCalendarWnd() = default;

void CCalendarWnd::UpdateMetrics()
{
    // The normal and bold faces of the dialog font; the cells fit three average letters.
    m_normalFont = font();
    m_boldFont = m_normalFont;
    m_boldFont.setWeight(QFont::Bold);
    const QFontMetrics metrics(m_normalFont);
    const QString letters = QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ");
    const int averageWidth = (metrics.horizontalAdvance(letters) / 26 + 1) / 2;
    m_cw = 3 * averageWidth + 4;
    m_ch = metrics.height();
}

QSize CCalendarWnd::DefaultSize() const
{
    return QSize(7 * m_cw + 12, 8 * m_ch + 19);
}

void CCalendarWnd::Create(const QPoint& topLeft, int width, int height, bool popup)
{
    if (popup)
        setWindowFlags(Qt::Popup);
    const QSize size = DefaultSize();
    setGeometry(
        QRect(topLeft, QSize(width == -1 ? size.width() : width, height == -1 ? size.height() : height)));
    show();
    if (popup)
        activateWindow();
    setFocus(Qt::PopupFocusReason);
}

void CCalendarWnd::Destroy()
{
    if (m_bDestroying)
        return;
    m_bDestroying = true;
    m_repeatTimer.stop();
    m_bCaptured = false;
    m_bTrackingDays = false;
    m_pressed = kNoButton;
    hide();
    if (m_pOwner)
        m_pOwner->setFocus(Qt::OtherFocusReason);
    emit Closing(this);
    deleteLater();
}

QRect CCalendarWnd::BackButtonRect() const
{
    // Twenty by sixteen pixels beside an 8-point title, growing with the font.
    return QRect(3, 3, ScaleDialogPixels(20, m_ch), m_ch + 3);
}

QRect CCalendarWnd::ForwardButtonRect() const
{
    const int buttonWidth = ScaleDialogPixels(20, m_ch);
    return QRect(width() - 4 - buttonWidth, 3, buttonWidth, m_ch + 3);
}

QRect CCalendarWnd::DayRect(int day) const
{
    if (day < 1 || day > DaysInMonth(m_shown.year, m_shown.month))
        return QRect();
    int column = 0;
    int row = 0;
    DayCell(FirstWeekdayOfMonth(m_shown.year, m_shown.month), day, &column, &row);
    return QRect(4 + column * m_cw, 2 * m_ch + 11 + row * m_ch, m_cw, m_ch);
}

int CCalendarWnd::DayAt(const QPoint& pos) const
{
    const int x = pos.x() - 4;
    const int y = pos.y() - (2 * m_ch + 11);
    if (x < 0 || y < 0 || m_cw <= 0 || m_ch <= 0)
        return 0;
    return DayAtCell(m_shown.year, m_shown.month, x / m_cw, y / m_ch);
}

QRect CCalendarWnd::PressedButtonRect() const
{
    if (m_pressed == kBackButton)
        return BackButtonRect();
    if (m_pressed == kForwardButton)
        return ForwardButtonRect();
    return QRect();
}

void CCalendarWnd::ShowDate(const CalendarDate& date)
{
    m_shown = date;
    setAccessibleDescription(FormatMonthTitle(m_shown.year, m_shown.month));
    update();
}

void CCalendarWnd::DrawButton(QPainter& painter, const QRect& rect, const QString& text, bool pushed)
{
    QStyleOptionButton option;
    option.initFrom(this);
    option.state &= ~(QStyle::State_HasFocus | QStyle::State_MouseOver);
    option.state |= pushed ? QStyle::State_Sunken : QStyle::State_Raised;
    option.rect = rect;
    style()->drawControl(QStyle::CE_PushButtonBevel, &option, &painter, this);
    painter.setFont(m_normalFont);
    painter.setPen(palette().color(QPalette::ButtonText));
    painter.drawText(pushed ? rect.translated(1, 1) : rect, Qt::AlignCenter, text);
}

void CCalendarWnd::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));

    QStyleOptionFrame frame;
    frame.initFrom(this);
    frame.rect = rect();
    frame.frameShape = QFrame::Panel;
    frame.lineWidth = 1;
    frame.state |= QStyle::State_Raised;
    style()->drawControl(QStyle::CE_ShapedFrame, &frame, &painter, this);

    DrawButton(painter, BackButtonRect(), QStringLiteral("<<"), m_pressed == kBackButton && m_bOverButton);
    DrawButton(painter, ForwardButtonRect(), QStringLiteral(">>"),
               m_pressed == kForwardButton && m_bOverButton);

    painter.setPen(palette().color(QPalette::WindowText));
    painter.setFont(m_boldFont);
    painter.drawText(QRect(0, 3, width(), m_ch), Qt::AlignCenter,
                     FormatMonthTitle(m_shown.year, m_shown.month));
    for (int column = 0; column < 7; ++column)
        painter.drawText(QRect(4 + column * m_cw, m_ch + 7, m_cw, m_ch), Qt::AlignCenter,
                         QString::fromLatin1(kDayNames[column]));

    const bool markedMonth = m_marked.year == m_shown.year && m_marked.month == m_shown.month;
    const int days = DaysInMonth(m_shown.year, m_shown.month);
    for (int day = 1; day <= days; ++day) {
        painter.setFont(markedMonth && day == m_marked.day ? m_boldFont : m_normalFont);
        painter.drawText(DayRect(day), Qt::AlignCenter, QString::number(day));
    }
    // The highlighted day sits in a sunken frame drawn in the style's shadow and light colours.
    qDrawShadeRect(&painter, DayRect(m_shown.day), palette(), true, 1, 0);
}

void CCalendarWnd::mousePressEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if ((windowFlags() & Qt::Popup) == Qt::Popup && !rect().contains(pos)) {
        // A click outside closes the pop-up; one on the owner (its drop button among others) must
        // not reach the owner as well and open it again at once.
        if (m_pOwner && m_pOwner->rect().contains(m_pOwner->mapFromGlobal(event->globalPosition().toPoint())))
            setAttribute(Qt::WA_NoMouseReplay);
        close();
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;
    m_bCaptured = true;
    m_nTicks = 0;
    m_repeatTimer.start();
    if (BackButtonRect().contains(pos))
        m_pressed = kBackButton;
    else if (ForwardButtonRect().contains(pos))
        m_pressed = kForwardButton;
    else
        m_bTrackingDays = true;
    m_bOverButton = m_pressed != kNoButton;
    if (m_bTrackingDays)
        TrackDay(pos);
    update();
}

void CCalendarWnd::TrackDay(const QPoint& pos)
{
    const int day = DayAt(pos);
    if (day != 0 && day != m_shown.day)
        ShowDate({m_shown.year, m_shown.month, day});
}

void CCalendarWnd::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (m_bTrackingDays) {
        TrackDay(pos);
    } else if (m_pressed != kNoButton) {
        const bool over = PressedButtonRect().contains(pos);
        if (over != m_bOverButton) {
            m_bOverButton = over;
            update(PressedButtonRect());
        }
    }
}

void CCalendarWnd::OnRepeatTimer()
{
    ++m_nTicks;
    if (m_nTicks > kTicksBeforeRepeat && m_pressed != kNoButton && m_bOverButton)
        ShowDate(AddMonths(m_shown, m_pressed == kBackButton ? -1 : 1));
}

void CCalendarWnd::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_bCaptured || event->button() != Qt::LeftButton)
        return;
    const QPoint pos = event->position().toPoint();
    m_bCaptured = false;
    m_repeatTimer.stop();
    if (m_bTrackingDays) {
        m_bTrackingDays = false;
        const int day = DayAt(pos);
        if (day != 0) {
            ShowDate({m_shown.year, m_shown.month, day});
            emit DateChosen(this);
        }
    } else if (m_pressed != kNoButton) {
        const bool over = PressedButtonRect().contains(pos);
        const int step = m_pressed == kBackButton ? -1 : 1;
        m_pressed = kNoButton;
        m_bOverButton = false;
        if (over)
            ShowDate(AddMonths(m_shown, step));
        update();
    }
}

void CCalendarWnd::keyPressEvent(QKeyEvent* event)
{
    if (m_bCaptured) {
        event->accept();
        return;
    }
    const bool control = event->modifiers() & Qt::ControlModifier;
    switch (event->key()) {
    case Qt::Key_Left:
        ShowDate(control ? AddMonths(m_shown, -1) : AddDays(m_shown, -1));
        break;
    case Qt::Key_Right:
        ShowDate(control ? AddMonths(m_shown, 1) : AddDays(m_shown, 1));
        break;
    case Qt::Key_Up:
        ShowDate(AddDays(m_shown, -7));
        break;
    case Qt::Key_Down:
        ShowDate(AddDays(m_shown, 7));
        break;
    case Qt::Key_PageUp:
        ShowDate(AddYears(m_shown, -1));
        break;
    case Qt::Key_PageDown:
        ShowDate(AddYears(m_shown, 1));
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        emit DateChosen(this);
        break;
    case Qt::Key_Escape:
        Destroy();
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void CCalendarWnd::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    // The focus went to another window or control: the calendar goes, as a pop-up menu would.
    if (event->reason() != Qt::PopupFocusReason && isVisible())
        Destroy();
}

void CCalendarWnd::closeEvent(QCloseEvent* event)
{
    event->accept();
    Destroy();
}

void CCalendarWnd::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        UpdateMetrics();
        update();
    }
}

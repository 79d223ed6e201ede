#include "controls/CPropertySheet.h"

#include "controls/CModalRun.h"
#include "controls/CPropertyPage.h"
#include "controls/HelpRequest.h"

#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QPushButton>
#include <QShortcut>
#include <QStackedWidget>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>

CPropertySheet::CPropertySheet(const QString& caption, QWidget* parent, int firstPage)
    : QDialog(parent), m_firstPage(firstPage)
{
    setWindowTitle(caption);
    setAccessibleName(caption);
    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this, [this] {
        QWidget* focus = QApplication::focusWidget();
        RouteHelpRequest(focus, focus ? focus->mapToGlobal(focus->rect().center()) : QPoint());
    });
}

void CPropertySheet::AddPage(CPropertyPage* page)
{
    page->m_sheet = this;
    page->setParent(this);
    page->hide();
    m_pages.append(page);
}

int CPropertySheet::FindPage(quint32 templateId) const
{
    for (int i = 0; i < m_pages.size(); ++i) {
        if (m_pages[i]->GetTemplateId() == templateId)
            return i;
    }
    return -1;
}

QPushButton* CPropertySheet::GetButton(Button button) const
{
    return m_buttons[button];
}

void CPropertySheet::EnsureBuilt()
{
    if (m_built)
        return;
    m_built = true;
    // Children made after the sheet is already being shown are not shown with it: the controls
    // built here are shown explicitly (the wizard's buttons decide their own visibility later).
    const QList<QWidget*> before = findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    if (m_wizardMode)
        BuildWizard();
    else
        BuildTabs();
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!before.contains(child))
            child->show();
    }
    // The first page to show, or the first after it that agrees to be shown.
    for (int i = qBound(0, m_firstPage, int(m_pages.size())); i < m_pages.size(); ++i) {
        if (m_pages[i]->OnSetActive()) {
            ShowPage(i);
            break;
        }
    }
}

void CPropertySheet::setVisible(bool visible)
{
    if (visible)
        EnsureBuilt();
    QDialog::setVisible(visible);
}

int CPropertySheet::DoModal()
{
    EnsureBuilt();
    return CModalRun::Exec(*this);
}

namespace {

QPushButton* MakeButton(const QString& text, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setAccessibleName(QString(text).remove(QLatin1Char('&')));
    button->setAutoDefault(false);
    return button;
}

} // namespace

void CPropertySheet::BuildTabs()
{
    m_tabs = new QTabWidget(this);
    // Every tab stays in sight: the sheet is as wide as its row of tabs.
    m_tabs->setUsesScrollButtons(false);
    // The tab widget shows only the current page; showing the others would draw them all at once.
    for (CPropertyPage* page : std::as_const(m_pages))
        m_tabs->addTab(page, page->GetTitle());
    m_buttons[kOkButton] = MakeButton(tr("OK"), this);
    m_buttons[kCancelButton] = MakeButton(tr("Cancel"), this);
    m_buttons[kHelpButton] = MakeButton(tr("&Help"), this);
    m_buttons[kOkButton]->setDefault(true);
    connect(m_buttons[kOkButton], &QPushButton::clicked, this, &CPropertySheet::PressOK);
    connect(m_buttons[kCancelButton], &QPushButton::clicked, this, &CPropertySheet::PressCancel);
    connect(m_buttons[kHelpButton], &QPushButton::clicked, this, &CPropertySheet::PressHelp);
    connect(m_tabs, &QTabWidget::currentChanged, this, [this](int index) {
        if (m_switching || index == m_active)
            return;
        // The tab has already moved: put it back unless the change is allowed.
        const int wanted = index;
        m_switching = true;
        m_tabs->setCurrentIndex(m_active);
        m_switching = false;
        SetActivePage(wanted);
    });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_buttons[kOkButton]);
    buttons->addWidget(m_buttons[kCancelButton]);
    buttons->addWidget(m_buttons[kHelpButton]);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addLayout(buttons);
}

void CPropertySheet::BuildWizard()
{
    m_stack = new QStackedWidget(this);
    for (CPropertyPage* page : std::as_const(m_pages))
        m_stack->addWidget(page);
    m_buttons[kBackButton] = MakeButton(tr("< &Back"), this);
    m_buttons[kNextButton] = MakeButton(tr("&Next >"), this);
    m_buttons[kFinishButton] = MakeButton(tr("Finish"), this);
    m_buttons[kCancelButton] = MakeButton(tr("Cancel"), this);
    m_buttons[kHelpButton] = MakeButton(tr("&Help"), this);
    connect(m_buttons[kBackButton], &QPushButton::clicked, this, &CPropertySheet::PressBack);
    connect(m_buttons[kNextButton], &QPushButton::clicked, this, &CPropertySheet::PressNext);
    connect(m_buttons[kFinishButton], &QPushButton::clicked, this, &CPropertySheet::PressFinish);
    connect(m_buttons[kCancelButton], &QPushButton::clicked, this, &CPropertySheet::PressCancel);
    connect(m_buttons[kHelpButton], &QPushButton::clicked, this, &CPropertySheet::PressHelp);

    auto* body = new QHBoxLayout;
    if (QWidget* picture = CreateSidePicture())
        body->addWidget(picture);
    body->addWidget(m_stack, 1);
    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (Button button : {kBackButton, kNextButton, kFinishButton, kCancelButton, kHelpButton})
        buttons->addWidget(m_buttons[button]);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body, 1);
    layout->addWidget(line);
    layout->addLayout(buttons);
    SetWizardButtons(kBack | kNext | kFinish);
}

void CPropertySheet::SetWizardButtons(int buttons)
{
    if (!m_wizardMode || !m_built)
        return;
    // Finish takes the place of Next; a sheet that offers both (as every wizard does before its
    // first page sets its own buttons) shows both.
    const bool finish = buttons & (kFinish | kDisabledFinish);
    const bool next = (buttons & kNext) || !finish;
    QPushButton* const* focused = std::find_if(std::begin(m_buttons), std::end(m_buttons),
                                               [](const QPushButton* button) { return button && button->hasFocus(); });
    QPushButton* hadFocus = focused != std::end(m_buttons) ? *focused : nullptr;
    m_buttons[kBackButton]->setEnabled(buttons & kBack);
    m_buttons[kNextButton]->setVisible(next);
    m_buttons[kNextButton]->setEnabled(buttons & kNext);
    m_buttons[kFinishButton]->setVisible(finish);
    m_buttons[kFinishButton]->setEnabled(buttons & kFinish);
    QPushButton* preferred = (buttons & kNext) || !finish ? m_buttons[kNextButton] : m_buttons[kFinishButton];
    preferred->setDefault(preferred->isEnabled());
    // A button that went away or greyed passed the focus on to whatever came next, often Cancel,
    // where Space would end the wizard: the button in its place takes the focus instead.
    if (hadFocus && (!hadFocus->isVisibleTo(this) || !hadFocus->isEnabled()) && preferred->isEnabled())
        preferred->setFocus(Qt::OtherFocusReason);
}

void CPropertySheet::CancelToClose()
{
    if (QPushButton* cancel = m_buttons[kCancelButton]) {
        cancel->setText(tr("Close"));
        cancel->setAccessibleName(tr("Close"));
    }
}

void CPropertySheet::ShowPage(int index)
{
    m_active = index;
    m_switching = true;
    if (m_tabs)
        m_tabs->setCurrentIndex(index);
    if (m_stack)
        m_stack->setCurrentIndex(index);
    // Pages are added hidden; only the page on show may be drawn.
    for (int i = 0; i < m_pages.size(); ++i)
        m_pages[i]->setVisible(i == index);
    m_switching = false;
}

bool CPropertySheet::SetActivePage(int index)
{
    EnsureBuilt();
    if (index < 0 || index >= m_pages.size() || index == m_active)
        return false;
    if (CPropertyPage* current = GetActivePage(); current && !current->OnKillActive())
        return false;
    if (!m_pages[index]->OnSetActive())
        return false;
    ShowPage(index);
    return true;
}

bool CPropertySheet::Travel(int result, int direction)
{
    if (result == -1)
        return false;
    int target = result == 0 ? m_active + direction : FindPage(quint32(result));
    // A page that will not be shown passes the move on in the same direction.
    while (target >= 0 && target < m_pages.size() && target != m_active) {
        if (m_pages[target]->OnSetActive()) {
            ShowPage(target);
            return true;
        }
        target += direction;
    }
    return false;
}

bool CPropertySheet::PressNext()
{
    EnsureBuilt();
    CPropertyPage* page = GetActivePage();
    if (!page || !page->OnKillActive())
        return false;
    return Travel(page->OnWizardNext(), +1);
}

bool CPropertySheet::PressBack()
{
    EnsureBuilt();
    CPropertyPage* page = GetActivePage();
    if (!page)
        return false;
    const int result = page->OnWizardBack();
    if (!page->OnKillActive())
        return false;
    return Travel(result, -1);
}

void CPropertySheet::PressFinish()
{
    EnsureBuilt();
    if (CPropertyPage* page = GetActivePage(); page && page->OnWizardFinish())
        accept();
}

void CPropertySheet::PressOK()
{
    EnsureBuilt();
    if (CPropertyPage* page = GetActivePage(); page && !page->OnKillActive())
        return;
    for (CPropertyPage* page : std::as_const(m_pages))
        page->OnOK();
    if (Commit())
        accept();
}

void CPropertySheet::PressCancel()
{
    reject();
}

void CPropertySheet::reject()
{
    // Escape, the window's close button and Cancel all end the sheet the same way.
    for (CPropertyPage* page : std::as_const(m_pages))
        page->OnCancel();
    QDialog::reject();
}

void CPropertySheet::PressHelp()
{
    if (CPropertyPage* page = GetActivePage())
        page->OnCommandHelp();
}

void CPropertySheet::RouteHelpRequest(QWidget* control, const QPoint& globalPosition)
{
    CPropertyPage* page = GetActivePage();
    if (!page)
        return;
    HelpRequest request;
    request.source = HelpRequest::Control;
    request.control = control;
    request.id = HelpControlId(control);
    request.globalPosition = globalPosition;
    if (!page->OnHelpRequest(request))
        page->OnCommandHelp();
}

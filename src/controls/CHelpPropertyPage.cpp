#include "controls/CHelpPropertyPage.h"

#include "controls/CHelpViewer.h"
#include "controls/ContextHelp.h"

#include <QContextMenuEvent>
#include <QMenu>

CHelpPropertyPage::CHelpPropertyPage(quint32 templateId, const QString& title, QWidget* parent)
    : CPropertyPage(templateId, title, parent)
{
}

bool CHelpPropertyPage::OnHelpRequest(const HelpRequest& request)
{
    ShowContextHelp(this, &request, m_nHelpTopic, m_pHelpPairs, false);
    return true;
}

bool CHelpPropertyPage::OnCommandHelp()
{
    // Without a topic of its own, the page offers the help's contents.
    if (m_nHelpTopic == 0)
        CHelpViewer::ShowContents(this, CHelpViewer::kProgramHelp);
    else
        ShowContextHelp(this, nullptr, m_nHelpTopic, nullptr, true);
    return true;
}

void CHelpPropertyPage::contextMenuEvent(QContextMenuEvent* event)
{
    // Reached only by right-clicks that no control of the page took for its own menu.
    event->accept();
    if (!m_pHelpPairs || m_pHelpPairs->controlId == 0)
        return;
    QWidget* control = childAt(event->pos());
    QMenu menu(this);
    QAction* whatsThis = menu.addAction(tr("What's This?"));
    if (menu.exec(event->globalPos()) == whatsThis) {
        HelpRequest request;
        request.control = control;
        request.id = HelpControlId(control);
        request.globalPosition = event->globalPos();
        ShowContextHelp(this, &request, m_nHelpTopic, m_pHelpPairs, false);
    }
}

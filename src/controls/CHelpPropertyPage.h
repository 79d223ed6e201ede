#pragma once

#include "controls/CPropertyPage.h"
#include "controls/HelpRequest.h"

// A page that answers help requests with its own help topic: the sheet's Help button shows the
// topic; F1 on a control gives the control's pop-up help; a right-click on the page with help
// pairs offers "What's This?".
class CHelpPropertyPage : public CPropertyPage
{
    Q_OBJECT

public:
    explicit CHelpPropertyPage(quint32 templateId = 0, const QString& title = QString(), QWidget* parent = nullptr);

    quint32 GetHelpTopic() const { return m_nHelpTopic; }
    void SetHelpTopic(quint32 topic) { m_nHelpTopic = topic; }
    const HelpPair* GetHelpPairs() const { return m_pHelpPairs; }
    void SetHelpPairs(const HelpPair* pairs) { m_pHelpPairs = pairs; }

    bool OnHelpRequest(const HelpRequest& request) override;
    bool OnCommandHelp() override;

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    quint32 m_nHelpTopic = 0;
    const HelpPair* m_pHelpPairs = nullptr;
};

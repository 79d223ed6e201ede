#pragma once

#include "controls/CHelpPropertySheet.h"

#include <QList>

#include <functional>

// A wizard: pages one at a time beside the wizard picture. Back returns to the page that was
// really shown before, even where pages were skipped on the way forward: pages that leave forwards
// through CWizardPage::OnWizardNext push themselves onto the history, and Back pops it.
class CWizard : public CHelpPropertySheet
{
    Q_OBJECT

public:
    CWizard(const QString& caption, QWidget* parent = nullptr, int firstPage = 0);

    void PushPage(quint32 pageId) { m_history.append(pageId); }
    // The last page pushed, taken off the history; -1 when it is empty.
    int PopPage();
    const QList<quint32>& GetHistory() const { return m_history; }

    // A move that does not happen (the page will not be left, or no page will be shown) leaves
    // the history as it was.
    bool PressNext() override;
    bool PressBack() override;

protected:
    QWidget* CreateSidePicture() override;

private:
    bool KeepHistoryUnlessMoved(const std::function<bool()>& move);

    QList<quint32> m_history;
};

#pragma once

#include <QWidget>

class CPropertySheet;
struct HelpRequest;

// One page of a property sheet or wizard. The sheet asks the page before it is shown and before
// it is left, and tells it when the sheet is accepted or cancelled; in a wizard it also asks where
// Next and Back lead.
class CPropertyPage : public QWidget
{
    Q_OBJECT

public:
    // templateId identifies the page within its sheet (pages jump to one another by it).
    explicit CPropertyPage(quint32 templateId = 0, const QString& title = QString(), QWidget* parent = nullptr);

    quint32 GetTemplateId() const { return m_templateId; }
    const QString& GetTitle() const { return m_title; }
    void SetTitle(const QString& title) { m_title = title; }
    CPropertySheet* GetSheet() const { return m_sheet; }

    // Before the page is shown: false skips it.
    virtual bool OnSetActive() { return true; }
    // Before the page is left (or the sheet accepted): false keeps the user on it, after the page
    // has said why.
    virtual bool OnKillActive() { return true; }
    virtual void OnOK() {}
    virtual void OnCancel() {}
    // Where the wizard goes: 0 the adjacent page, -1 nowhere, else a page's template identifier.
    virtual int OnWizardNext() { return 0; }
    virtual int OnWizardBack() { return 0; }
    // True ends the wizard.
    virtual bool OnWizardFinish() { return true; }

    // Help: a request from F1 or the caption's help button, and the sheet's Help button. True when
    // handled.
    virtual bool OnHelpRequest(const HelpRequest& request);
    virtual bool OnCommandHelp() { return false; }

private:
    friend class CPropertySheet;
    quint32 m_templateId;
    QString m_title;
    CPropertySheet* m_sheet = nullptr;
};

#pragma once

#include <QDialog>
#include <QList>

class CPropertyPage;
class QLabel;
class QPushButton;
class QStackedWidget;
class QTabWidget;

// A sheet of pages: tabbed, with OK, Cancel and Help, or, in wizard mode, one page at a time with
// Back, Next (or Finish in its place), Cancel and Help. A page may refuse to be left or to be
// shown; help requests go to the page on show.
class CPropertySheet : public QDialog
{
    Q_OBJECT

public:
    enum WizardButton
    {
        kBack = 0x1,
        kNext = 0x2,
        kFinish = 0x4,
        kDisabledFinish = 0x8
    };
    enum Button
    {
        kOkButton,
        kCancelButton,
        kHelpButton,
        kBackButton,
        kNextButton,
        kFinishButton
    };

    CPropertySheet(const QString& caption, QWidget* parent = nullptr, int firstPage = 0);

    // The sheet takes the page over.
    void AddPage(CPropertyPage* page);
    int GetPageCount() const { return int(m_pages.size()); }
    CPropertyPage* GetPage(int index) const { return m_pages.value(index); }
    int GetActiveIndex() const { return m_active; }
    CPropertyPage* GetActivePage() const { return GetPage(m_active); }
    int FindPage(quint32 templateId) const;
    // Moves to a page, if the current one may be left and the new one agrees to be shown.
    bool SetActivePage(int index);

    void SetWizardMode() { m_wizardMode = true; }
    bool IsWizardMode() const { return m_wizardMode; }
    void SetWizardButtons(int buttons);
    // Changes cannot be undone any more: Cancel becomes Close. A sheet whose OK does more than
    // keep the changes may offer its own way out instead.
    virtual void CancelToClose();
    QPushButton* GetButton(Button button) const;

    // Runs the sheet modally (through the program's modal runner).
    int DoModal();
    // The pages are made before the sheet is first shown, so that it is placed at its real size.
    void setVisible(bool visible) override;

    // What the buttons do; also for tests. Next and Back tell whether the sheet moved.
    virtual bool PressNext();
    virtual bool PressBack();
    void PressFinish();
    void PressOK();
    void PressCancel();
    void PressHelp();

protected:
    // What OK writes once every page has stored its values; false keeps the sheet open (after
    // saying why) with the user's values, so that OK can be tried again or the sheet cancelled.
    virtual bool Commit() { return true; }
    // The picture beside a wizard's pages; none for a plain sheet.
    virtual QWidget* CreateSidePicture() { return nullptr; }
    void reject() override;
    // Hands a help request from F1 (or the caption's help button) to the page on show.
    void RouteHelpRequest(QWidget* control, const QPoint& globalPosition);
    void EnsureBuilt();

private:
    void BuildTabs();
    void BuildWizard();
    void ShowPage(int index);
    // Moves in a direction from the current page after Next (+1) or Back (-1), with the value the
    // page returned, skipping pages that refuse to be shown.
    bool Travel(int result, int direction);

    QList<CPropertyPage*> m_pages;
    int m_active = -1;
    int m_firstPage;
    bool m_wizardMode = false;
    bool m_built = false;
    bool m_switching = false;
    QTabWidget* m_tabs = nullptr;
    QStackedWidget* m_stack = nullptr;
    QPushButton* m_buttons[6] = {};
};

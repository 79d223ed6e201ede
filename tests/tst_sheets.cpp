// Property sheets and wizards: the page history, pages that refuse to be shown or left, Cancel and
// Close, and where help requests go.

#include "adding/wizard/CWizard.h"
#include "adding/wizard/CWizardPage.h"
#include "controls/CHelpPropertySheet.h"
#include "controls/CHelpViewer.h"
#include "controls/CModalRun.h"
#include "controls/ContextHelp.h"
#include "controls/RunWithProgress.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QSemaphore>
#include <QTest>
#include <QThread>
#include <QVBoxLayout>
#include <QWhatsThis>

using namespace Qt::StringLiterals;

namespace {

// A page that notes what the sheet asks of it and answers as told.
class CTestPage : public CWizardPage
{
public:
    CTestPage(quint32 id, QStringList* log) : CWizardPage(0x10000u | id, u"Page %1"_s.arg(id)), m_log(log)
    {
        auto* layout = new QVBoxLayout(this);
        m_edit = new QLineEdit(this);
        m_edit->setAccessibleName(u"Field %1"_s.arg(id));
        layout->addWidget(m_edit);
    }

    bool OnSetActive() override
    {
        m_log->append(u"show %1"_s.arg(GetPageId()));
        return showable;
    }
    bool OnKillActive() override
    {
        m_log->append(u"leave %1"_s.arg(GetPageId()));
        return leavable;
    }
    int OnWizardNext() override { return jumpTo ? jumpTo : CWizardPage::OnWizardNext(); }
    void OnOK() override { m_log->append(u"ok %1"_s.arg(GetPageId())); }
    void OnCancel() override { m_log->append(u"cancel %1"_s.arg(GetPageId())); }

    bool showable = true;
    bool leavable = true;
    int jumpTo = 0;
    QLineEdit* m_edit;

private:
    QStringList* m_log;
};

} // namespace

class TestSheets : public QObject
{
    Q_OBJECT

private:
    QStringList m_log;

    QList<CTestPage*> m_pages;

    // A sheet of pages 1..count (page identifiers 1..count), in m_pages, shown unless told.
    template<class Sheet> std::unique_ptr<Sheet> MakeSheet(int count, bool show = true)
    {
        auto sheet = std::make_unique<Sheet>(u"Test"_s);
        m_pages.clear();
        for (int i = 1; i <= count; ++i) {
            m_pages.append(new CTestPage(quint32(i), &m_log));
            sheet->AddPage(m_pages.last());
        }
        if (show)
            sheet->show();
        return sheet;
    }

    static quint32 Current(const CPropertySheet& sheet)
    {
        return sheet.GetActivePage() ? sheet.GetActivePage()->GetTemplateId() : 0;
    }

private slots:
    void init()
    {
        m_log.clear();
        CHelpViewer::TakeShown();
    }

    // Next and Back pressed in turn ("NNB"): the page shown and the way back. A page may be skipped
    // (not showable) or the first page may jump ahead; a plain sheet in wizard mode goes back in order.
    void wizardMoves_data()
    {
        QTest::addColumn<int>("pages");
        QTest::addColumn<int>("skipped");
        QTest::addColumn<int>("jump");
        QTest::addColumn<bool>("plain");
        QTest::addColumn<QString>("presses");
        QTest::addColumn<quint32>("current");
        QTest::addColumn<QList<quint32>>("history");
        QTest::newRow("next next") << 4 << 0 << 0 << false << "NN" << 3u << QList<quint32>{1, 2};
        QTest::newRow("and back") << 4 << 0 << 0 << false << "NNB" << 2u << QList<quint32>{1};
        QTest::newRow("back past the first") << 4 << 0 << 0 << false << "NNBBB" << 1u << QList<quint32>{};
        QTest::newRow("past the last") << 2 << 0 << 0 << false << "NN" << 2u << QList<quint32>{1};
        QTest::newRow("back to the page shown") << 5 << 2 << 0 << false << "NNBB" << 1u << QList<quint32>{};
        QTest::newRow("a jump pushes nothing") << 5 << 0 << 4 << false << "NB" << 4u << QList<quint32>{};
        QTest::newRow("after a jump") << 5 << 0 << 4 << false << "NBNB" << 4u << QList<quint32>{};
        QTest::newRow("plain sheet") << 3 << 0 << 3 << true << "NB" << 2u << QList<quint32>{};
    }

    void wizardMoves()
    {
        QFETCH(int, pages);
        QFETCH(int, skipped);
        QFETCH(int, jump);
        QFETCH(bool, plain);
        QFETCH(QString, presses);
        QFETCH(quint32, current);
        QFETCH(QList<quint32>, history);
        std::unique_ptr<CHelpPropertySheet> sheet;
        if (plain) {
            sheet = MakeSheet<CHelpPropertySheet>(pages, false);
            sheet->SetWizardMode();
            sheet->show();
        } else {
            sheet = MakeSheet<CWizard>(pages);
        }
        if (skipped)
            m_pages[skipped - 1]->showable = false;
        m_pages[0]->jumpTo = jump;
        for (QChar press : presses)
            press == u'N' ? sheet->PressNext() : sheet->PressBack();
        QCOMPARE(Current(*sheet), current);
        if (!plain)
            QCOMPARE(static_cast<CWizard&>(*sheet).GetHistory(), history);
    }

    void pagesThatRefuse()
    {
        const auto wizard = MakeSheet<CWizard>(3);
        m_pages[0]->leavable = false;
        wizard->PressNext();
        QCOMPARE(Current(*wizard), 1u);
        QVERIFY(wizard->GetHistory().isEmpty());
        m_pages[0]->leavable = true;
        // Every page ahead refuses to be shown: the wizard stays where it is.
        m_pages[1]->showable = false;
        m_pages[2]->showable = false;
        wizard->PressNext();
        QCOMPARE(Current(*wizard), 1u);

        // Back checks the page may be left after asking where to go.
        m_pages[1]->showable = true;
        wizard->PressNext();
        QCOMPARE(Current(*wizard), 2u);
        m_pages[1]->leavable = false;
        m_log.clear();
        QVERIFY(!wizard->PressBack());
        QCOMPARE(Current(*wizard), 2u);
        QCOMPARE(m_log, QStringList{u"leave 2"_s});
        QCOMPARE(wizard->GetHistory(), QList<quint32>{1}); // the way back is still there
    }

    void dialogsBlockOnlyTheirOwnWindow()
    {
        QWidget owner;
        CPropertySheet sheet(u"Owned"_s, &owner);
        sheet.AddPage(new CPropertyPage(1, u"Only"_s));
        Qt::WindowModality modality = Qt::NonModal;
        CModalRun::QueueHandler([&modality](QDialog& dialog) {
            modality = dialog.windowModality();
            return int(QDialog::Rejected);
        });
        sheet.DoModal();
        QCOMPARE(modality, Qt::WindowModal); // the help window, a window of its own, stays usable
    }

    void finishTakesTheFocusFromNext()
    {
        const auto wizard = MakeSheet<CWizard>(2);
        QVERIFY(QTest::qWaitForWindowActive(wizard.get()));
        QPushButton* next = wizard->GetButton(CPropertySheet::kNextButton);
        next->setFocus();
        QVERIFY(next->hasFocus());
        wizard->SetWizardButtons(CPropertySheet::kBack | CPropertySheet::kFinish);
        QVERIFY(wizard->GetButton(CPropertySheet::kFinishButton)->hasFocus());
        // A button that stays keeps the focus.
        wizard->GetButton(CPropertySheet::kCancelButton)->setFocus();
        wizard->SetWizardButtons(CPropertySheet::kBack | CPropertySheet::kNext);
        QVERIFY(wizard->GetButton(CPropertySheet::kCancelButton)->hasFocus());
    }

    void cancelTellsEveryPage()
    {
        const auto wizard = MakeSheet<CWizard>(2);
        m_log.clear();
        CModalRun::QueueHandler([](QDialog& dialog) {
            static_cast<CPropertySheet&>(dialog).PressCancel();
            return dialog.result();
        });
        QCOMPARE(wizard->DoModal(), int(QDialog::Rejected));
        QCOMPARE(m_log, (QStringList{u"cancel 1"_s, u"cancel 2"_s}));
    }

    void tabbedSheetKeepsARefusingPage()
    {
        const auto sheet = MakeSheet<CPropertySheet>(3);
        // Only the page on show is drawn, in the first place and after a move.
        QCOMPARE(m_pages[0]->isVisible(), true);
        QCOMPARE(m_pages[1]->isVisible() || m_pages[2]->isVisible(), false);
        QVERIFY(sheet->SetActivePage(1));
        QCOMPARE(m_pages[0]->isVisible() || m_pages[2]->isVisible(), false);
        m_pages[1]->leavable = false;
        QVERIFY(!sheet->SetActivePage(2));
        QCOMPARE(Current(*sheet), 2u);
        // OK is refused too while the page will not be left, and nothing is accepted.
        m_log.clear();
        sheet->PressOK();
        QVERIFY(sheet->isVisible());
        QCOMPARE(m_log, QStringList{u"leave 2"_s});
        m_pages[1]->leavable = true;
        m_log.clear();
        sheet->PressOK();
        QCOMPARE(sheet->result(), int(QDialog::Accepted));
        QCOMPARE(m_log, (QStringList{u"leave 2"_s, u"ok 1"_s, u"ok 2"_s, u"ok 3"_s}));
    }

    void helpGoesToThePageOnShow()
    {
        auto* sheet = new CHelpPropertySheet(u"File Area Properties"_s);
        auto* area = new CHelpPropertyPage(1, u"Area"_s);
        area->SetHelpTopic(64);
        auto* bare = new CHelpPropertyPage(2, u"Bare"_s);
        auto* edit = new QLineEdit(area);
        sheet->AddPage(area);
        sheet->AddPage(bare);
        sheet->show();
        QVERIFY(sheet->windowFlags() & Qt::WindowContextHelpButtonHint);

        sheet->PressHelp();
        auto shown = CHelpViewer::TakeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, CHelpViewer::Shown::Topic);
        QCOMPARE(shown[0].topic, 64u);
        QVERIFY(CHelpViewer::GetInstance());
        QCOMPARE(CHelpViewer::GetInstance()->GetBook(), CHelpViewer::kProgramHelp);
        CHelpViewer::GetInstance()->close();
        sheet->activateWindow();

        // The caption's help button, then a click on the control: the same request.
        QHelpEvent whatsThis(QEvent::WhatsThis, QPoint(1, 1), edit->mapToGlobal(QPoint(1, 1)));
        QApplication::sendEvent(edit, &whatsThis);
        shown = CHelpViewer::TakeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, CHelpViewer::Shown::Popup);
        QWhatsThis::hideText(); // an open pop-up keeps the other windows from being active
        sheet->activateWindow();

        // F1 on a control of a page without help pairs: the pop-up that has no topic to offer.
        QVERIFY(QTest::qWaitForWindowActive(sheet));
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_F1);
        shown = CHelpViewer::TakeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, CHelpViewer::Shown::Popup);
        QCOMPARE(shown[0].text, CHelpViewer::NoTopicText());

        QWhatsThis::hideText();
        // A page without a topic falls back to the help's contents.
        QVERIFY(sheet->SetActivePage(1));
        sheet->PressHelp();
        shown = CHelpViewer::TakeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, CHelpViewer::Shown::Contents);
        delete sheet;
        if (CHelpViewer::GetInstance())
            CHelpViewer::GetInstance()->close();
    }

    void f1OnAWizardPageShowsItsTopic()
    {
        const auto wizard = MakeSheet<CWizard>(1, false);
        m_pages[0]->SetHelpTopic(49);
        wizard->show();
        QVERIFY(QTest::qWaitForWindowActive(wizard.get()));
        m_pages[0]->m_edit->setFocus();
        QTest::keyClick(m_pages[0]->m_edit, Qt::Key_F1);
        const auto shown = CHelpViewer::TakeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, CHelpViewer::Shown::Topic);
        QCOMPARE(shown[0].topic, 49u);
        if (CHelpViewer::GetInstance())
            CHelpViewer::GetInstance()->close();
    }

    void contextHelpDecisions()
    {
        QWidget window;
        const HelpPair pairs[] = {{7, 21}, {9, 0}, {0, 0}};
        HelpRequest menu;
        menu.source = HelpRequest::MenuItem;
        menu.id = 7;
        ShowContextHelp(&window, &menu, 18, pairs, false);
        auto shown = CHelpViewer::TakeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, CHelpViewer::Shown::Popup);
        QCOMPARE(shown[0].topic, 21u);
        menu.id = 8; // no pair for it
        ShowContextHelp(&window, &menu, 18, pairs, false);
        ShowContextHelp(&window, &menu, 18, nullptr, false);
        ShowContextHelp(&window, nullptr, 0, nullptr, false); // no request and no topic
        QVERIFY(CHelpViewer::TakeShown().isEmpty());
    }

    // Long work shows the progress dialog; leaving it in any way stops the work and waits for it,
    // and quick work shows nothing at all.
    void workRunsBesideTheWindow()
    {
        QWidget window;
        QSemaphore started;
        bool sawCancel = false;
        CModalRun::QueueProgressHandler([&](QDialog& dialog) {
            started.acquire();
            dialog.reject(); // Escape or the close box
            return int(QDialog::Rejected);
        });
        QVERIFY(!RunWithProgress(&window, u"Caption"_s, u"Working"_s, [&](CWorkProgress& progress) {
            progress.SetRange(10);
            started.release();
            while (!progress.Cancelled())
                QThread::msleep(5);
            sawCancel = true;
        }));
        QVERIFY(sawCancel);
        QCOMPARE(CModalRun::PendingHandlers(), 0);

        int runs = 0;
        QVERIFY(RunWithProgress(&window, u"Caption"_s, u"Working"_s, [&](CWorkProgress&) { ++runs; }));
        QCOMPARE(runs, 1);
    }

    // A progress dialog that waits for nobody closes by itself when the work ends.
    void finishedWorkClosesTheDialog()
    {
        QWidget window;
        QVERIFY(RunWithProgress(&window, u"Caption"_s, u"Working"_s,
                                [](CWorkProgress&) { QThread::msleep(300); }));
    }
};

QTEST_MAIN(TestSheets)
#include "tst_sheets.moc"

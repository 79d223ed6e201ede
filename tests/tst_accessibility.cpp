// What a screen reader and a keyboard user get from every window the program opens: each control
// named, each value read out with its caption, each value reachable by Tab, each mnemonic on a
// page unique, each button named. The windows are opened on a demonstration library as the
// program opens them; every window prints what was checked, and the case fails listing offences.

#include "adding/addfile/CAddFileFirstPage.h"
#include "adding/addfile/CAddFileWizard.h"
#include "adding/addfiles/AddFilesChoice.h"
#include "adding/addfiles/CAddFilesDoitPage.h"
#include "adding/addfiles/CAddFilesWizard.h"
#include "adding/download/CDownloadUrlDialog.h"
#include "controls/CFileChooser.h"
#include "controls/CHelpViewer.h"
#include "controls/CMessageBox.h"
#include "controls/CModalRun.h"
#include "controls/CPropertySheet.h"
#include "DemoSupport.h"
#include "explorer/CAboutBox.h"
#include "explorer/CFileSearchDialog.h"
#include "FileSheetSupport.h"
#include "FrameSupport.h"
#include "properties/AreaGroupProperties.h"
#include "properties/CFilePropertySheet.h"
#include "reviews/CEditReviewDialog.h"
#include "reviews/CEditSubmissionDialog.h"
#include "reviews/CReviewSubmissionsDialog.h"
#include "uploads/CScanNewFilesDialog.h"
#include "uploads/CUploadReviewSheet.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTest>
#include <QTextDocumentFragment>

using namespace Qt::StringLiterals;

namespace {

QString Plain(const QString& text)
{
    return QString(text).remove(u'&').simplified();
}

// The character a text's "&" makes its mnemonic ("&&" is a literal ampersand); null for none.
QChar Mnemonic(const QString& text)
{
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != u'&')
            continue;
        if (text[i + 1] != u'&')
            return text[i + 1].toLower();
        ++i;
    }
    return {};
}

QString Describe(const QWidget* widget)
{
    QString kind = QString::fromLatin1(widget->metaObject()->className());
    const QString name = widget->accessibleName().isEmpty() ? widget->objectName() : widget->accessibleName();
    return name.isEmpty() ? kind : kind + u" \""_s + name + u'"';
}

// What an assistive tool reads as the control's value: its Value text, or the whole of its text
// when it offers its text as a text.
QString ReadValue(QAccessibleInterface* iface)
{
    if (!iface)
        return {};
    QString value = iface->text(QAccessible::Value);
    if (value.isEmpty()) {
        if (QAccessibleTextInterface* text = iface->textInterface())
            value = text->text(0, text->characterCount());
    }
    return value;
}

// The text a label shows, as a reader would get it.
QString ShownText(const QLabel* label)
{
    const bool rich = label->textFormat() == Qt::RichText ||
                      (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(label->text()));
    return Plain(rich ? QTextDocumentFragment::fromHtml(label->text()).toPlainText() : label->text());
}

// A widget Qt builds inside another control, which the control speaks for.
bool IsPartOfControl(const QWidget* widget)
{
    const QWidget* parent = widget->parentWidget();
    return parent && (qobject_cast<const QComboBox*>(parent) || qobject_cast<const QAbstractSpinBox*>(parent));
}

// A control that shows a value the user cannot change here.
bool ShowsFixedValue(const QWidget* widget)
{
    if (const auto* line = qobject_cast<const QLineEdit*>(widget))
        return line->isReadOnly();
    if (const auto* text = qobject_cast<const QPlainTextEdit*>(widget))
        return text->isReadOnly();
    return qobject_cast<const QLabel*>(widget) != nullptr;
}

QString ShownValue(const QWidget* widget)
{
    if (const auto* line = qobject_cast<const QLineEdit*>(widget))
        return line->text();
    if (const auto* text = qobject_cast<const QPlainTextEdit*>(widget))
        return text->toPlainText();
    if (const auto* label = qobject_cast<const QLabel*>(widget))
        return ShownText(label);
    return {};
}

class CAudit
{
public:
    // Checks the window as it shows now (the sheet's or wizard's active page with its own
    // buttons); `title` names it in the report.
    void Check(QWidget* window, const QString& title)
    {
        QCoreApplication::processEvents();
        QSet<const QWidget*> chain;
        for (QWidget* w = window->nextInFocusChain(); w && w != window; w = w->nextInFocusChain())
            chain.insert(w);

        QList<QWidget*> widgets = window->findChildren<QWidget*>();
        QMap<QChar, QStringList> mnemonics;
        int controls = 0;
        int values = 0;
        int marked = 0;
        const auto offend = [&](const QWidget* widget, const QString& what) {
            m_offences.append(title + u": "_s + Describe(widget) + u' ' + what);
        };
        const auto mark = [&](const QWidget* widget, const QString& text) {
            const QChar key = Mnemonic(text);
            if (!key.isNull()) {
                mnemonics[key].append(Describe(widget) + u" \""_s + text + u'"');
                ++marked;
            }
        };
        const auto reachable = [&](const QWidget* widget) {
            if (!(widget->focusPolicy() & Qt::TabFocus) || !chain.contains(widget))
                offend(widget, u"cannot be reached by Tab"_s);
        };

        for (QWidget* widget : std::as_const(widgets)) {
            if (!widget->isVisibleTo(window) || IsPartOfControl(widget) || widget->isWindow())
                continue;
            QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(widget);
            const QString name = iface ? iface->text(QAccessible::Name).trimmed() : QString();

            if (auto* label = qobject_cast<QLabel*>(widget)) {
                mark(label, label->text());
                const QString shown = ShownText(label);
                if (QWidget* buddy = label->buddy()) {
                    // A caption: its field reads it as name, and a fixed value reads as value. A
                    // button the caption leads to reads its own text, as it should.
                    QAccessibleInterface* field = QAccessible::queryAccessibleInterface(buddy);
                    const QString fieldName = field ? field->text(QAccessible::Name).trimmed() : QString();
                    if (Plain(fieldName) != shown && !qobject_cast<QAbstractButton*>(buddy))
                        offend(buddy, u"is named \""_s + fieldName + u"\", not after its caption \""_s + shown + u'"');
                    if (ShowsFixedValue(buddy)) {
                        ++values;
                        if (ReadValue(field) != ShownValue(buddy))
                            offend(buddy, u"hides its value \""_s + ShownValue(buddy) + u"\" (reads \""_s +
                                              ReadValue(field) + u"\")"_s);
                        reachable(buddy);
                    }
                } else if (!shown.isEmpty()) {
                    ++values;
                    if (!name.contains(shown) && !ReadValue(iface).contains(shown))
                        offend(label, u"hides its text \""_s + shown + u"\" (reads \""_s + name + u"\")"_s);
                } else if (!label->pixmap().isNull() && name.isEmpty()) {
                    offend(label, u"is a picture without a name"_s);
                }
                continue;
            }
            if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
                mark(button, button->text());
                if (qobject_cast<QPushButton*>(button) && name.isEmpty())
                    offend(button, u"is a button without a name"_s);
            } else if (auto* menus = qobject_cast<QMenuBar*>(widget)) {
                for (const QAction* action : menus->actions()) {
                    if (action->isVisible())
                        mark(menus, action->text());
                }
            } else if (auto* box = qobject_cast<QGroupBox*>(widget)) {
                mark(box, box->title());
            } else if (auto* tabs = qobject_cast<QTabBar*>(widget)) {
                for (int i = 0; i < tabs->count(); ++i) {
                    if (tabs->isTabVisible(i))
                        mark(tabs, tabs->tabText(i));
                }
            }
            if (ShowsFixedValue(widget)) {
                ++values;
                reachable(widget);
                if (ReadValue(iface) != ShownValue(widget))
                    offend(widget, u"hides its value"_s);
            }
            if ((widget->focusPolicy() & Qt::TabFocus) && widget->isEnabled() && !widget->focusProxy()) {
                ++controls;
                if (name.isEmpty())
                    offend(widget, u"takes the focus but has no name"_s);
            }
        }
        for (auto it = mnemonics.cbegin(); it != mnemonics.cend(); ++it) {
            if (it->size() > 1)
                m_offences.append(title + u": mnemonic "_s + it.key() + u" is on "_s + it->join(u", "_s));
        }
        qInfo("%s: %d controls, %d values, %d mnemonics", qPrintable(title), controls, values, marked);
        m_windows.append(title);
    }

    // The sheet's or wizard's active page, with the sheet's own buttons.
    void CheckActivePage(CPropertySheet& sheet)
    {
        const CPropertyPage* page = sheet.GetActivePage();
        const QString name = page->GetTitle().isEmpty() ? page->windowTitle() : page->GetTitle();
        Check(&sheet, sheet.windowTitle() + u" / "_s +
                          (name.isEmpty() ? QString::fromLatin1(page->metaObject()->className()) : name));
    }

    // Every page of a property sheet in turn.
    void CheckPages(CPropertySheet& sheet)
    {
        for (int index = 0; index < sheet.GetPageCount(); ++index) {
            if (index != sheet.GetActiveIndex() && !sheet.SetActivePage(index)) {
                m_offences.append(sheet.windowTitle() + u": page "_s + QString::number(index) + u" does not open"_s);
                continue;
            }
            CheckActivePage(sheet);
        }
    }

    // Runs a dialog the program opens through CModalRun, checked by `check` once shown.
    template <typename Dialog>
    void WhenShown(const std::function<void(Dialog&)>& check)
    {
        CModalRun::QueueHandler([this, check](QDialog& shown) {
            auto* dialog = dynamic_cast<Dialog*>(&shown);
            if (!dialog)
                m_offences.append(u"a "_s + QString::fromLatin1(shown.metaObject()->className()) + u" opened instead"_s);
            else
                check(*dialog);
            return int(QDialog::Rejected);
        });
    }

    // A dialog built here, shown as the program shows it.
    void CheckShown(QWidget& window)
    {
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        Check(&window, window.windowTitle());
    }

    QStringList TakeOffences() { return std::exchange(m_offences, {}); }
    const QStringList& Windows() const { return m_windows; }

private:
    QStringList m_offences;
    QStringList m_windows;
};

} // namespace

class TestAccessibility : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<CMainFrame> m_frame;
    CAudit m_audit;

    void Report()
    {
        const QStringList offences = m_audit.TakeOffences();
        for (const QString& offence : offences)
            qWarning("%s", qPrintable(offence));
        QVERIFY2(offences.isEmpty(), qPrintable(QString::number(offences.size()) + u" offences, listed above"_s));
    }

private slots:
    void initTestCase()
    {
        QAccessible::setActive(true);
        TROVEPORT_OPEN_DEMO_LIBRARY(m_dir);
        CMessageBox::SetAnsweringMode(true);
        CFileChooser::SetAnsweringMode(true);
        m_frame = FrameSupport::MakeFrame();
        QVERIFY(m_frame);
    }

    void cleanup()
    {
        QCOMPARE(CModalRun::PendingHandlers(), 0);
        CModalRun::ClearHandlers();
    }

    void cleanupTestCase() { m_frame.reset(); }

    void mainWindow()
    {
        FrameSupport::Select(*m_frame, u"Games/Shareware Games"_s);
        m_audit.Check(m_frame.get(), u"Main window"_s);
        Report();
    }

    void dialogs()
    {
        CAboutBox about(m_frame.get());
        m_audit.CheckShown(about);
        CFileSearchDialog search(u"word"_s, ~quint32(0), m_frame.get());
        m_audit.CheckShown(search);
        CDownloadUrlDialog url(m_frame.get());
        m_audit.CheckShown(url);
        url.GetLocalButton()->setChecked(true);
        m_audit.Check(&url, url.windowTitle() + u" (local file)"_s);

        CReview review{u"Ann"_s, u"ann@example.org"_s, false, u"1/2/2003"_s, u"Good.\r\nVery."_s};
        CEditReviewDialog editReview(review, m_frame.get());
        m_audit.CheckShown(editReview);
        CSubmission submission;
        static_cast<CReview&>(submission) = review;
        submission.file_id = 1;
        submission.file_name = u"tool.zip"_s;
        CEditSubmissionDialog editSubmission(submission, m_frame.get());
        m_audit.CheckShown(editSubmission);
        CReviewSubmissionsDialog submissions(m_dir.filePath(u"none.txt"_s), m_frame.get());
        m_audit.CheckShown(submissions);
        CMessageBox::TakeRequests();

        CPendingUploadArray uploads;
        CScanNewFilesDialog scan(uploads, m_frame->GetTreeModel(), m_frame.get());
        m_audit.CheckShown(scan);
        Report();
    }

    // The one help window, on each book.
    void helpViewer()
    {
        for (const auto book : {CHelpViewer::kProgramHelp, CHelpViewer::kAdministratorsGuide}) {
            CHelpViewer* help = CHelpViewer::ShowContents(m_frame.get(), book);
            QVERIFY(help);
            QVERIFY(QTest::qWaitForWindowExposed(help));
            m_audit.Check(help, help->windowTitle());
            // It deletes itself once closed: the next book gets a window of its own.
            const QPointer<CHelpViewer> closed(help);
            help->close();
            QTRY_VERIFY(!closed);
        }
        Report();
    }

    // The boxes are built as Show builds them: answering mode shows none.
    void messageBoxes()
    {
        const auto box = CMessageBox::MakeBox(m_frame.get(), u"Delete \"%1 of 100%\"?"_s, QString(),
                                              QMessageBox::Question,
                                              QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        m_audit.CheckShown(*box);
        const auto warning = CMessageBox::MakeBox(nullptr, u"The file could not be read."_s, u"Scan"_s,
                                                  QMessageBox::Warning);
        m_audit.CheckShown(*warning);
        Report();
    }

    void areaAndGroupSheets()
    {
        m_audit.WhenShown<CPropertySheet>([this](CPropertySheet& sheet) { m_audit.CheckPages(sheet); });
        RunAreaPropertiesSheet(m_frame.get(), 1);
        m_audit.WhenShown<CPropertySheet>([this](CPropertySheet& sheet) { m_audit.CheckPages(sheet); });
        RunGroupPropertiesSheet(m_frame.get(), u"Games"_s);
        Report();
    }

    void filePropertySheet()
    {
        FileSheetSupport::AddLibraryFile(u"Audited"_s, {FileSheetSupport::kText}, {u"http://example.org/a.txt"_s});
        FrameSupport::SelectNamed(*m_frame, u"Documents/Text Files"_s, u"Audited"_s);
        m_audit.WhenShown<CFilePropertySheet>([this](CFilePropertySheet& sheet) { m_audit.CheckPages(sheet); });
        m_frame->RunCommand(Command::Properties);
        Report();
    }

    void uploadReviewSheet()
    {
        CPendingUpload upload;
        upload.title = u"Uploaded"_s;
        upload.version = u"1.0"_s;
        upload.file_name = u"uploaded.zip"_s;
        upload.area_ids.append(FileSheetSupport::kText); // the Areas page lets no one past without one
        CUploadReviewSheet sheet(upload, m_frame->GetTreeModel(), m_frame.get());
        sheet.show();
        QVERIFY(QTest::qWaitForWindowExposed(&sheet));
        m_audit.CheckPages(sheet);
        CMessageBox::TakeRequests();
        Report();
    }

    // Each page as the first of a wizard of its own: later pages refuse to show until the pages
    // before them are filled in, which is not what is checked here.
    void addFileWizard()
    {
        // A submission on the clipboard brings in the clipboard page.
        QGuiApplication::clipboard()->setText(u"Title=Thing\nVersion=1.0\nSiteName1=S\nSiteUrl1=http://s.example/a\n\nBody"_s);
        const int pages = CAddFileWizard(u"Add File Wizard"_s, m_frame->GetTreeModel()).GetPageCount();
        QVERIFY(pages >= 6);
        for (int index = 0; index < pages; ++index) {
            CAddFileWizard wizard(u"Add File Wizard"_s, m_frame->GetTreeModel(), m_frame.get(), index);
            wizard.show();
            QVERIFY(QTest::qWaitForWindowExposed(&wizard));
            QCOMPARE(wizard.GetActiveIndex(), index);
            m_audit.CheckActivePage(wizard);
            if (wizard.GetActivePage() == static_cast<CPropertyPage*>(wizard.GetFirstPage())) {
                wizard.GetFirstPage()->GetLocalButton()->click();
                m_audit.Check(&wizard, wizard.windowTitle() + u" / local file"_s);
            }
        }
        QGuiApplication::clipboard()->clear();
        CMessageBox::TakeRequests();
        Report();
    }

    void addFilesWizard()
    {
        CAddFilesWizard first(u"Add Files Wizard"_s);
        // The page that adds files starts as soon as it shows: it is checked on its own below.
        const int doit = first.GetPage(2) == first.GetDoitPage() ? 2 : -1;
        QVERIFY(doit >= 0);
        for (int index = 0; index < first.GetPageCount(); ++index) {
            if (index == doit)
                continue;
            CAddFilesWizard wizard(u"Add Files Wizard"_s, m_frame.get(), index);
            wizard.show();
            QVERIFY(QTest::qWaitForWindowExposed(&wizard));
            QCOMPARE(wizard.GetActiveIndex(), index);
            m_audit.CheckActivePage(wizard);
        }

        AddFilesChoice choice;
        QString log;
        CAddFilesDoitPage page(choice, log);
        page.setWindowTitle(u"Add Multiple Files / adding"_s);
        m_audit.CheckShown(page);
        CMessageBox::TakeRequests();
        Report();
    }
};

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"

// The Add File wizard driven offscreen on a demonstration library: the three sources, the
// clipboard page's jump, the refill after going back, the pages' checks and what Finish stores.

#include "adding/addfile/AddFileCommand.h"
#include "adding/addfile/AddFileSource.h"
#include "adding/addfile/CAddFileClipboardPage.h"
#include "adding/addfile/CAddFileDetailsPage.h"
#include "adding/addfile/CAddFileFinishedPage.h"
#include "adding/addfile/CAddFileFirstPage.h"
#include "adding/addfile/CAddFilesDescriptionPage.h"
#include "adding/addfile/CAddFileTitlePage.h"
#include "adding/addfile/CAddFileUrlPage.h"
#include "adding/addfile/CAddFileWizard.h"
#include "ArchiveSupport.h"
#include "CommandHostSupport.h"
#include "controls/CDateEdit.h"
#include "controls/CFileChooser.h"
#include "database/CFileRecord.h"
#include "DatabaseSupport.h"
#include "DemoSupport.h"
#include "DialogSupport.h"
#include "settings/Globals.h"
#include "ZoneSupport.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDateTime>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;
using namespace ArchiveSupport;
using namespace DatabaseSupport;
using namespace DialogSupport;
using namespace CommandHostSupport;

Q_DECLARE_METATYPE(CalendarDate)

namespace {

constexpr double kSharewareGames = 1; // "Games/Shareware Games", hosts local files
constexpr double kProgramming = 5;    // in "Utilities" and in "Uploads"

const QString kSubmission = u"Title=Tetris Deluxe\r\n"
                            u"ShortDescription=Falling blocks.\r\n"
                            u"Version=2.0\r\n"
                            u"Date=12/31/99\r\n"
                            u"Size=1,234\r\n"
                            u"ReqForm=yes\r\n"
                            u"Company=Blockworks\r\n"
                            u"Email=info@blockworks.example\r\n"
                            u"SiteName1=Blockworks\r\n"
                            u"SiteUrl1=http://blockworks.example/tetris.zip\r\n"
                            u"SiteUrl3=ftp://blockworks.example/tetris.zip\r\n"
                            u"\r\n"
                            u"Twelve levels.\r\n"
                            u"Two players.\r\n"_s;

void ClickArea(CAddFileTitlePage* page, double areaId)
{
    page->GetTree()->setCurrentItem(AreaItems(page->GetTree(), areaId).value(0));
    page->OnClickTree();
}

CalendarDate DateOf(CDateEdit* edit)
{
    CalendarDate date;
    edit->GetDate(&date.year, &date.month, &date.day);
    return date;
}

// The file added last to an area.
std::unique_ptr<CFileRecord> LastFileIn(double areaId)
{
    auto cursor = std::make_unique<CFileRecord>(&theDatabaseManager);
    if (!cursor->GetAllFilesInArea(areaId) || !cursor->SetAbsolutePosition(cursor->GetRecordCount()))
        return nullptr;
    return cursor;
}

// The next Download URL dialog: a local file hosted by the named area, or Cancel without a name.
void AnswerLocalDialog(const QString& hostArea, QString* shownFile = nullptr)
{
    CModalRun::QueueHandler([hostArea, shownFile](QDialog& dialog) {
        auto& d = static_cast<CDownloadUrlDialog&>(dialog);
        if (shownFile)
            *shownFile = d.GetFileNameEdit()->text();
        if (hostArea.isEmpty())
            return int(QDialog::Rejected);
        d.GetHostAreaList()->setCurrentIndex(d.GetHostAreaList()->findText(hostArea));
        d.accept();
        return d.result();
    });
}

} // namespace

class TestAddFile : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<CFakeCommandHost> m_host;

    std::unique_ptr<CAddFileWizard> MakeWizard()
    {
        auto wizard = std::make_unique<CAddFileWizard>(u"Add File Wizard"_s, m_host->GetTreeModel());
        wizard->show();
        return wizard;
    }

private slots:
    void initTestCase()
    {
        ZoneSupport::RequireZoneInEffect();
        TROVEPORT_OPEN_DEMO_LIBRARY(m_dir);
        CMessageBox::SetAnsweringMode(true);
        CFileChooser::SetAnsweringMode(true);
        m_host = std::make_unique<CFakeCommandHost>();
    }

    void init()
    {
        CMessageBox::TakeRequests();
        CFileChooser::TakeRequests();
        CModalRun::ClearHandlers();
        QGuiApplication::clipboard()->setText(QString());
    }

    void cleanup() { QCOMPARE(CModalRun::PendingHandlers(), 0); }

    // The New command on a submission: the clipboard page leads, No goes to the first page and
    // Back returns; Yes jumps to the title, where Back stays. Finish stores every field.
    void submissionThroughNewCommand()
    {
        QGuiApplication::clipboard()->setText(kSubmission);
        QVERIFY(m_host->Show(u"Games/Shareware Games"_s));
        const int rowsBefore = m_host->GetListedRowCount();
        CModalRun::QueueHandler([](QDialog& dialog) {
            auto& w = static_cast<CAddFileWizard&>(dialog);
            [&] {
                QVERIFY(w.GetClipboardPage());
                QCOMPARE(w.GetActivePage(), w.GetClipboardPage());
                w.GetClipboardPage()->GetNoButton()->setChecked(true);
                QVERIFY(w.PressNext());
                QCOMPARE(w.GetActivePage(), w.GetFirstPage());
                QVERIFY(w.PressBack());
                QCOMPARE(w.GetActivePage(), w.GetClipboardPage());
                w.GetClipboardPage()->GetYesButton()->setChecked(true);
                QVERIFY(w.PressNext());
                CAddFileTitlePage* title = w.GetTitlePage();
                QCOMPARE(w.GetActivePage(), title);
                ClickArea(title, kProgramming);
                ClickArea(title, kSharewareGames);
                QVERIFY(!w.PressBack()); // the jump left no history
                QCOMPARE(w.GetActivePage(), title);

                QVERIFY(w.PressNext());
                QVERIFY(w.PressNext());
                QVERIFY(w.PressNext());
                QVERIFY(w.PressNext());
                QCOMPARE(w.GetActivePage(), w.GetFinishedPage());
                w.PressFinish();
            }();
            return w.result();
        });
        RunAddFileCommand(*m_host);
        QCOMPARE(TakeTexts(), QStringList());
        QCOMPARE(m_host->Refreshes(), 1);
        m_host->Refill();
        QCOMPARE(m_host->GetListedRowCount(), rowsBefore + 1);

        const auto file = LastFileIn(kSharewareGames);
        QVERIFY(file);
        QCOMPARE((QVariantList{file->title, file->version, file->file_size, file->requires_form,
                               file->upld_name, file->upld_email, file->short_desc, file->long_desc}),
                 (QVariantList{u"Tetris Deluxe"_s, u"2.0"_s, 1234.0, 1, u"Blockworks"_s,
                               u"info@blockworks.example"_s, u"Falling blocks."_s,
                               u"Twelve levels.\nTwo players."_s}));
        // A chosen day is stored as its noon in UTC, which every zone reads as that day.
        QCOMPARE(file->file_date, quint32(ZoneSupport::Utc(1999, 12, 31, 12)));
        QCOMPARE(AreasOf(file->file_id), (QList<double>{kSharewareGames, kProgramming}));
        // SiteUrl3 follows no SiteUrl2.
        QCOMPARE(LocationsOf(file->file_id), QStringList{u"http://blockworks.example/tetris.zip"_s});
    }

    // The submission's values as the details page reads them; the date field starts on a known
    // day so that an unusable date shows as unchanged.
    void submissionValues_data()
    {
        QTest::addColumn<QString>("lines");
        QTest::addColumn<QString>("title");
        QTest::addColumn<CalendarDate>("date");
        QTest::addColumn<bool>("requiresForm");
        QTest::newRow("2003") << u"Title=A\nDate=01/15/03\nReqForm=1\n"_s << u"A"_s
                              << CalendarDate{2003, 1, 15} << true;
        QTest::newRow("short date") << u"Title=A\nDate=1/5/97\nReqForm=no\n"_s << u"A"_s
                                    << CalendarDate{2001, 1, 1} << false;
        QTest::newRow("invalid date")
            << u"Title=A\nDate=13/01/99\nReqForm=\n"_s << u"A"_s << CalendarDate{1990, 6, 1} << false;
        // Days a month does not have leave the date as it was (the date reader's own test has
        // every month length); a leap day stands.
        QTest::newRow("31 September") << u"Title=A\nDate=09/31/99\n"_s << u"A"_s << CalendarDate{1990, 6, 1} << false;
        QTest::newRow("29 February 1996") << u"Title=A\nDate=02/29/96\n"_s << u"A"_s
                                          << CalendarDate{1996, 2, 29} << false;
        // No Date at all reads as a date of another length: 1 January 2001.
        QTest::newRow("lowercase key")
            << u"title=Readme\nReqForm=Yes\n"_s << QString() << CalendarDate{2001, 1, 1} << true;
    }

    void submissionValues()
    {
        QFETCH(QString, lines);
        QFETCH(QString, title);
        QFETCH(CalendarDate, date);
        QFETCH(bool, requiresForm);
        QGuiApplication::clipboard()->setText(lines + u"SiteName1=S\nSiteUrl1=http://s.example/a\n\nBody"_s);
        auto w = MakeWizard();
        QVERIFY(w->GetClipboardPage());
        w->GetDetailsPage()->GetDateEdit()->SetDate(1990, 6, 1);
        w->GetDetailsPage()->GetRequiresFormBox()->setChecked(true);
        QVERIFY(w->PressNext());
        QCOMPARE(w->GetTitlePage()->GetTitleEdit()->text(), title);
        w->GetTitlePage()->GetTitleEdit()->setText(u"Title"_s);
        ClickArea(w->GetTitlePage(), kSharewareGames);
        QVERIFY(w->PressNext());
        QCOMPARE(DateOf(w->GetDetailsPage()->GetDateEdit()), date);
        QCOMPARE(w->GetDetailsPage()->GetRequiresFormBox()->isChecked(), requiresForm);
    }

    // A submission's "Size" is taken only when it is a size: digits, maybe grouped by commas, that
    // fit the field. Anything else leaves the size at 0.
    void submissionSizes_data()
    {
        QTest::addColumn<QString>("size");
        QTest::addColumn<QString>("shown");
        QTest::newRow("grouped") << u"1,234"_s << u"1234"_s;
        QTest::newRow("largest") << u"4294967295"_s << u"4294967295"_s;
        QTest::newRow("too large") << u"4294967296"_s << u"0"_s;
        QTest::newRow("trailing letters") << u"12abc"_s << u"0"_s;
        QTest::newRow("hexadecimal") << u"0x10"_s << u"0"_s;
        QTest::newRow("leading blank") << u" 12"_s << u"0"_s;
        QTest::newRow("exponent") << u"1e999"_s << u"0"_s;
        QTest::newRow("infinity") << u"inf"_s << u"0"_s;
        QTest::newRow("negative") << u"-5"_s << u"0"_s;
    }

    void submissionSizes()
    {
        QFETCH(QString, size);
        QFETCH(QString, shown);
        QGuiApplication::clipboard()->setText(u"Title=A\nSize="_s + size +
                                              u"\nSiteName1=S\nSiteUrl1=http://s.example/a\n\nBody"_s);
        auto w = MakeWizard();
        QVERIFY(w->PressNext());
        ClickArea(w->GetTitlePage(), kSharewareGames);
        QVERIFY(w->PressNext());
        QCOMPARE(w->GetDetailsPage()->GetSizeEdit()->text(), shown);
    }

    // The size field holds 32 bits: a larger or an empty size is refused, not wrapped round.
    void sizeFieldRefusesWhatIsNoSize()
    {
        QGuiApplication::clipboard()->setText(u"Title=A\nEmail=a@example.org\n"
                                              u"SiteName1=S\nSiteUrl1=http://s.example/a\n\nBody"_s);
        auto w = MakeWizard();
        QVERIFY(w->PressNext());
        ClickArea(w->GetTitlePage(), kSharewareGames);
        QVERIFY(w->PressNext());
        CAddFileDetailsPage* details = w->GetDetailsPage();
        QLineEdit* size = details->GetSizeEdit();
        QStringList texts;
        for (const QString& typed : {u"4294967296"_s, u"9999999999"_s, QString()}) {
            size->setText(typed);
            QVERIFY(!w->PressNext());
            texts += TakeTexts();
            QCOMPARE(w->GetActivePage(), details);
        }
        QCOMPARE(texts, QStringList(3, u"Please enter a whole number of bytes from 0 to 4294967295."_s));
        size->setText(u"4294967295"_s);
        QVERIFY(w->PressNext());
        QCOMPARE(details->GetFileSize(), 4294967295u);
    }

    // A web file: the address as typed is the one location; the pages refuse what they must.
    void webFileAndChecks()
    {
        auto w = MakeWizard();
        QVERIFY(!w->GetClipboardPage());
        CAddFileFirstPage* first = w->GetFirstPage();
        QCOMPARE(w->GetActivePage(), first);
        QVERIFY(first->GetWebButton()->isChecked());
        QVERIFY(first->GetLocalButton()->isEnabled()); // the demonstration hosts local files
        QVERIFY(!first->GetNameEdit()->isEnabled());
        QVERIFY(!w->PressBack());
        first->GetUrlEdit()->setText(u"not checked here"_s);
        QVERIFY(w->PressNext());

        CAddFileTitlePage* title = w->GetTitlePage();
        QCOMPARE(title->GetTitleEdit()->text(), QString());
        QTreeWidgetItem* top = title->GetTree()->topLevelItem(0);
        QCOMPARE(title->GetTree()->topLevelItemCount(), 1);
        QVERIFY(top->isExpanded());
        for (int i = 0; i < top->childCount(); ++i)
            QVERIFY(top->child(i)->data(0, AreaTree::kNodeTypeRole).toUInt() == kNodeGroup);
        title->GetTitleEdit()->setText(u"   "_s);
        QVERIFY(!w->PressNext());
        title->GetTitleEdit()->setText(u" Web thing "_s);
        QVERIFY(!w->PressNext());
        // An area in two groups is marked in both; a second click takes it out again.
        ClickArea(title, kProgramming);
        const auto items = AreaItems(title->GetTree(), kProgramming);
        QCOMPARE(items.size(), 2);
        QCOMPARE(items[1]->checkState(0), Qt::Checked);
        ClickArea(title, kProgramming);
        QCOMPARE(items[0]->checkState(0), Qt::Unchecked);
        QCOMPARE(items[1]->checkState(0), Qt::Unchecked);
        QCOMPARE(title->GetAreaIds(), QList<double>());
        QVERIFY(!w->PressNext());
        QCOMPARE(TakeTexts(), (QStringList{u"Please enter a valid file title."_s,
                                           u"Please select a file area to receive the file."_s,
                                           u"Please select a file area to receive the file."_s}));
        ClickArea(title, kSharewareGames);
        QVERIFY(w->PressNext());
        QCOMPARE(title->GetFileTitle(), u"Web thing"_s);

        CAddFileDetailsPage* details = w->GetDetailsPage();
        QCOMPARE(details->GetSizeEdit()->text(), u"0"_s);
        QCOMPARE(details->GetVersionEdit()->text(), QString());
        QVERIFY(!w->PressNext());
        details->GetEmailEdit()->setText(u"a b@example.com"_s);
        QVERIFY(!w->PressNext());
        details->GetEmailEdit()->setText(u"nobody"_s);
        QVERIFY(!w->PressNext());
        QCOMPARE(TakeTexts(),
                 (QStringList{u"Invalid e-mail address."_s, u"Illegal characters in e-mail address."_s,
                              u"Invalid e-mail address."_s}));
        details->GetEmailEdit()->setText(u" me@example.com "_s);
        QVERIFY(w->PressNext());
        QCOMPARE(details->GetEmailAddress(), u"me@example.com"_s);
        QCOMPARE(w->GetDescriptionPage()->GetBriefEdit()->text(), QString());
        QVERIFY(w->PressNext());

        CAddFileUrlPage* urls = w->GetUrlPage();
        QCOMPARE(Items(urls->GetList()), QStringList{u"not checked here"_s});
        urls->GetList()->setCurrentRow(0);
        CMessageBox::QueueAnswer(QMessageBox::No);
        urls->OnRemove();
        QCOMPARE(urls->GetList()->count(), 1);
        CMessageBox::QueueAnswer(QMessageBox::Yes);
        urls->OnRemove();
        QCOMPARE(urls->GetList()->count(), 0);
        QVERIFY(!w->PressNext());
        QCOMPARE(TakeTexts(), (QStringList{u"Are you sure you want to delete this item?"_s,
                                           u"Are you sure you want to delete this item?"_s,
                                           u"Please enter at least one valid download URL."_s}));
        // Add, then Edit in place.
        for (const QString& url : {u"http://a.example/x.zip"_s, u"http://b.example/y.zip"_s}) {
            AnswerUrlDialog(url);
            urls->OnAdd();
        }
        urls->GetList()->setCurrentRow(0);
        AnswerUrlDialog(u"https://c.example/x.zip"_s);
        urls->OnEdit();
        QCOMPARE(urls->GetLocations(),
                 (QStringList{u"https://c.example/x.zip"_s, u"http://b.example/y.zip"_s}));
        QVERIFY(w->PressNext());
        QCOMPARE(w->GetActivePage(), w->GetFinishedPage());
    }

    // A local archive fills the pages from the file and opens the Download URL dialog on it; going
    // back to the first page refills the pages but keeps the areas; Finish stores the local copy.
    void localFileAndRefill()
    {
        const QString path = m_dir.filePath(u"pkg.zip"_s);
        QVERIFY(WriteArchive(path, {{"FILE_ID.DIZ", "A small package.\r\n"},
                                    {"DESC.SDI", "Package in brief\r\nSecond line\r\n"}}));
        QFile archive(path);
        QVERIFY(archive.open(QIODevice::ReadWrite));
        // Late on the 5th in UTC: already the 6th in Berlin, yet the day of that time is the 5th, as
        // the file list would show the time itself.
        QVERIFY(archive.setFileTime(QDateTime(QDate(2004, 3, 5), QTime(23, 30), Qt::UTC),
                                    QFileDevice::FileModificationTime));
        archive.close();

        auto w = MakeWizard();
        CAddFileFirstPage* first = w->GetFirstPage();
        first->GetLocalButton()->click();
        QVERIFY(first->GetNameEdit()->isEnabled());
        QVERIFY(!first->GetUrlEdit()->isEnabled());
        CFileChooser::QueueAnswer(path);
        first->GetBrowseButton()->click();
        QCOMPARE(first->GetNameEdit()->text(), path);
        QVERIFY(w->PressNext());

        CAddFileTitlePage* title = w->GetTitlePage();
        QCOMPARE(title->GetTitleEdit()->text(), u"pkg.zip"_s);
        title->GetTitleEdit()->setText(u"Typed over"_s);
        ClickArea(title, kSharewareGames);
        QVERIFY(w->PressNext());
        CAddFileDetailsPage* details = w->GetDetailsPage();
        QCOMPARE(details->GetSizeEdit()->text(), QString::number(QFileInfo(path).size()));
        QCOMPARE(DateOf(details->GetDateEdit()), (CalendarDate{2004, 3, 5}));
        details->GetEmailEdit()->setText(u"me@example.com"_s);
        QVERIFY(w->PressNext());
        QCOMPARE(w->GetDescriptionPage()->GetBriefEdit()->text(), u"Package in brief"_s);
        QCOMPARE(w->GetDescriptionPage()->GetDetailedEdit()->toPlainText().trimmed(), u"A small package."_s);

        QString shownFile;
        AnswerLocalDialog(QString(), &shownFile);
        QVERIFY(w->PressNext());
        QCoreApplication::processEvents(); // the dialog opens once the page shows
        QCOMPARE(shownFile, path);
        CAddFileUrlPage* urls = w->GetUrlPage();
        QCOMPARE(urls->GetList()->count(), 0);
        QVERIFY(!w->PressNext());
        QCOMPARE(TakeTexts(), QStringList{u"Please enter at least one valid download URL."_s});
        urls->GetList()->addItem(u"http://kept.example/until-refill"_s);

        for (int i = 0; i < 4; ++i)
            QVERIFY(w->PressBack());
        QCOMPARE(w->GetActivePage(), first);
        QVERIFY(w->PressNext());
        QCOMPARE(title->GetTitleEdit()->text(), u"pkg.zip"_s);
        QCOMPARE(title->GetAreaIds(), QList<double>{kSharewareGames});
        QCOMPARE(AreaItems(title->GetTree(), kSharewareGames).value(0)->checkState(0), Qt::Checked);
        QVERIFY(w->PressNext());
        QCOMPARE(details->GetEmailEdit()->text(), QString()); // refilled
        details->GetEmailEdit()->setText(u"me@example.com"_s);
        QVERIFY(w->PressNext());
        AnswerLocalDialog(u"Shareware Games"_s);
        CMessageBox::QueueAnswer(QMessageBox::Yes); // copy into the area's directory
        QVERIFY(w->PressNext());
        QCoreApplication::processEvents();
        QCOMPARE(urls->GetLocations(), QStringList{u"local://1/pkg.zip"_s});
        QCOMPARE(TakeTexts().size(), 1);
        QVERIFY(w->PressNext());
        w->PressFinish();
        QCOMPARE(w->result(), int(QDialog::Accepted));

        const auto file = LastFileIn(kSharewareGames);
        QVERIFY(file);
        QCOMPARE((QVariantList{file->title, file->short_desc, file->long_desc, file->file_size}),
                 (QVariantList{u"pkg.zip"_s, u"Package in brief"_s, u"A small package."_s,
                               double(QFileInfo(path).size())}));
        QCOMPARE(file->file_date, quint32(ZoneSupport::Utc(2004, 3, 5, 12)));
        QCOMPARE(LocationsOf(file->file_id), QStringList{u"local://1/pkg.zip"_s});
        const FileAreaRecord* area = theFileAreaTable.FindArea(quint32(kSharewareGames));
        QVERIFY(area);
        QVERIFY(QFileInfo::exists(area->Path() + u"/pkg.zip"_s));
    }

    // The commit stops at the first refusal: a location listed twice keeps the ones before it.
    void storeStopsAtFirstRefusal()
    {
        CFileRecord record(&theDatabaseManager);
        record.title = u"Twice"_s;
        QVERIFY(!StoreNewFile(record, {kSharewareGames, kProgramming},
                              {u"http://x.example/1"_s, u"http://x.example/1"_s, u"http://x.example/2"_s}));
        QVERIFY(record.file_id > 0);
        QCOMPARE(LocationsOf(record.file_id), QStringList{u"http://x.example/1"_s});
        QCOMPARE(AreasOf(record.file_id), (QList<double>{kSharewareGames, kProgramming}));
    }

    // A file the site refuses (its location here) is told, the wizard stays and nothing of the file
    // is stored; Finish again, once the site allows it, stores it whole.
    void refusedFinishIsToldAndKept()
    {
        QGuiApplication::clipboard()->setText(QString(kSubmission).replace(u"Tetris Deluxe"_s, u"Refused Tetris"_s));
        DatabaseSupport::COtherProgram site(theDatabaseManager.GetDatabaseFile());
        QVERIFY(site.RefuseWrites(u"INSERT"_s, u"download"_s, u"true"_s, u"no new locations"_s));
        const int before = theDatabaseManager.GetNumberOfFilesInArea(kSharewareGames);
        auto w = MakeWizard();
        w->GetClipboardPage()->GetYesButton()->setChecked(true);
        QVERIFY(w->PressNext());
        ClickArea(w->GetTitlePage(), kSharewareGames);
        for (int page = 0; page < 4; ++page)
            QVERIFY(w->PressNext());
        QCOMPARE(w->GetActivePage(), w->GetFinishedPage());
        w->PressFinish();
        QVERIFY(w->isVisible());
        const QStringList texts = TakeTexts();
        QCOMPARE(texts.size(), 1);
        QVERIFY2(texts[0].startsWith(u"The file \"Refused Tetris\" could not be added to the library:\n"_s) &&
                     texts[0].contains(u"no new locations"_s),
                 qPrintable(texts[0]));
        QCOMPARE(theDatabaseManager.GetNumberOfFilesInArea(kSharewareGames), before);

        QVERIFY(site.AllowWrites(u"download"_s));
        w->PressFinish();
        QVERIFY(!w->isVisible());
        QCOMPARE(TakeTexts(), QStringList());
        const auto file = LastFileIn(kSharewareGames);
        QVERIFY(file);
        QCOMPARE(file->title, u"Refused Tetris"_s);
        QCOMPARE(LocationsOf(file->file_id), QStringList{u"http://blockworks.example/tetris.zip"_s});
    }
};

QTEST_MAIN(TestAddFile)
#include "tst_addfile.moc"

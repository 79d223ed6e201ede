// The Scan for new files dialog, its review sheet and the command, offscreen on a demonstration
// library whose "Incoming Uploads" area each case fills with uploads of its own.

#include "CheckerSupport.h"
#include "CommandHostSupport.h"
#include "controls/CFileChooser.h"
#include "controls/CHelpViewer.h"
#include "controls/CHighlightList.h"
#include "DatabaseSupport.h"
#include "DemoSupport.h"
#include "DialogSupport.h"
#include "properties/CFileGeneralPage.h"
#include "settings/Registry.h"
#include "TestSupport.h"
#include "uploads/CScanNewFilesDialog.h"
#include "uploads/CUploadAreasPage.h"
#include "uploads/CUploadReviewSheet.h"
#include "uploads/CUploadUrlsPage.h"
#include "uploads/ScanForNewFilesCommand.h"
#include "uploads/UploadScan.h"
#include "ZoneSupport.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>

using namespace DialogSupport;
using namespace TestSupport;

namespace {

constexpr quint32 kIncoming = 7;    // "Uploads/Incoming Uploads"
constexpr quint32 kProgramming = 5; // in "Utilities" and in "Uploads"
constexpr int kVirusColumn = 1;

} // namespace

class TestScanDialog : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<CommandHostSupport::CFakeCommandHost> m_host;
    std::unique_ptr<DatabaseSupport::COtherProgram> m_site;

    static QString Incoming(const QString& name = QString()) { return FindAreaPath(kIncoming) + u'/' + name; }

    // Uploads "<name>.txt" titled "Up <name>" in the incoming area, as the scan lists them.
    CPendingUploadArray Scan(const QStringList& names)
    {
        for (const QString& name : names) {
            WriteFile(Incoming(name + u".txt"_s), "data");
            WriteFile(Incoming(name + u".txt.desc"_s),
                      "Filename: " + name.toUtf8() + ".txt\nTitle: Up " + name.toUtf8() +
                          "\nShortDesc: Brief\nCompany: Ann\nEmail: ann@example.org\n\nBody\n");
        }
        CPendingUploadArray uploads;
        ScanUploadDirectory(kIncoming, Incoming(), uploads);
        return uploads;
    }
    static QStringList Rows(const CScanNewFilesDialog& dialog)
    {
        QStringList names;
        for (int row = 0; row < dialog.GetList()->topLevelItemCount(); ++row)
            names.append(dialog.GetList()->topLevelItem(row)->text(0));
        return names;
    }
    // The posted file's areas and locations, "" when no file has the title.
    QString Stored(const QString& title)
    {
        const QVariant id = m_site->Value(u"SELECT file_id FROM files WHERE title = ?"_s, {title});
        auto list = [&](const char* column, const char* table) {
            return m_site
                ->Value(DatabaseSupport::JoinedValues(QLatin1String(column),
                                                      QLatin1String(table) + u" WHERE file_id = ?"_s),
                        {id})
                .toString();
        };
        return id.isNull() ? QString() : list("area_id", "file_area") + u' ' + list("url", "download");
    }
    // The next scan dialog, driven by drive, which ends it.
    static void AnswerScanDialog(const std::function<int(CScanNewFilesDialog&)>& drive)
    {
        CModalRun::QueueHandler([drive](QDialog& shown) {
            auto* dialog = qobject_cast<CScanNewFilesDialog*>(&shown);
            return dialog ? drive(*dialog) : int(QDialog::Rejected);
        });
    }
    // Each row's name and virus check, "a.txt: clean".
    static QStringList Verdicts(const CScanNewFilesDialog& dialog)
    {
        QStringList rows;
        for (int row = 0; row < dialog.GetList()->topLevelItemCount(); ++row) {
            const QTreeWidgetItem* item = dialog.GetList()->topLevelItem(row);
            rows.append(item->text(0) + u": "_s + item->text(kVirusColumn));
        }
        return rows;
    }
    // The next review sheet, driven by drive, which ends it.
    static void AnswerSheet(const std::function<void(CUploadReviewSheet&)>& drive)
    {
        CModalRun::QueueHandler([drive](QDialog& shown) {
            drive(static_cast<CUploadReviewSheet&>(shown));
            return shown.result();
        });
    }

private slots:
    void initTestCase()
    {
        ZoneSupport::RequireZoneInEffect();
        TROVEPORT_OPEN_DEMO_LIBRARY(m_dir);
        // A real checker would take seconds an upload.
        QCOMPARE(RegWriteString(u"VirusChecker"_s, QString(), g_pszRegKey), kRegSuccess);
        // The uploads each case writes count as having arrived long ago.
        SetUploadScanClock([] { return QDateTime::currentSecsSinceEpoch() + 3600; });
        m_site = std::make_unique<DatabaseSupport::COtherProgram>(theDatabaseManager.GetDatabaseFile());
        QVERIFY(m_site->IsOpen());
        CMessageBox::SetAnsweringMode(true);
        CFileChooser::SetAnsweringMode(true);
        m_host = std::make_unique<CommandHostSupport::CFakeCommandHost>();
    }

    void init()
    {
        QCOMPARE(RegWriteString(u"VirusChecker"_s, QString(), g_pszRegKey), kRegSuccess);
        // Only the case's own uploads are pending.
        for (quint32 area : {kIncoming, kProgramming}) {
            QDir dir(FindAreaPath(area));
            for (const QString& name : dir.entryList({u"*.desc"_s}, QDir::Files))
                QVERIFY(dir.remove(name));
        }
        // Nor is anything posted by an earlier case: its file ids would come again.
        for (const QString& table : {u"download"_s, u"file_area"_s})
            QVERIFY(m_site->Run(u"DELETE FROM %1 WHERE file_id IN (SELECT file_id FROM files WHERE title LIKE 'Up %')"_s.arg(table)));
        QVERIFY(m_site->Run(u"DELETE FROM files WHERE title LIKE 'Up %'"_s));
        QVERIFY(m_site->AllowWrites(u"files"_s));
        CModalRun::ClearHandlers();
        CMessageBox::TakeRequests();
    }

    void cleanup() { QCOMPARE(CModalRun::PendingHandlers(), 0); }

    void listShowsEveryUpload()
    {
        WriteFile(Incoming(u"b.txt"_s), "data");
        WriteFile(Incoming(u"b.txt.desc"_s), "Filename: ../b.txt\nTitle: Up b\n");
        CPendingUploadArray uploads = Scan({u"a"_s});
        // Late on the 5th in UTC, the 6th in Berlin: the day shown is the 5th in every zone.
        uploads[0].file_date = quint32(ZoneSupport::Utc(2024, 3, 5, 23, 30));
        CScanNewFilesDialog dialog(uploads, m_host->GetTreeModel());
        QCOMPARE(Rows(dialog), (QStringList{u"a.txt"_s, uploads[1].unsafe_reason}));
        QTreeWidgetItem* unsafe = dialog.GetList()->topLevelItem(1);
        QVERIFY(!unsafe->icon(0).isNull());
        QVERIFY(unsafe->data(0, Qt::AccessibleTextRole).toString().contains(uploads[1].unsafe_reason));
        QCOMPARE(dialog.GetList()->topLevelItem(0)->text(3),
                 QLocale::system().toString(QDate(2024, 3, 5), QLocale::ShortFormat));
        for (QPushButton* button : dialog.findChildren<QPushButton*>())
            QCOMPARE(button->accessibleName(), button->text().remove(u'&'));
        dialog.GetHelpButton()->click();
        QCOMPARE(CHelpViewer::TakeShown().value(0).topic, 59u);

        // Neither Post nor Review posts it: both say why, and no sheet opens.
        Highlight(dialog.GetList(), {1});
        dialog.OnPost();
        dialog.OnReview();
        const QStringList texts = TakeTexts();
        QCOMPARE(texts.size(), 2);
        QVERIFY(texts[0].startsWith(uploads[1].unsafe_reason) && texts[1] == texts[0]);
        QCOMPARE(Stored(u"Up b"_s), QString());
        QCOMPARE(Rows(dialog).size(), 2);
    }

    // An upload exchanged after the scan is not posted: its row turns into the warning, the user
    // is told why, and the walk goes on.
    void postRefusesAnUploadChangedSinceTheScan()
    {
        CPendingUploadArray uploads = Scan({u"a"_s, u"b"_s});
        WriteFile(Incoming(u"new"_s), "never checked");
        QVERIFY(QFile::remove(Incoming(u"a.txt"_s)) &&
                QFile::rename(Incoming(u"new"_s), Incoming(u"a.txt"_s)));
        CScanNewFilesDialog dialog(uploads, m_host->GetTreeModel());
        Highlight(dialog.GetList(), {0, 1});
        dialog.OnPost();

        const QString reason = Incoming(u"a.txt has changed since it was checked: scan again to post it."_s);
        const QList<CMessageBox::Request> requests = CMessageBox::TakeRequests();
        QCOMPARE(requests.size(), 1);
        QVERIFY2(requests[0].text.startsWith(reason + u"\n\n"_s), qPrintable(requests[0].text));
        QCOMPARE(Rows(dialog), QStringList{reason});
        QVERIFY(!dialog.GetList()->topLevelItem(0)->icon(0).isNull());
        QCOMPARE(Stored(u"Up a"_s), QString());
        QCOMPARE(Stored(u"Up b"_s), u"7 local://7/b.txt"_s);
        QVERIFY(QFile::exists(Incoming(u"a.txt.desc"_s)));
        // Nor does a second try post it.
        dialog.OnPost();
        QCOMPARE(TakeTexts().size(), 1);
        QCOMPARE(Stored(u"Up a"_s), QString());
    }

    void postWalksTheHighlightedRows_data()
    {
        QTest::addColumn<QString>("refused");
        QTest::addColumn<QStringList>("left");
        QTest::addColumn<int>("messages");
        QTest::newRow("all posted") << QString() << QStringList{u"d.txt"_s} << 0;
        QTest::newRow("second refused") << u"Up b"_s << QStringList{u"b.txt"_s, u"d.txt"_s} << 1;
    }
    void postWalksTheHighlightedRows()
    {
        QFETCH(QString, refused);
        QFETCH(QStringList, left);
        QVERIFY(
            m_site->RefuseWrites(u"INSERT"_s, u"files"_s, u"NEW.title = '%1'"_s.arg(refused), u"refused"_s));
        CPendingUploadArray uploads = Scan({u"a"_s, u"b"_s, u"c"_s, u"d"_s});
        CScanNewFilesDialog dialog(uploads, m_host->GetTreeModel());
        Highlight(dialog.GetList(), {0, 1, 2});
        dialog.OnPost();

        QFETCH(int, messages);
        QCOMPARE(TakeTexts(), QStringList(messages, u"Error adding file to database."_s));
        QCOMPARE(Rows(dialog), left);
        QCOMPARE(uploads.size(), left.size());
        QCOMPARE(uploads[0].file_name, left[0]);
        // What was refused stays highlighted; the row that was never highlighted stays so.
        QCOMPARE(dialog.GetList()->HighlightedRows(), refused.isEmpty() ? QList<int>() : QList<int>{0});
        for (const QString& name : {u"a"_s, u"b"_s, u"c"_s}) {
            const bool posted = !left.contains(name + u".txt"_s);
            QCOMPARE(Stored(u"Up "_s + name), posted ? u"7 local://7/%1.txt"_s.arg(name) : QString());
            QCOMPARE(QFile::exists(Incoming(name + u".txt.desc"_s)), !posted);
            QVERIFY(QFile::exists(Incoming(name + u".txt"_s)));
        }
        QCOMPARE(Stored(u"Up d"_s), QString());
    }

    void reviewCancelStopsTheWalk()
    {
        CPendingUploadArray uploads = Scan({u"a"_s, u"b"_s});
        CScanNewFilesDialog dialog(uploads, m_host->GetTreeModel());
        Highlight(dialog.GetList(), {0, 1});
        AnswerSheet([](CUploadReviewSheet& sheet) {
            sheet.GetGeneralPage()->GetTitleEdit()->setText(u"Changed"_s);
            sheet.PressCancel();
        });
        AnswerSheet([](CUploadReviewSheet& sheet) { sheet.PressOK(); });
        dialog.OnReview();
        QCOMPARE(CModalRun::PendingHandlers(), 1);
        CModalRun::ClearHandlers();
        QCOMPARE(Rows(dialog).size(), 2);
        QCOMPARE(uploads[0].title, u"Up a"_s);
    }

    // Area changes cannot be cancelled: OK becomes Close, Cancel and Escape do nothing, and Close
    // posts the upload into both areas.
    void reviewAfterAnAreaChangeCanOnlyClose()
    {
        CPendingUploadArray uploads = Scan({u"a"_s});
        CScanNewFilesDialog dialog(uploads, m_host->GetTreeModel());
        Highlight(dialog.GetList(), {0});
        AnswerSheet([](CUploadReviewSheet& sheet) {
            QVERIFY(sheet.SetActivePage(2));
            QTreeWidget* tree = sheet.GetAreasPage()->GetTree();
            QCOMPARE(tree->topLevelItem(0)->text(0), u"Troveport"_s);
            QCOMPARE(AreaItems(tree, kIncoming).value(0)->checkState(0), Qt::Checked);
            const QList<QTreeWidgetItem*> programming = AreaItems(tree, kProgramming);
            QCOMPARE(programming.size(), 2);
            tree->setCurrentItem(programming[1]);
            QTest::keyClick(tree, Qt::Key_Space);
            QCOMPARE(programming[0]->checkState(0), Qt::Checked);
            QPushButton* ok = sheet.GetButton(CPropertySheet::kOkButton);
            QCOMPARE(ok->text(), u"Close"_s);
            QVERIFY(!sheet.GetButton(CPropertySheet::kCancelButton)->isEnabled());
            QTest::keyClick(&sheet, Qt::Key_Escape);
            QVERIFY(sheet.isVisible());
            ok->click();
        });
        dialog.OnReview();
        QVERIFY(Rows(dialog).isEmpty());
        QCOMPARE(Stored(u"Up a"_s), u"5,7 local://7/a.txt"_s);
    }

    // A double-click on one of several highlighted rows reviews them all, from the top; a post that
    // fails after review is silent and keeps the edits.
    void doubleClickReviewsEveryHighlightedRow()
    {
        QVERIFY(m_site->RefuseWrites(u"INSERT"_s, u"files"_s, u"NEW.title = 'Refused'"_s, u"refused"_s));
        CPendingUploadArray uploads = Scan({u"a"_s, u"b"_s, u"c"_s});
        CScanNewFilesDialog dialog(uploads, m_host->GetTreeModel());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        Highlight(dialog.GetList(), {0, 2});
        QStringList reviewed;
        for (const QString& title : {u"Up a2"_s, u"Refused"_s}) {
            AnswerSheet([&reviewed, title](CUploadReviewSheet& sheet) {
                reviewed.append(sheet.GetGeneralPage()->GetTitleEdit()->text());
                sheet.GetGeneralPage()->GetTitleEdit()->setText(title);
                sheet.PressOK();
            });
        }
        QWidget* viewport = dialog.GetList()->viewport();
        const QRect row = dialog.GetList()->visualItemRect(dialog.GetList()->topLevelItem(2));
        QTest::mouseDClick(dialog.windowHandle(), Qt::LeftButton, {}, viewport->mapTo(&dialog, row.center()));
        QCOMPARE(reviewed, (QStringList{u"Up a"_s, u"Up c"_s}));
        QCOMPARE(TakeTexts(), QStringList());
        QCOMPARE(Rows(dialog), (QStringList{u"b.txt"_s, u"c.txt"_s}));
        QCOMPARE(uploads[1].title, u"Refused"_s);
        QCOMPARE(Stored(u"Up a2"_s), u"7 local://7/a.txt"_s);
    }

    void urlsAndAreasPages()
    {
        CPendingUploadArray uploads = Scan({u"a"_s});
        CPendingUpload& upload = uploads[0];
        const QStringList scanned = upload.urls;
        auto run = [&](const std::function<void(CUploadReviewSheet&)>& drive) {
            CUploadReviewSheet sheet(upload, m_host->GetTreeModel());
            sheet.show();
            drive(sheet);
        };
        run([&](CUploadReviewSheet& sheet) {
            QVERIFY(sheet.SetActivePage(3));
            CUploadUrlsPage* page = sheet.GetUrlsPage();
            CModalRun::QueueHandler([](QDialog&) { return int(QDialog::Rejected); });
            page->OnAdd();
            QCOMPARE(Items(page->GetList()), scanned);
            AnswerUrlDialog(u"http://b.example/a.txt"_s);
            page->OnAdd();
            page->GetList()->setCurrentRow(1); // the sorted list: the local location last
            CMessageBox::QueueAnswer(QMessageBox::No);
            page->OnRemove();
            CMessageBox::QueueAnswer(QMessageBox::Yes);
            page->OnRemove();
            QCOMPARE(Items(page->GetList()), QStringList{u"http://b.example/a.txt"_s});
            QCOMPARE(upload.urls, scanned); // nothing before OK
            page->GetList()->setCurrentRow(0);
            page->OnRemove();
            QVERIFY(!sheet.SetActivePage(0));
            AnswerUrlDialog(u"http://c.example/a.txt"_s);
            page->OnAdd();
            sheet.PressOK();
        });
        QCOMPARE(TakeTexts(), (QStringList{u"Are you sure you want to remove this URL?"_s,
                                           u"Are you sure you want to remove this URL?"_s,
                                           u"Are you sure you want to remove this URL?"_s,
                                           u"Please add at least one URL for this file."_s}));
        QCOMPARE(upload.urls, QStringList{u"http://c.example/a.txt"_s});

        run([&](CUploadReviewSheet& sheet) {
            QVERIFY(sheet.SetActivePage(2));
            QTreeWidget* tree = sheet.GetAreasPage()->GetTree();
            tree->setCurrentItem(AreaItems(tree, kIncoming).value(0));
            sheet.GetAreasPage()->OnToggle();
            QVERIFY(!sheet.SetActivePage(3));
            sheet.PressOK();
            QVERIFY(sheet.isVisible());
        });
        QCOMPARE(TakeTexts(), (QStringList(2, u"You must select the file into at least one file area."_s)));
        QVERIFY(upload.area_ids.isEmpty());
    }

    void deleteAsksOnceAndKeepsTheDatabase()
    {
        CPendingUploadArray uploads = Scan({u"a"_s, u"b"_s, u"c"_s});
        CScanNewFilesDialog dialog(uploads, m_host->GetTreeModel());
        const QVariant files = m_site->Value(u"SELECT count(*) FROM files"_s);
        Highlight(dialog.GetList(), {});
        dialog.OnDelete();
        QCOMPARE(TakeTexts(), QStringList());
        Highlight(dialog.GetList(), {0, 1});
        CMessageBox::QueueAnswer(QMessageBox::No);
        dialog.OnDelete();
        QCOMPARE(Rows(dialog).size(), 3);
        CMessageBox::QueueAnswer(QMessageBox::Yes);
        dialog.OnDelete();
        QCOMPARE(TakeTexts(), QStringList(2, u"Are you sure you want to delete the highlighted file(s)?"_s));
        QCOMPARE(Rows(dialog), QStringList{u"c.txt"_s});
        QCOMPARE(uploads.size(), 1);
        for (const QString& name : {u"a.txt"_s, u"a.txt.desc"_s, u"b.txt"_s, u"b.txt.desc"_s})
            QVERIFY2(!QFile::exists(Incoming(name)), qPrintable(name));
        QVERIFY(QFile::exists(Incoming(u"c.txt.desc"_s)));
        QCOMPARE(m_site->Value(u"SELECT count(*) FROM files"_s), files);
    }

    void commandShowsWhatTheScanFound()
    {
        bool shown = false;
        AnswerScanDialog([&shown](CScanNewFilesDialog&) {
            shown = true;
            return int(QDialog::Rejected);
        });
        RunScanForNewFilesCommand(*m_host);
        const QList<CMessageBox::Request> requests = CMessageBox::TakeRequests();
        QCOMPARE(requests.size(), 1);
        QCOMPARE(requests[0].text, u"No new files found to process."_s);
        QVERIFY(!requests[0].hadOwner);
        QVERIFY(!shown);
        CModalRun::ClearHandlers();

        // Posted uploads show in the area's list once the dialog closes.
        Scan({u"a"_s});
        QVERIFY(m_host->Show(u"Uploads/Incoming Uploads"_s));
        const int refreshes = m_host->Refreshes();
        QStringList listed;
        AnswerScanDialog([&listed](CScanNewFilesDialog& dialog) {
            listed = Rows(dialog);
            Highlight(dialog.GetList(), {0});
            dialog.OnPost();
            dialog.GetCloseButton()->click();
            return dialog.result();
        });
        RunScanForNewFilesCommand(*m_host);
        QCOMPARE(listed, QStringList{u"a.txt"_s});
        QCOMPARE(m_host->Refreshes(), refreshes + 1);
        m_host->Refill();
        QCOMPARE(m_host->GetListedRowCount(), 1);
        QCOMPARE(m_host->RowOf(u"Up a"_s), 0);
    }

    // The checker's verdict shows in its own column, read out with the row; only a clean upload,
    // or one scanned without a checker, is posted, and the others say why and stay listed.
    void verdictDecidesWhatCanBePosted_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("refusal"); // after the upload's path; empty: posted
        using Kind = VirusVerdict::Kind;
        QTest::newRow("clean") << int(Kind::Clean) << u"clean"_s << QString();
        QTest::newRow("no checker") << int(Kind::NoChecker) << u"no checker"_s << QString();
        QTest::newRow("infected") << int(Kind::Infected) << u"infected"_s
                                  << u" was reported infected by the virus checker (exit code 1).\n\n"
                                     u"This upload cannot be posted: delete it."_s;
        QTest::newRow("not checked") << int(Kind::NotChecked) << u"not checked"_s
                                     << u" could not be completed: the check was cancelled.\n\nThis upload "
                                        u"cannot be posted. Delete it, or scan again once the virus checker "
                                        u"works."_s;
    }
    void verdictDecidesWhatCanBePosted()
    {
        QFETCH(int, kind);
        QFETCH(QString, shown);
        QFETCH(QString, refusal);
        CPendingUploadArray uploads = Scan({u"a"_s});
        uploads[0].virus = {VirusVerdict::Kind(kind), 1, u"the check was cancelled."_s};
        CScanNewFilesDialog dialog(uploads, m_host->GetTreeModel());
        const QTreeWidgetItem* row = dialog.GetList()->topLevelItem(0);
        QCOMPARE(row->text(kVirusColumn), shown);
        QVERIFY(row->data(kVirusColumn, Qt::AccessibleTextRole).toString().startsWith(u"Virus check: "_s + shown));
        QCOMPARE(dialog.GetList()->headerItem()->text(kVirusColumn), u"Virus check"_s);

        Highlight(dialog.GetList(), {0});
        if (!refusal.isEmpty()) {
            // Neither Review nor Post gets as far as the sheet or the database.
            AnswerSheet([](CUploadReviewSheet& sheet) { sheet.PressOK(); });
            dialog.OnReview();
            QCOMPARE(CModalRun::PendingHandlers(), 1);
            CModalRun::ClearHandlers();
        }
        dialog.OnPost();
        const QStringList texts = TakeTexts();
        const QString path = Incoming(u"a.txt"_s);
        if (refusal.isEmpty()) {
            QCOMPARE(texts, QStringList());
            QCOMPARE(Stored(u"Up a"_s), u"7 local://7/a.txt"_s);
            return;
        }
        QCOMPARE(texts.size(), 2);
        QVERIFY2(texts[0].endsWith(path + refusal), qPrintable(texts[0]));
        QCOMPARE(texts[1], texts[0]);
        QCOMPARE(Stored(u"Up a"_s), QString());
        QCOMPARE(Rows(dialog), QStringList{u"a.txt"_s});
    }

    // The command checks the uploads beside the window: the dialog shows each verdict, and Cancel
    // stops the checker at work, whose upload is then listed as not checked.
    void commandChecksBesideTheWindow()
    {
        const QString script = m_dir.filePath(u"checker.sh"_s), marker = m_dir.filePath(u"sleeping"_s);
        QFile::remove(marker);
        // The file is the last argument; its first bytes decide.
        const QByteArray body = "for f; do :; done\n"
                                "case $(head -c 5 \"$f\") in\n"
                                "VIRUS) exit 1 ;;\n"
                                "SLEEP) touch '" +
                                QFile::encodeName(marker) + "'; sleep 30 ;;\nesac\nexit 0";
        QVERIFY(CheckerSupport::WriteCheckerScript(script, body));
        Scan({u"a"_s, u"b"_s, u"c"_s});
        WriteFile(Incoming(u"b.txt"_s), "VIRUS");
        WriteFile(Incoming(u"c.txt"_s), "SLEEP");
        QCOMPARE(RegWriteString(u"VirusChecker"_s, script, g_pszRegKey), kRegSuccess);
        QCOMPARE(RegWriteDword(u"VirusExitCode"_s, 1, g_pszRegKey), kRegSuccess);
        CModalRun::QueueProgressHandler([marker](QDialog& progress) {
            QDeadlineTimer started(20000);
            while (!QFile::exists(marker) && !started.hasExpired())
                QTest::qWait(20);
            progress.reject();
            return int(QDialog::Rejected);
        });
        QStringList verdicts;
        QString reason;
        AnswerScanDialog([&](CScanNewFilesDialog& dialog) {
            verdicts = Verdicts(dialog);
            reason = dialog.GetList()->topLevelItem(2)->toolTip(kVirusColumn);
            return int(QDialog::Rejected);
        });
        RunScanForNewFilesCommand(*m_host);
        QCOMPARE(CModalRun::PendingHandlers(), 0);
        QCOMPARE(verdicts, (QStringList{u"a.txt: clean"_s, u"b.txt: infected"_s, u"c.txt: not checked"_s}));
        QCOMPARE(reason, u"the check was cancelled."_s);
        QCOMPARE(TakeTexts(), QStringList());
    }
};

QTEST_MAIN(TestScanDialog)
#include "tst_scandialog.moc"

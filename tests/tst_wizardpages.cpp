// The wizards' pages work from what they are given, in no wizard at all: the Add File pages fill
// from the source handed to them, anew only when a source was chosen again, and leave what the
// user typed in the entries handed to them; the Add Files pages show the choice and log they share.

#include "adding/addfile/CAddFileDetailsPage.h"
#include "adding/addfile/CAddFilesDescriptionPage.h"
#include "adding/addfile/CAddFileTitlePage.h"
#include "adding/addfile/CAddFileUrlPage.h"
#include "adding/addfile/CNewFileSource.h"
#include "adding/addfile/NewFileEntries.h"
#include "adding/addfiles/AddFilesChoice.h"
#include "adding/addfiles/CAddFilesDonePage.h"
#include "adding/addfiles/CAddFilesSummary.h"
#include "controls/CMessageBox.h"

#include <QDateTime>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimeZone>

using namespace Qt::StringLiterals;

namespace {

CNewFileSource SubmissionSource(const QString& text)
{
    CClipboardSubmission submission;
    submission.Parse(text);
    CNewFileSource source;
    source.SetSubmission(submission);
    source.Choose(true);
    return source;
}

const QString kSubmission =
    u"Title=Space Thing\nVersion=2.1\nDate=12/31/99\nSize=1,234\nEmail=a@example.org\n"
    u"Company=Acme\nShortDescription=Brief\nSiteName1=S\nSiteUrl1=http://s.example/a\n\n"
    u"Body"_s;

} // namespace

class TestWizardPages : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { CMessageBox::SetAnsweringMode(true); }

    // Each page that fills from the source: what it shows first, the user's edit, and what the
    // entries hold after the page is shown again (the edit, unless a source was chosen since).
    void refillOnlyForANewChoice_data()
    {
        QTest::addColumn<int>("page"); // title, details, description, locations
        QTest::addColumn<bool>("chosenAgain");
        for (const bool again : {false, true}) {
            const char* suffix = again ? ", chosen again" : ", shown again";
            QTest::newRow(qPrintable(u"title"_s + QLatin1String(suffix))) << 0 << again;
            QTest::newRow(qPrintable(u"details"_s + QLatin1String(suffix))) << 1 << again;
            QTest::newRow(qPrintable(u"description"_s + QLatin1String(suffix))) << 2 << again;
            QTest::newRow(qPrintable(u"locations"_s + QLatin1String(suffix))) << 3 << again;
        }
    }

    void refillOnlyForANewChoice()
    {
        QFETCH(int, page);
        QFETCH(bool, chosenAgain);
        CNewFileSource source = SubmissionSource(kSubmission);
        NewFileEntries entries;
        CAddFileTitlePage title(source, entries, nullptr);
        CAddFileDetailsPage details(source, entries);
        CAddFilesDescriptionPage description(source, entries);
        CAddFileUrlPage locations(source, entries);
        const QList<CWizardPage*> pages{&title, &details, &description, &locations};
        // The field the user types in, what the source fills it with, and what the entries hold.
        QLineEdit* field = page == 0   ? title.GetTitleEdit()
                           : page == 1 ? details.GetVersionEdit()
                                       : description.GetBriefEdit();
        const auto taken = [&]() -> QString {
            switch (page) {
            case 0:
                return entries.title;
            case 1:
                return entries.version;
            case 2:
                return entries.brief;
            default:
                return entries.locations.join(u' ');
            }
        };
        const QString filled =
            QStringList{u"Space Thing"_s, u"2.1"_s, u"Brief"_s, u"http://s.example/a"_s}[page];

        CWizardPage* tested = pages[page];
        QVERIFY(tested->OnSetActive());
        if (page == 3) {
            QCOMPARE(locations.GetLocations(), QStringList{filled});
            locations.GetList()->clear();
            locations.GetList()->addItem(u"http://typed.example/b"_s);
        } else {
            QCOMPARE(field->text(), filled);
            field->setText(u"  typed  "_s);
        }
        const QString typed = page == 3 ? u"http://typed.example/b"_s : u"typed"_s;
        if (page == 0)
            QVERIFY(!tested->OnKillActive()); // no area chosen: the title is taken all the same
        else
            QVERIFY(tested->OnKillActive());
        QCOMPARE(taken(), typed);

        if (chosenAgain)
            source.Choose(true);
        QVERIFY(tested->OnSetActive());
        tested->OnKillActive();
        QCOMPARE(taken(), chosenAgain ? filled : typed);
    }

    // The details are taken whole when the page is left, the date as the day shown at noon UTC.
    void detailsTakenWhenLeft()
    {
        CNewFileSource source = SubmissionSource(kSubmission);
        NewFileEntries entries;
        CAddFileDetailsPage details(source, entries);
        QVERIFY(details.OnSetActive());
        QCOMPARE(entries.fileDate, 0u);
        QVERIFY(details.OnKillActive());
        QCOMPARE(entries.fileSize, 1234u);
        QCOMPARE(entries.authorName, u"Acme"_s);
        QCOMPARE(entries.email, u"a@example.org"_s);
        QCOMPARE(entries.fileDate,
                 quint32(QDateTime(QDate(1999, 12, 31), QTime(12, 0), QTimeZone::utc()).toSecsSinceEpoch()));
    }

    // Leaving the locations page without a location is refused and keeps what was taken before.
    void locationsRefusedWhenEmpty()
    {
        CNewFileSource source;
        source.SetFile(CNewFileSource::kWebFile, u"http://w.example/f.zip"_s);
        source.Choose(false);
        NewFileEntries entries;
        CAddFileUrlPage locations(source, entries);
        QVERIFY(locations.OnSetActive());
        QVERIFY(locations.OnKillActive());
        QCOMPARE(entries.locations, QStringList{u"http://w.example/f.zip"_s});
        locations.GetList()->clear();
        CMessageBox::TakeRequests();
        QVERIFY(!locations.OnKillActive());
        QCOMPARE(CMessageBox::TakeRequests().size(), 1);
        QCOMPARE(entries.locations, QStringList{u"http://w.example/f.zip"_s});
    }

    // The Add Files pages show the choice and the log as they are when shown, not when made.
    void addFilesPagesShowWhatTheyShare()
    {
        AddFilesChoice choice;
        QString log;
        CAddFilesSummary summary(choice);
        CAddFilesDonePage done(log);
        choice.SetHost({1, u"Host"_s, u"/srv/host"_s});
        choice.files = {u"/in/a.zip"_s, u"/in/b.zip"_s};
        log = u"The file a.zip already exists.\r\n1 file(s) added successfully.\r\n"_s;
        QVERIFY(summary.OnSetActive());
        QVERIFY(done.OnSetActive());
        QCOMPARE(choice.host.directory, u"/srv/host/"_s);
        QCOMPARE(summary.GetAreaNameEdit()->text(), u"Host"_s);
        QCOMPARE(summary.GetFileListEdit()->toPlainText(), u"/in/a.zip\n/in/b.zip"_s);
        QCOMPARE(done.GetResultsEdit()->toPlainText(),
                 u"The file a.zip already exists.\n1 file(s) added successfully.\n"_s);
    }
};

QTEST_MAIN(TestWizardPages)
#include "tst_wizardpages.moc"

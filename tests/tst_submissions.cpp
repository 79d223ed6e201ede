// Submitted reviews: the waiting file and its rewrite under the site's lock, and the Review New File
// Reviews dialog with its Edit Submission dialog.

#include "DialogSupport.h"
#include "reviews/CEditSubmissionDialog.h"
#include "reviews/CReviewSubmissionsDialog.h"
#include "reviews/ScanForNewReviews.h"
#include "ReviewTestSupport.h"
#include "settings/Globals.h"
#include "TestSupport.h"

#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;
using namespace TestSupport;
using DialogSupport::Highlight;
using DialogSupport::TakeTexts;
using ReviewTestSupport::MakeLink;
using ReviewTestSupport::Records;
using ReviewTestSupport::Snapshot;
using ReviewTestSupport::Sub;

namespace {

QString Describe(const QList<CSubmission>& list)
{
    QStringList parts;
    for (const CSubmission& s : list)
        parts.append(QStringList{QString::number(s.file_id), s.file_name, s.name, s.email,
                                 s.anonymous ? u"true"_s : u"false"_s, s.date, s.text}
                         .join(u'|'));
    return parts.join(u' ').replace(u"\r\n"_s, u"/"_s);
}

// A record as the site appends it, in its old code page ("René", curly quotes).
const QByteArray kSiteRecord = "5\r\nkeen.zip\r\nRen\xe9\r\nr@x\r\nfalse\r\n1/2/99\r\n\x93Hi\x94\r\n\t\r\n";
const QString kPostError = u"Troveport was unable to create the new review file."_s;
const QList<CSubmission> kThree = {Sub(7, u"keen.zip"_s, u"Ann"_s), Sub(8, u"doom.zip"_s, u"Bo"_s),
                                   Sub(9, u"quake.zip"_s, u"Cy"_s)};

QString File()
{
    return SubmissionsFilePath();
}

// Where the site's links lead: the administrator's own files.
QString Outside()
{
    return g_szHttpPath + u"../home"_s;
}

// What the site can put in place of an entry of reviews/.
enum Plant
{
    ReviewFile,      // the review file a post appends to
    ReviewLock,      // that review file's lock
    SubmissionsFile, // swapped in while the dialog is open
    SubmissionsLock,
    Directory, // reviews/ itself, swapped in while the dialog is open
};

// The names the rows show; a row that does not show its submission is marked.
QStringList Names(const CReviewSubmissionsDialog& dialog)
{
    QStringList names;
    for (int row = 0; row < dialog.GetList()->topLevelItemCount(); ++row) {
        names.append(dialog.GetList()->topLevelItem(row)->text(1));
        if (dialog.GetSubmissions()[row].name != names.last())
            names.last() += u" (row does not match)"_s;
    }
    return names;
}

// Queues one Edit Submission run that records its title, then does what act does.
void QueueEdit(QStringList* titles, std::function<void(CEditSubmissionDialog&)> act)
{
    CModalRun::QueueHandler([titles, act](QDialog& shown) {
        auto& dialog = static_cast<CEditSubmissionDialog&>(shown);
        titles->append(dialog.windowTitle().remove(u"Edit Submission - "_s));
        act(dialog);
        return dialog.result();
    });
}

} // namespace

class TestSubmissions : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        g_szHttpPath = m_dir.path() + u"/web %s/"_s;
        g_strDatabasePath = m_dir.path() + u"/db"_s; // where posts are noted
    }

    void init()
    {
        CModalRun::ClearHandlers();
        CMessageBox::SetAnsweringMode(true);
        CMessageBox::TakeRequests();
        QFile::remove(g_szHttpPath + u"reviews"_s); // a link a test left
        QDir reviews(g_szHttpPath + u"reviews"_s);
        reviews.removeRecursively();
        QVERIFY(reviews.mkpath(u"."_s));
        QDir(g_strDatabasePath).removeRecursively();
        QVERIFY(QDir().mkpath(g_strDatabasePath));
        QDir(Outside()).removeRecursively();
        QVERIFY(QDir().mkpath(Outside()));
        WriteFile(Outside() + u"/.profile"_s, "export PATH=$HOME/bin:$PATH\n");
        WriteFile(Outside() + u"/submissions.txt"_s, Records(kThree));
    }

    void plantedLinksAreRefused_data()
    {
        QTest::addColumn<int>("plant");
        QTest::addColumn<QString>("named"); // the entry the messages name
        QTest::addColumn<int>("messages");  // how many
        QTest::newRow("review file, at Post") << int(ReviewFile) << u"reviews/7.txt"_s << 1;
        QTest::newRow("review file's lock, at Post") << int(ReviewLock) << u"reviews/7.txt.lock"_s << 1;
        QTest::newRow("submissions file, at Close")
            << int(SubmissionsFile) << u"reviews/submissions.txt"_s << 1;
        QTest::newRow("submissions file's lock, at Close")
            << int(SubmissionsLock) << u"reviews/submissions.txt.lock"_s << 1;
        QTest::newRow("reviews directory, at Post and Close") << int(Directory) << u"reviews"_s << 2;
    }

    void plantedLinksAreRefused()
    {
        QFETCH(int, plant);
        QFETCH(QString, named);
        QFETCH(int, messages);
        const QString reviews = g_szHttpPath + u"reviews"_s;
        const QByteArray records = Records(kThree);
        WriteFile(File(), records);
        if (plant == ReviewFile)
            QVERIFY(MakeLink(Outside() + u"/.profile"_s, ReviewFilePath(7)));
        if (plant == ReviewLock)
            QVERIFY(MakeLink(Outside() + u"/7.txt.lock"_s, ReviewFilePath(7) + u".lock"_s));
        if (plant == SubmissionsLock)
            QVERIFY(MakeLink(Outside() + u"/submissions.txt.lock"_s, File() + u".lock"_s));
        const QStringList before = Snapshot(Outside());

        CReviewSubmissionsDialog dialog(File());
        QCOMPARE(Names(dialog).size(), 3); // a lock that cannot be had does not keep it from reading
        if (plant == SubmissionsFile) {
            QVERIFY(QFile::remove(File()));
            QVERIFY(MakeLink(Outside() + u"/submissions.txt"_s, File()));
        }
        if (plant == Directory) {
            QVERIFY(QDir(reviews).removeRecursively());
            QVERIFY(MakeLink(Outside(), reviews));
        }
        Highlight(dialog.GetList(), {0});
        dialog.OnPost();
        if (plant == Directory) { // nothing was posted; a deletion has Close rewrite the file
            CMessageBox::QueueAnswer(QMessageBox::Yes);
            dialog.OnDelete();
        }
        dialog.GetCloseButton()->click();
        const QStringList shown = TakeTexts().filter(g_szHttpPath + named + u' ');
        QCOMPARE(shown.size(), messages);
        if (plant == ReviewFile || plant == ReviewLock || plant == Directory)
            QVERIFY2(shown[0].startsWith(kPostError), qPrintable(shown[0]));
        QCOMPARE(Snapshot(Outside()), before);
        QCOMPARE(ReadFile(File()), records); // through the link, when there is one: nothing written
    }

    void readingAndWriting()
    {
        const struct
        {
            QByteArray file;
            QString expected;
        } cases[] = {
            {"12abc\r\nf\r\nn\r\ne\r\nTRUE\r\nd\r\nt1\r\nt2\r\n\t\r\n", u"12|f|n|e|true|d|t1/t2"_s},
            // No digits; the unfinished record after the last TAB line is not one.
            {"abc\r\nf\r\nn\r\ne\r\nyes\r\nd\r\n\t\r\n5\r\ng\r\n", u"0|f|n|e|false|d|"_s},
            {"1\r\nf\r\nn\r\ne\r\nfalse\r\nd\r\n" + QByteArray(300, 'x') + "\r\n\t\r\n",
             u"1|f|n|e|false|d|"_s + QString(255, u'x') + u"/"_s + QString(45, u'x')},
            // Ids take 64 bits; a number beyond them reads as the nearest bound.
            {" +2147483648th\r\nf\r\nn\r\ne\r\nfalse\r\nd\r\n\t\r\n", u"2147483648|f|n|e|false|d|"_s},
            {"99999999999999999999\r\nf\r\nn\r\ne\r\nfalse\r\nd\r\n\t\r\n"
             "-9223372036854775808\r\nf\r\nn\r\ne\r\nfalse\r\nd\r\n\t\r\n",
             u"9223372036854775807|f|n|e|false|d| -9223372036854775808|f|n|e|false|d|"_s},
        };
        QList<CSubmission> read;
        for (const auto& c : cases) {
            WriteFile(File(), c.file);
            ReadSubmissions(File(), read);
            QCOMPARE(Describe(read), c.expected);
        }

        QList<CSubmission> written = kThree;
        written[1].anonymous = true;
        written[1].file_name = u"%s Fünf.zip"_s;
        QVERIFY(WriteSubmissions(File(), written));
        ReadSubmissions(File(), read);
        QCOMPARE(Describe(read), Describe(written));
        QVERIFY(WriteSubmissions(File(), {}));
        QVERIFY(!QFileInfo::exists(File()));
    }

    void removeKeepsOtherRecordsByteForByte()
    {
        WriteFile(File(), Records({kThree[0], kThree[1], kThree[0]}));
        QList<CSubmission> read;
        ReadSubmissions(File(), read);
        QFile file(File()); // the site appends after the read
        QVERIFY(file.open(QIODevice::Append) && file.write(kSiteRecord) == kSiteRecord.size());
        file.close();

        const auto shared = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::WriteGroup;
        QVERIFY(QFile::setPermissions(File(), shared));
        QVERIFY(RemoveSubmissions(File(), {read[0], read[1]})); // one of the two equal records
        QCOMPARE(ReadFile(File()), FormatSubmission(kThree[0]) + kSiteRecord);
        QCOMPARE(QFile::permissions(File()) & 0x7077, shared); // the site may still write it
        ReadSubmissions(File(), read);
        QCOMPARE(read[1].name, u"René"_s);
        QVERIFY(RemoveSubmissions(File(), read));
        QVERIFY(!QFileInfo::exists(File()));
    }

    void removeWaitsForTheLockThenGivesUp()
    {
        WriteFile(File(), Records(kThree));
        QProcess brief; // lets go after half a second: waited for
        brief.start(u"flock"_s, {File() + u".lock"_s, u"-c"_s, u"echo locked; sleep 0.5"_s});
        QVERIFY(brief.waitForReadyRead(10000));
        QElapsedTimer timer;
        timer.start();
        QVERIFY(RemoveSubmissions(File(), {kThree[0]}));
        QVERIFY(timer.elapsed() >= 300);
        QVERIFY(brief.waitForFinished(10000));

        const CForeignLock held(File() + u".lock"_s);
        QVERIFY(held.IsLocked());
        timer.start();
        QString problem;
        QVERIFY(!RemoveSubmissions(File(), {kThree[1]}, &problem));
        QVERIFY(timer.elapsed() >= 1900);
        QVERIFY2(problem.startsWith(File() + u".lock is locked by another program"_s), qPrintable(problem));
        QCOMPARE(ReadFile(File()), Records({kThree[1], kThree[2]}));
    }

    void largeFileKeepsWhatLiesPastTheLimit_data()
    {
        QTest::addColumn<int>("cut"); // where the read limit falls: this many bytes before a record ends
        QTest::addColumn<int>("lastShown"); // 0: that record is the last one read; -1: the one before
        QTest::newRow("right after a record") << 0 << 0;
        QTest::newRow("between the TAB line's CR and LF") << 1 << -1;
        QTest::newRow("between the TAB and the CR") << 2 << -1;
        QTest::newRow("before the TAB") << 3 << -1;
        QTest::newRow("inside the text") << 12 << -1;
    }

    void largeFileKeepsWhatLiesPastTheLimit()
    {
        QFETCH(int, cut);
        QFETCH(int, lastShown);
        const auto record = [](int i) {
            return FormatSubmission(Sub(100000 + i, u"f.zip"_s, u"N%1"_s.arg(i, 6, 10, QLatin1Char('0'))));
        };
        const qsizetype size = record(1).size();
        // A first record whose text makes the limit fall where wanted inside record j.
        const QByteArray head = "0\r\nfiller\r\nF\r\nf@x\r\nfalse\r\nd\r\n";
        const qsizetype j = (kMaxReviewFileSize + cut - head.size() - 6) / size;
        const qsizetype fillerSize = kMaxReviewFileSize + cut - j * size;
        QByteArray file = head + QByteArray(fillerSize - head.size() - 5, 'x') + "\r\n\t\r\n";
        QCOMPARE(file.size(), fillerSize);
        for (int i = 1; i <= j + 5; ++i)
            file += record(i);
        WriteFile(File(), file);

        QList<CSubmission> read;
        ReadSubmissions(File(), read);
        const int last = int(j) + lastShown;
        QCOMPARE(read.size(), last + 1);
        QCOMPARE(read.last().name, u"N%1"_s.arg(last, 6, 10, QLatin1Char('0')));
        QVERIFY(RemoveSubmissions(File(), {read.last()}));
        QCOMPARE(ReadFile(File()), file.remove(fillerSize + (last - 1) * size, size));
    }

    void writesThatDoNotLandLeaveTheOldFile()
    {
        const QByteArray old = Records(kThree);
        WriteFile(File(), old);
        CReviewSubmissionsDialog dialog(File());
        Highlight(dialog.GetList(), {0});
        dialog.OnPost();
        bool written = true, removed = true;
        {
            const CFileSizeLimit limit(64);
            if (!limit.IsSet())
                QSKIP("This system does not let a process limit the size of its files.");
            written = WriteSubmissions(File(), {kThree[1]});
            removed = RemoveSubmissions(File(), {kThree[0]});
            dialog.GetCloseButton()->click();
        }
        QVERIFY(!written);
        QVERIFY(!removed);
        QCOMPARE(ReadFile(File()), old);
        const QStringList shown = TakeTexts();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].contains(File()), qPrintable(shown[0]));
        QCOMPARE(Entries(g_szHttpPath + u"reviews"_s).filter(u"troveport"_s), QStringList());
    }

    void longWindows1252FieldsKeepTheFieldsInPlace()
    {
        // 200 bytes as the site wrote the name; 400 once it is UTF-8.
        WriteFile(File(), "5\r\nkeen.zip\r\n" + QByteArray(200, '\xe9') +
                              "\r\nr@x\r\ntrue\r\n1/2/99\r\nGood.\r\n\t\r\n");
        CReviewSubmissionsDialog dialog(File());
        Highlight(dialog.GetList(), {0});
        dialog.OnPost();
        QList<CReview> read;
        QVERIFY(ReadReviewFile(ReviewFilePath(5), read));
        QCOMPARE(read, (QList<CReview>{{QString(127, u'é'), u"r@x"_s, true, u"1/2/99"_s, u"Good."_s}}));

        CSubmission longName = kThree[0];
        longName.file_name = QString(200, u'é');
        QVERIFY(WriteSubmissions(File(), {longName, kThree[1]}));
        QList<CSubmission> again;
        ReadSubmissions(File(), again);
        longName.file_name.truncate(127);
        QCOMPARE(Describe(again), Describe({longName, kThree[1]}));
    }

    void closeTakesOutWhatWasPostedAndKeepsWhatTheSiteAdded()
    {
        WriteFile(File(), Records({kThree[0], kThree[1]}));
        WriteFile(ReviewFilePath(8), FormatReviewRecord(kThree[2]));
        CReviewSubmissionsDialog dialog(File());
        QCOMPARE(dialog.GetList()->topLevelItem(1)->text(0), u"doom.zip"_s);
        QCOMPARE(dialog.GetList()->topLevelItem(1)->text(2), u"bo@example.org"_s);
        Highlight(dialog.GetList(), {1});
        dialog.GetPostButton()->click();
        QCOMPARE(ReadFile(ReviewFilePath(8)), FormatReviewRecord(kThree[2]) + FormatReviewRecord(kThree[1]));
        QCOMPARE(Names(dialog), QStringList{u"Ann"_s});
        // A second process appends under the lock, as the site does, while the dialog is open.
        const QString record =
            u"5\\r\\nkeen.zip\\r\\nRen\\351\\r\\nr@x\\r\\nfalse\\r\\n1/2/99\\r\\n\\223Hi\\224\\r\\n\\t\\r\\n"_s;
        QCOMPARE(QProcess::execute(u"flock"_s, {File() + u".lock"_s, u"sh"_s, u"-c"_s,
                                                u"printf \"$1\" >> \"$2\""_s, u"sh"_s, record, File()}),
                 0);
        QCOMPARE(ReadFile(File()), Records({kThree[0], kThree[1]}) + kSiteRecord);
        dialog.GetCloseButton()->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(ReadFile(File()), FormatSubmission(kThree[0]) + kSiteRecord);

        // Posting all, then Close, deletes the file.
        CReviewSubmissionsDialog closed(File());
        Highlight(closed.GetList(), {0, 1});
        closed.OnPost();
        closed.accept();
        QVERIFY(!QFileInfo::exists(File()));
        QVERIFY(TakeTexts().isEmpty());
    }

    void idBeyond32BitsPostsToItsOwnFile()
    {
        const CSubmission far = Sub(qint64(1) << 31, u"far.zip"_s, u"Ann"_s);
        WriteFile(File(), Records({far}));
        CReviewSubmissionsDialog dialog(File());
        Highlight(dialog.GetList(), {0});
        dialog.OnPost();
        QCOMPARE(ReadFile(g_szHttpPath + u"reviews/2147483648.txt"_s), FormatReviewRecord(far));
        QVERIFY(!QFileInfo::exists(g_szHttpPath + u"reviews/-2147483648.txt"_s));
    }

    void postGoesThroughEveryHighlightedRow()
    {
        QVERIFY(QDir().mkpath(ReviewFilePath(4))); // a review file that cannot be appended to
        WriteFile(File(), Records({kThree[0], Sub(4, u"x.zip"_s, u"Dee"_s), kThree[1], kThree[2]}));
        CReviewSubmissionsDialog dialog(File());
        Highlight(dialog.GetList(), {0, 1, 2});
        dialog.OnPost();
        QCOMPARE(TakeTexts(),
                 QStringList{kPostError + u"\n\n"_s + ReviewFilePath(4) + u" is not a regular file."_s});
        QCOMPARE(Names(dialog), (QStringList{u"Dee"_s, u"Cy"_s}));
        QCOMPARE(ReadFile(ReviewFilePath(7)), FormatReviewRecord(kThree[0]));
        QCOMPARE(ReadFile(ReviewFilePath(8)), FormatReviewRecord(kThree[1]));
    }

    void reviewWalk()
    {
        WriteFile(File(), Records(kThree));
        CReviewSubmissionsDialog dialog(File());
        Highlight(dialog.GetList(), {0, 1, 2});
        QStringList titles;
        const auto cancel = [](CEditSubmissionDialog& d) { d.GetCancelButton()->click(); };
        QueueEdit(&titles, cancel);
        QueueEdit(&titles, cancel);
        dialog.GetReviewButton()->click();
        QCOMPARE(titles, QStringList{u"keen.zip"_s}); // Cancel ends the walk
        QVERIFY(!dialog.IsModified());
        CModalRun::ClearHandlers();

        // Delete the first; the second, moved up, is edited and posted; the third is edited, but
        // its review file cannot be written: it stays as read.
        QVERIFY(QDir().mkpath(ReviewFilePath(9)));
        titles.clear();
        QueueEdit(&titles, [](CEditSubmissionDialog& d) {
            CMessageBox::QueueAnswer(QMessageBox::Yes);
            d.GetDeleteButton()->click();
        });
        for (const QString& name : {u"Bob"_s, u"Cyd"_s}) {
            QueueEdit(&titles, [name](CEditSubmissionDialog& d) {
                d.GetNameEdit()->setText(name);
                d.GetPostButton()->click();
            });
        }
        dialog.OnReview();
        QCOMPARE(titles, (QStringList{u"keen.zip"_s, u"doom.zip"_s, u"quake.zip"_s}));
        QVERIFY(TakeTexts().last().startsWith(kPostError + u"\n\n"_s + ReviewFilePath(9)));
        CSubmission edited = kThree[1];
        edited.name = u"Bob"_s;
        QCOMPARE(ReadFile(ReviewFilePath(8)), FormatReviewRecord(edited));
        QVERIFY(!QFileInfo::exists(ReviewFilePath(7)));
        QCOMPARE(Names(dialog), QStringList{u"Cy"_s});
        dialog.accept(); // takes out the records as read, not the edited copy
        QCOMPARE(ReadFile(File()), FormatSubmission(kThree[2]));
    }

    void deleteAsksEvenWithoutHighlight()
    {
        WriteFile(File(), Records(kThree));
        CReviewSubmissionsDialog dialog(File());
        CMessageBox::QueueAnswer(QMessageBox::Yes);
        dialog.GetDeleteButton()->click();
        const QList<CMessageBox::Request> asked = CMessageBox::TakeRequests();
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked[0].caption + asked[0].text,
                 u"WarningAre you sure you want to delete the highlighted review(s)?"_s);
        QCOMPARE(asked[0].buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(asked[0].icon, QMessageBox::Question);
        Highlight(dialog.GetList(), {0, 2});
        CMessageBox::QueueAnswer(QMessageBox::No);
        dialog.OnDelete();
        QCOMPARE(Names(dialog).size(), 3);
        CMessageBox::QueueAnswer(QMessageBox::Yes);
        dialog.OnDelete();
        QCOMPARE(Names(dialog), QStringList{u"Bo"_s});
        dialog.accept();
        QCOMPARE(QDir(g_szHttpPath + u"reviews"_s).entryList(QDir::Files),
                 (QStringList{u"submissions.txt"_s, u"submissions.txt.lock"_s}));
        QCOMPARE(ReadFile(File()), FormatSubmission(kThree[1]));
    }

    void doubleClickAndEnterReviewEveryHighlightedRow()
    {
        WriteFile(File(), Records(kThree));
        CReviewSubmissionsDialog dialog(File());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTreeWidget* list = dialog.GetList();
        QStringList titles;
        const auto drop = [](CEditSubmissionDialog& d) { d.done(CEditSubmissionDialog::kDeleteResult); };
        Highlight(dialog.GetList(), {0, 2});
        QueueEdit(&titles, drop);
        QueueEdit(&titles, drop);
        const QPoint cell = list->visualItemRect(list->topLevelItem(2)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, cell);
        QCOMPARE(titles, (QStringList{u"keen.zip"_s, u"quake.zip"_s}));

        titles.clear(); // Enter in the list reaches the Review button, once
        Highlight(dialog.GetList(), {0});
        QueueEdit(&titles, [](CEditSubmissionDialog& d) { d.reject(); });
        QueueEdit(&titles, [](CEditSubmissionDialog& d) { d.reject(); });
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(titles, QStringList{u"doom.zip"_s});
    }

    void editSubmissionDialog()
    {
        CSubmission submission = Sub(3, u"%s 100%.zip"_s, u"Ann"_s);
        CEditSubmissionDialog dialog(submission);
        QCOMPARE(dialog.windowTitle(), u"Edit Submission - %s 100%.zip"_s);
        QList<QWidget*> chain{dialog.GetNameEdit()};
        for (QWidget* next = chain.last()->nextInFocusChain(); chain.size() < 8;
             next = next->nextInFocusChain()) {
            if (next->focusPolicy() & Qt::TabFocus)
                chain.append(next);
        }
        QCOMPARE(chain,
                 (QList<QWidget*>{dialog.GetNameEdit(), dialog.GetEmailEdit(), dialog.GetDateEdit(),
                                  dialog.GetAnonymousCheck(), dialog.GetReviewEdit(), dialog.GetPostButton(),
                                  dialog.GetDeleteButton(), dialog.GetCancelButton()}));

        // The missing fields are named one at a time, in order.
        dialog.show();
        for (QLineEdit* field : {dialog.GetNameEdit(), dialog.GetEmailEdit(), dialog.GetDateEdit()})
            field->clear();
        dialog.GetReviewEdit()->clear();
        dialog.GetAnonymousCheck()->setChecked(true);
        for (QLineEdit* field : {dialog.GetNameEdit(), dialog.GetEmailEdit(), dialog.GetDateEdit(),
                                 static_cast<QLineEdit*>(nullptr)}) {
            dialog.GetPostButton()->click();
            if (field)
                field->setText(u"x"_s);
        }
        QVERIFY(!submission.anonymous);
        QCOMPARE(TakeTexts(), (QStringList{u"Name field is required."_s, u"Email field is required."_s,
                                           u"Date field is required."_s, u"Review field is required."_s}));
        dialog.GetReviewEdit()->setPlainText(u"a\nb"_s);
        dialog.GetPostButton()->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(Describe({submission}), u"3|%s 100%.zip|x|x|true|x|a/b"_s);

        // Delete asks; No stays, Yes closes with its own result.
        CEditSubmissionDialog second(submission);
        second.show();
        CMessageBox::QueueAnswer(QMessageBox::No);
        second.GetDeleteButton()->click();
        QVERIFY(second.isVisible());
        CMessageBox::QueueAnswer(QMessageBox::Yes);
        second.GetDeleteButton()->click();
        QCOMPARE(second.result(), CEditSubmissionDialog::kDeleteResult);
        QCOMPARE(TakeTexts(), QStringList(2, u"Are you sure you want to delete this review?"_s));
    }

    void commandOpensWithoutSubmissions()
    {
        QString shown;
        CModalRun::QueueHandler([&shown](QDialog& dialog) {
            shown = dialog.windowTitle() + u'/' +
                    QString::number(
                        static_cast<CReviewSubmissionsDialog&>(dialog).GetList()->topLevelItemCount());
            return int(QDialog::Rejected);
        });
        ScanForNewReviews(nullptr);
        QCOMPARE(shown, u"Review New File Reviews/0"_s);
        QVERIFY(TakeTexts().isEmpty()); // no file is no problem

        // One the site made a link is not read, and the user is told so before the dialog opens.
        QVERIFY(MakeLink(Outside() + u"/submissions.txt"_s, File()));
        CModalRun::QueueHandler([](QDialog&) { return int(QDialog::Rejected); });
        ScanForNewReviews(nullptr);
        QCOMPARE(TakeTexts(),
                 QStringList{File() + u" is a symbolic link. Troveport Explorer does not follow links "
                                      u"in directories the web site can write, and left it alone."_s});
    }
};

QTEST_MAIN(TestSubmissions)
#include "tst_submissions.moc"

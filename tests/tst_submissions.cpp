// Submitted reviews: the waiting file and its rewrite under the site's lock, and the Review New File
// Reviews dialog with its Edit Submission dialog.

#include "reviews/CEditSubmissionDialog.h"
#include "reviews/ScanForNewReviews.h"
#include "ReviewTestSupport.h"

using namespace TestSupport;
using namespace ReviewTestSupport;

namespace {

const QString kPostError = u"Troveport was unable to create the new review file."_s;

// What the site can put in place of an entry of reviews/.
enum Plant
{
    ReviewFile,      // the review file a post appends to
    ReviewLock,      // that review file's lock
    SubmissionsFile, // swapped in while the dialog is open
    SubmissionsLock,
    Directory, // reviews/ itself, swapped in while the dialog is open
};

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

class TestSubmissions : public QObject, public CWebRoot
{
    Q_OBJECT

    static QString File() { return Submissions(); }

private slots:
    void initTestCase() { OpenWebRoot(u"web %s"_s); }

    void init()
    {
        ResetWebRoot();
        WriteFile(m_outside + u"/submissions.txt"_s, Records(kThree));
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
        const QByteArray records = Records(kThree);
        WriteFile(File(), records);
        if (plant == ReviewFile)
            QVERIFY(MakeLink(m_outside + u"/.profile"_s, ReviewFilePath(7)));
        if (plant == ReviewLock)
            QVERIFY(MakeLink(m_outside + u"/7.txt.lock"_s, ReviewFilePath(7) + u".lock"_s));
        if (plant == SubmissionsLock)
            QVERIFY(MakeLink(m_outside + u"/submissions.txt.lock"_s, File() + u".lock"_s));
        const QStringList before = Snapshot(m_outside);

        CReviewSubmissionsDialog dialog(File());
        QCOMPARE(Names(dialog).size(), 3); // a lock that cannot be had does not keep it from reading
        if (plant == SubmissionsFile)
            QVERIFY(QFile::remove(File()) && MakeLink(m_outside + u"/submissions.txt"_s, File()));
        if (plant == Directory)
            QVERIFY(QDir(Reviews()).removeRecursively() && MakeLink(m_outside, Reviews()));
        Highlight(dialog.GetList(), {0});
        dialog.OnPost();
        if (plant == Directory) { // nothing was posted; a deletion has Close rewrite the file
            CMessageBox::QueueAnswer(QMessageBox::Yes);
            dialog.OnDelete();
        }
        dialog.GetCloseButton()->click();
        const QStringList shown = TakeTexts().filter(g_szHttpPath + named + u' ');
        QTEST(int(shown.size()), "messages");
        if (plant == ReviewFile || plant == ReviewLock || plant == Directory)
            QVERIFY2(shown[0].startsWith(kPostError), qPrintable(shown[0]));
        QCOMPARE(Snapshot(m_outside), before);
        QCOMPARE(ReadFile(File()), records); // through the link, when there is one: nothing written
    }

    void readingAndWriting_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("expected");
        const QByteArray rest = "\r\nf\r\nn\r\ne\r\nfalse\r\nd\r\n\t\r\n";
        QTest::newRow("digits, then letters; TRUE")
            << QByteArray("12abc\r\nf\r\nn\r\ne\r\nTRUE\r\nd\r\nt1\r\nt2\r\n\t\r\n")
            << u"12|f[n|e|true|d|t1\\r\\nt2]"_s;
        // The unfinished record after the last TAB line is not one.
        QTest::newRow("no digits") << QByteArray("abc\r\nf\r\nn\r\ne\r\nyes\r\nd\r\n\t\r\n5\r\ng\r\n")
                                   << u"0|f[n|e|false|d|]"_s;
        // Ids take 64 bits; a number beyond them reads as the nearest bound.
        QTest::newRow("2^31") << " +2147483648th" + rest << u"2147483648|f[n|e|false|d|]"_s;
        QTest::newRow("2^32 + 7") << "4294967303" + rest << u"4294967303|f[n|e|false|d|]"_s;
        QTest::newRow("beyond 64 bits")
            << "99999999999999999999" + rest + "-9223372036854775808" + rest
            << u"9223372036854775807|f[n|e|false|d|] -9223372036854775808|f[n|e|false|d|]"_s;
    }
    void readingAndWriting()
    {
        QFETCH(QByteArray, file);
        WriteFile(File(), file);
        QList<CSubmission> read;
        QVERIFY(ReadSubmissions(File(), read));
        QTEST(DescribeSubmissions(read), "expected");
    }

    void writingKeepsEveryField()
    {
        QList<CSubmission> read, written = kThree;
        written[1].anonymous = true;
        written[1].file_name = u"%s Fünf.zip"_s;
        QVERIFY(WriteSubmissions(File(), written));
        QVERIFY(ReadSubmissions(File(), read));
        QCOMPARE(DescribeSubmissions(read), DescribeSubmissions(written));
        QVERIFY(WriteSubmissions(File(), {}));
        QVERIFY(!QFileInfo::exists(File()));
    }

    void removeKeepsOtherRecordsByteForByte()
    {
        WriteFile(File(), Records({kThree[0], kThree[1], kThree[0]}));
        QList<CSubmission> read;
        ReadSubmissions(File(), read);
        AppendAsTheSite(File(), kSiteSubmission); // after the read
        const auto shared = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::WriteGroup;
        QVERIFY(QFile::setPermissions(File(), shared));
        QVERIFY(RemoveSubmissions(File(), {read[0], read[1]})); // one of the two equal records
        QCOMPARE(ReadFile(File()), FormatSubmission(kThree[0]) + kSiteSubmission);
        QCOMPARE(QFile::permissions(File()) & 0x7077, shared); // the site may still write it
        ReadSubmissions(File(), read);
        QCOMPARE(read[1].name, u"René"_s);
        QVERIFY(RemoveSubmissions(File(), read));
        QVERIFY(!QFileInfo::exists(File()));
    }

    // A lock the site lets go of soon is waited for; one it keeps makes the removal fail, saying so.
    void removeWaitsForTheLockThenGivesUp()
    {
        WriteFile(File(), Records(kThree));
        QProcess brief;
        brief.start(u"flock"_s, {File() + u".lock"_s, u"-c"_s, u"echo locked; sleep 0.5"_s});
        QVERIFY(brief.waitForReadyRead(10000));
        QVERIFY(RemoveSubmissions(File(), {kThree[0]}));
        QVERIFY(brief.waitForFinished(10000));

        const CForeignLock held(File() + u".lock"_s);
        QVERIFY(held.IsLocked());
        QString problem;
        QVERIFY(!RemoveSubmissions(File(), {kThree[1]}, &problem));
        QVERIFY2(problem.startsWith(File() + u".lock is locked by another program"_s), qPrintable(problem));
        QCOMPARE(ReadFile(File()), Records({kThree[1], kThree[2]}));
    }

    void largeFileKeepsWhatLiesPastTheLimit_data()
    {
        QTest::addColumn<int>("cut"); // where the read limit falls: this many bytes before a record ends
        QTest::addColumn<int>("lastShown"); // 0: that record is the last one read; -1: the one before
        QTest::newRow("right after a record") << 0 << 0;
        QTest::newRow("between the TAB line's CR and LF") << 1 << -1;
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

    void idBeyond32BitsPostsToItsOwnFile()
    {
        const CSubmission far = Sub(qint64(1) << 31, u"far.zip"_s, u"Ann"_s);
        WriteFile(File(), Records({far}));
        CReviewSubmissionsDialog dialog(File());
        Highlight(dialog.GetList(), {0});
        dialog.OnPost();
        QCOMPARE(ReadFile(Reviews() + u"/2147483648.txt"_s), FormatReviewRecord(far));
        QVERIFY(!QFileInfo::exists(Reviews() + u"/-2147483648.txt"_s));
    }

    void postGoesThroughEveryHighlightedRow()
    {
        QVERIFY(QDir().mkpath(ReviewFilePath(4))); // a review file that cannot be appended to
        WriteFile(File(), Records({kThree[0], Sub(4, u"x.zip"_s, u"Dee"_s), kThree[1], kThree[2]}));
        CReviewSubmissionsDialog dialog(File());
        QCOMPARE(dialog.GetList()->topLevelItem(2)->text(0), u"doom.zip"_s);
        QCOMPARE(dialog.GetList()->topLevelItem(2)->text(2), u"bo@example.org"_s);
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
        QCOMPARE(
            DialogSupport::TakeDescribed(),
            QStringList{
                u"Warning: question | Yes No | Are you sure you want to delete the highlighted review(s)?"_s});
        Highlight(dialog.GetList(), {0, 2});
        CMessageBox::QueueAnswer(QMessageBox::No);
        dialog.OnDelete();
        QCOMPARE(Names(dialog).size(), 3);
        CMessageBox::QueueAnswer(QMessageBox::Yes);
        dialog.OnDelete();
        QCOMPARE(Names(dialog), QStringList{u"Bo"_s});
        dialog.accept();
        QCOMPARE(QDir(Reviews()).entryList(QDir::Files),
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
        Highlight(list, {0, 2});
        QueueEdit(&titles, drop);
        QueueEdit(&titles, drop);
        const QPoint cell = list->visualItemRect(list->topLevelItem(2)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, cell);
        QCOMPARE(titles, (QStringList{u"keen.zip"_s, u"quake.zip"_s}));

        titles.clear(); // Enter in the list reaches the Review button, once
        Highlight(list, {0});
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
        QCOMPARE(DescribeSubmissions({submission}), u"3|%s 100%.zip[x|x|true|x|a\\r\\nb]"_s);

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
        QVERIFY(MakeLink(m_outside + u"/submissions.txt"_s, File()));
        CModalRun::QueueHandler([](QDialog&) { return int(QDialog::Rejected); });
        ScanForNewReviews(nullptr);
        QCOMPARE(TakeTexts(),
                 QStringList{File() + u" is a symbolic link. Troveport Explorer does not follow links "
                                      u"in directories the web site can write, and left it alone."_s});
    }
};

QTEST_MAIN(TestSubmissions)
#include "tst_submissions.moc"

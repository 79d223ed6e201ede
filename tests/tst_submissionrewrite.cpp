// The submissions file after the Review New File Reviews dialog: what a post or a delete takes out
// of it however the dialog is left, what the rewrite keeps byte for byte, and how posts are noted
// when the rewrite fails, so that no scan offers them again.

#include "reviews/PostedSubmissions.h"
#include "reviews/ScanForNewReviews.h"
#include "ReviewTestSupport.h"

#include <QScopeGuard>

#include <utility>

using namespace TestSupport;
using namespace ReviewTestSupport;

namespace {

enum Leave
{
    Close,
    Escape,
    CloseBox,
};

enum Failure
{
    LockHeld, // the site keeps the lock past the 2 seconds the explorer waits
    DiskFull,
};

QString File()
{
    return SubmissionsFilePath();
}

// Posts the first row and deletes the second of kThree.
void PostAnnDeleteBo(CReviewSubmissionsDialog& dialog)
{
    Highlight(dialog.GetList(), {0});
    dialog.OnPost();
    Highlight(dialog.GetList(), {0});
    CMessageBox::QueueAnswer(QMessageBox::Yes);
    dialog.OnDelete();
    QCOMPARE(TakeTexts(), QStringList{u"Are you sure you want to delete the highlighted review(s)?"_s});
}

void LeaveBy(CReviewSubmissionsDialog& dialog, int leave)
{
    dialog.show();
    if (leave == Close)
        dialog.GetCloseButton()->click();
    else if (leave == Escape)
        QTest::keyClick(dialog.GetList(), Qt::Key_Escape);
    else
        dialog.close();
    QVERIFY(!dialog.isVisible());
}

// Leaves the dialog while its rewrite cannot be made.
void LeaveFailing(CReviewSubmissionsDialog& dialog, int leave, int failure)
{
    std::unique_ptr<CForeignLock> lock;
    std::unique_ptr<CFileSizeLimit> limit;
    if (failure == LockHeld) {
        lock = std::make_unique<CForeignLock>(File() + u".lock"_s);
        QVERIFY(lock->IsLocked());
    } else {
        limit = std::make_unique<CFileSizeLimit>(64);
        QVERIFY(limit->IsSet());
    }
    LeaveBy(dialog, leave);
}

// Posts the rows, then leaves by Escape while the disk is full.
void PostAndFail(const QList<int>& rows)
{
    CReviewSubmissionsDialog dialog(File());
    Highlight(dialog.GetList(), rows);
    dialog.OnPost();
    LeaveFailing(dialog, Escape, DiskFull);
}

} // namespace

class TestSubmissionRewrite : public QObject, public CWebRoot
{
    Q_OBJECT

    bool m_canFillTheDisk = false;

private slots:
    void initTestCase()
    {
        OpenWebRoot();
        m_canFillTheDisk = CFileSizeLimit(1 << 30).IsSet();
    }

    void init() { ResetWebRoot(); }

    void leavingTakesOutWhatWasPosted_data()
    {
        QTest::addColumn<int>("leave");
        QTest::addColumn<QList<int>>("kept"); // of kThree
        QTest::newRow("Close: the deleted one too") << int(Close) << QList<int>{2};
        QTest::newRow("Escape: the deleted one stays") << int(Escape) << QList<int>{1, 2};
        QTest::newRow("close box: the deleted one stays") << int(CloseBox) << QList<int>{1, 2};
    }
    void leavingTakesOutWhatWasPosted()
    {
        QFETCH(int, leave);
        QFETCH(QList<int>, kept);
        WriteFile(File(), Records(kThree));
        CReviewSubmissionsDialog dialog(File());
        PostAnnDeleteBo(dialog);
        AppendAsTheSite(File(), kSiteSubmission);
        LeaveBy(dialog, leave);

        QByteArray expected;
        for (int i : kept)
            expected += FormatSubmission(kThree[i]);
        QCOMPARE(ReadFile(File()), expected + kSiteSubmission);
        QCOMPARE(TakeTexts(), QStringList());
        QCOMPARE(ReadFile(ReviewFilePath(7)), FormatReviewRecord(kThree[0]));
        QVERIFY(!QFileInfo::exists(PostedNotesFilePath())); // nothing is left to note
    }

    void failedRewriteIsToldAndThePostsNoted_data()
    {
        QTest::addColumn<int>("leave");
        QTest::addColumn<int>("failure");
        QTest::addColumn<QString>("reason");
        QTest::newRow("Close, lock held") << int(Close) << int(LockHeld) << u"is locked by another program"_s;
        QTest::newRow("Escape, disk full") << int(Escape) << int(DiskFull) << u": File too large"_s;
        QTest::newRow("close box, disk full") << int(CloseBox) << int(DiskFull) << u": File too large"_s;
    }
    void failedRewriteIsToldAndThePostsNoted()
    {
        QFETCH(int, leave);
        QFETCH(int, failure);
        QFETCH(QString, reason);
        if (failure == DiskFull && !m_canFillTheDisk)
            QSKIP("This system does not let a process limit the size of its files.");
        const QByteArray before = Records(kThree);
        WriteFile(File(), before);
        {
            CReviewSubmissionsDialog dialog(File());
            PostAnnDeleteBo(dialog);
            LeaveFailing(dialog, leave, failure);
        }
        const QStringList shown = TakeTexts();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].contains(File()), qPrintable(shown[0]));
        QVERIFY2(shown[0].contains(reason), qPrintable(shown[0]));
        QVERIFY2(shown[0].contains(u"Those posted are noted as posted"_s), qPrintable(shown[0]));
        QCOMPARE(shown[0].contains(u"Those deleted are offered again"_s), leave == Close);
        QCOMPARE(ReadFile(File()), before);

        // The next scan, in this run or after a restart, does not offer the posted one again; the
        // deleted one it does. Leaving takes the posted one out at last, and its note with it.
        CReviewSubmissionsDialog next(File());
        QCOMPARE(Names(next), (QStringList{u"Bo"_s, u"Cy"_s}));
        LeaveBy(next, Escape);
        QCOMPARE(ReadFile(File()), Records({kThree[1], kThree[2]}));
        QCOMPARE(TakeTexts(), QStringList());
        QVERIFY(!QFileInfo::exists(PostedNotesFilePath()));
        QCOMPARE(ReadFile(ReviewFilePath(7)), FormatReviewRecord(kThree[0])); // posted once
    }

    void notesFollowTheContentNotThePlace()
    {
        if (!m_canFillTheDisk)
            QSKIP("This system does not let a process limit the size of its files.");
        const CSubmission &ann = kThree[0], &bo = kThree[1], &cy = kThree[2];
        WriteFile(File(), Records({ann, bo, ann}));
        PostAndFail({2}); // one of the two equal records
        QCOMPARE(TakeTexts().size(), 1);
        // Meanwhile another explorer takes Bo out and the site adds Cy: every record moves.
        QVERIFY(RemoveSubmissions(File(), {bo}));
        AppendAsTheSite(File(), FormatSubmission(cy));

        CReviewSubmissionsDialog next(File());
        QCOMPARE(Names(next), (QStringList{u"Ann"_s, u"Cy"_s}));
        LeaveBy(next, Escape);
        QCOMPARE(ReadFile(File()), Records({ann, cy}));
        QVERIFY(!QFileInfo::exists(PostedNotesFilePath()));
    }

    void notesOfSubmissionsGoneAreDropped()
    {
        if (!m_canFillTheDisk)
            QSKIP("This system does not let a process limit the size of its files.");
        const CSubmission &ann = kThree[0], &bo = kThree[1];
        WriteFile(File(), Records({ann, bo}));
        PostAndFail({1});
        QCOMPARE(TakeTexts().size(), 1);
        QVERIFY(QFileInfo::exists(PostedNotesFilePath()));
        QVERIFY(RemoveSubmissions(File(), {bo})); // by another explorer
        {
            CReviewSubmissionsDialog next(File());
            QCOMPARE(Names(next), QStringList{u"Ann"_s});
            QVERIFY(!QFileInfo::exists(PostedNotesFilePath())); // reading dropped the note
        }
        // So the same review, submitted anew, is offered.
        AppendAsTheSite(File(), FormatSubmission(bo));
        CReviewSubmissionsDialog again(File());
        QCOMPARE(Names(again), (QStringList{u"Ann"_s, u"Bo"_s}));
    }

    void notesThatFailAreTold()
    {
        if (!m_canFillTheDisk)
            QSKIP("This system does not let a process limit the size of its files.");
        const QByteArray before = Records(kThree);
        WriteFile(File(), before);
        const QString gone = m_dir.path() + u"/gone"_s; // no notes can be written there
        {
            const QString database = std::exchange(g_strDatabasePath, gone);
            const auto restore = qScopeGuard([&] { g_strDatabasePath = database; });
            PostAndFail({0});
        }
        const QStringList shown = TakeTexts();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].contains(u"could not all be noted as posted"_s), qPrintable(shown[0]));
        QVERIFY2(shown[0].contains(gone), qPrintable(shown[0]));
        QCOMPARE(ReadFile(File()), before);
        {
            CReviewSubmissionsDialog next(File());
            QCOMPARE(Names(next).first(), u"Ann"_s); // offered again, as the message said
        }

        // Notes that cannot be read are told before the list opens.
        QVERIFY(QDir().mkpath(PostedNotesFilePath()));
        CModalRun::QueueHandler([](QDialog&) { return int(QDialog::Rejected); });
        ScanForNewReviews(nullptr);
        const QStringList told = TakeTexts();
        QCOMPARE(told.size(), 1);
        QVERIFY2(told[0].startsWith(u"Troveport Explorer could not read which submissions were posted"_s) &&
                     told[0].contains(PostedNotesFilePath()),
                 qPrintable(told[0]));
    }

    void removalKeepsEveryByteNotPosted_data()
    {
        QTest::addColumn<QByteArray>("rest"); // what follows the posted record
        const QByteArray bo = FormatSubmission(kThree[1]);
        const QByteArray unfinished = "5\r\nkeen.zip\r\nRen\xe9\r\nr@x\r\nfal";
        QTest::newRow("a record the site is writing") << bo + unfinished;
        QTest::newRow("one cut between CR and LF") << bo + "5\r\nkeen.zip\r";
        QTest::newRow("a TAB line without its line end") << bo + "5\r\nk\r\nn\r\ne\r\nfalse\r\nd\r\n\t";
        QTest::newRow("lines after the last record") << bo + "no record\r\n\r\n";
    }
    void removalKeepsEveryByteNotPosted()
    {
        QFETCH(QByteArray, rest);
        WriteFile(File(), FormatSubmission(kThree[0]) + rest);
        CReviewSubmissionsDialog dialog(File());
        QVERIFY(!dialog.GetSubmissions().isEmpty());
        QCOMPARE(dialog.GetSubmissions().first(), kThree[0]);
        Highlight(dialog.GetList(), {0});
        dialog.OnPost();
        CEarlierReader reader(File());
        QVERIFY(reader.IsOpen());
        dialog.GetCloseButton()->click();
        QCOMPARE(TakeTexts(), QStringList());
        QCOMPARE(ReadFile(File()), rest);
        // A page of the site that had the file open still reads the old file, whole.
        QVERIFY(reader.SawReplacement());
    }
};

QTEST_MAIN(TestSubmissionRewrite)
#include "tst_submissionrewrite.moc"

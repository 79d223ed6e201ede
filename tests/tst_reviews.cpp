// Review files and the Reviews page with its Edit Review dialog.

#include "files/SiteTextLines.h"
#include "ReviewTestSupport.h"

#include <QHeaderView>
#include <QLabel>

using namespace TestSupport;
using namespace ReviewTestSupport;

namespace {

CReview Review(const QString& name, const QString& email, bool anonymous, const QString& date,
               const QString& text = {})
{
    return CReview{name, email, anonymous, date, text};
}

QStringList Row(const CReviewsPage& page, int row)
{
    const QAbstractItemModel* model = page.GetList()->model();
    QStringList cells;
    for (int column = 0; column < model->columnCount(); ++column)
        cells.append(model->index(row, column).data().toString());
    return cells;
}

// Just over the largest file the reader takes, made of whole copies of the first review.
QByteArray TooBigFile()
{
    QByteArray big;
    while (big.size() <= kMaxReviewFileSize)
        big += FormatReviewRecord(kTwo[0]);
    return big;
}

} // namespace

class TestReviews : public QObject, public CWebRoot
{
    Q_OBJECT

    static QString Path(qint64 id) { return ReviewFilePath(id); }

private slots:
    void initTestCase() { OpenWebRoot(); }
    void init() { ResetWebRoot(); }

    void fileFormat()
    {
        const QString saved = g_szHttpPath; // the web root is taken as it stands
        g_szHttpPath = u"/srv/www %1 %s/"_s;
        QCOMPARE(ReviewFilePath(-7), u"/srv/www %1 %s/reviews/-7.txt"_s);
        g_szHttpPath = saved;

        QVERIFY(WriteReviewFile(Path(1), kTwo));
        const QByteArray bytes = ReadFile(Path(1));
        QVERIFY(bytes.startsWith("Ann Lee\r\nann@example.org\r\ntrue\r\nMay 1, 1999\r\nGreat game.\r\n\r\n"));
        QVERIFY(bytes.endsWith("\r\n\t\r\n"));
        QCOMPARE(bytes.count("\n"), bytes.count("\r\n"));
        QCOMPARE(bytes.count("\r"), bytes.count("\r\n"));
        QList<CReview> read;
        QVERIFY(ReadReviewFile(Path(1), read));
        QCOMPARE(Describe(read), Describe(kTwo));

        // A text's lone CRs are dropped; an empty text writes no line at all.
        QCOMPARE(FormatReviewRecord(Review(u"A"_s, u"a@b"_s, false, u"d"_s, u"x\ry\r\nz"_s)),
                 QByteArray("A\r\na@b\r\nfalse\r\nd\r\nxy\r\nz\r\n\t\r\n"));
        QCOMPARE(FormatReviewRecord(Review(u"A"_s, u"a@b"_s, true, u"d"_s)),
                 QByteArray("A\r\na@b\r\ntrue\r\nd\r\n\t\r\n"));
    }

    void readerRules_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QList<CReview>>("expected");
        const QByteArray x300(300, 'x');
        const QString x255(255, u'x');
        QTest::newRow("true in any case is anonymous, yes and 1 are not")
            << QByteArray("a\r\ne\r\nTRUE\r\nd\r\n\t\r\nb\r\ne\r\ntRuE\r\nd\r\n\t\r\n"
                          "c\r\ne\r\nyes\r\nd\r\n\t\r\nf\r\ne\r\n1\r\nd\r\n\t\r\n")
            << QList<CReview>{Review(u"a"_s, u"e"_s, true, u"d"_s), Review(u"b"_s, u"e"_s, true, u"d"_s),
                              Review(u"c"_s, u"e"_s, false, u"d"_s), Review(u"f"_s, u"e"_s, false, u"d"_s)};
        QTest::newRow("first empty text line lost, inner and last kept")
            << QByteArray("a\r\ne\r\nfalse\r\nd\r\n\r\none\r\n\r\ntwo\r\n\r\n\t\r\n")
            << QList<CReview>{Review(u"a"_s, u"e"_s, false, u"d"_s, u"one\r\n\r\ntwo\r\n"_s)};
        QTest::newRow("long text line comes as two")
            << QByteArray("a\r\ne\r\nfalse\r\nd\r\n" + x300 + "\r\n\t\r\n")
            << QList<CReview>{Review(u"a"_s, u"e"_s, false, u"d"_s, x255 + u"\r\n"_s + QString(45, u'x'))};
        QTest::newRow("long name shifts the fields")
            << QByteArray(x300 + "\r\ne\r\ntrue\r\nd\r\ntext\r\n\t\r\n")
            << QList<CReview>{Review(x255, QString(45, u'x'), false, u"true"_s, u"d\r\ntext"_s)};
        QTest::newRow("text line beginning with TAB ends the record")
            << QByteArray("a\r\ne\r\nfalse\r\nd\r\nline\r\n\tindented\r\nb\r\n\t\r\n")
            << QList<CReview>{Review(u"a"_s, u"e"_s, false, u"d"_s, u"line"_s),
                              Review(u"b"_s, {}, false, {})};
        QTest::newRow("last record without TAB line is dropped")
            << QByteArray("a\r\ne\r\nfalse\r\nd\r\nt\r\n\t\r\nb\r\ne\r\nfalse\r\nd\r\nt\r\n")
            << QList<CReview>{Review(u"a"_s, u"e"_s, false, u"d"_s, u"t"_s)};
        QTest::newRow("two TAB lines make an empty review")
            << QByteArray("a\r\ne\r\nfalse\r\nd\r\nt\r\n\t\r\n\t\r\n")
            << QList<CReview>{Review(u"a"_s, u"e"_s, false, u"d"_s, u"t"_s), CReview()};
        QTest::newRow("CR-only line ends")
            << QByteArray("a\re\rtrue\rd\rt1\r\rt2\r\t\rb\re\rfalse\rd\r\t\r")
            << QList<CReview>{Review(u"a"_s, u"e"_s, true, u"d"_s, u"t1\r\n\r\nt2"_s),
                              Review(u"b"_s, u"e"_s, false, u"d"_s)};
        QTest::newRow("CR CR LF is one line end, CR CR two")
            << QByteArray("a\r\r\ne\r\r\nfalse\r\nd\r\nt1\r\rt2\r\n\t\r\r\n")
            << QList<CReview>{Review(u"a"_s, u"e"_s, false, u"d"_s, u"t1\r\n\r\nt2"_s)};
        QTest::newRow("LF line ends and a last TAB without line end")
            << QByteArray("a\ne\ntrue\nd\nt\n\t")
            << QList<CReview>{Review(u"a"_s, u"e"_s, true, u"d"_s, u"t"_s)};
        QTest::newRow("a cut never splits a UTF-8 character")
            << QByteArray("a\r\ne\r\nfalse\r\nd\r\n" + QByteArray(254, 'y') + "\xc3\xa9z\r\n\t\r\n")
            << QList<CReview>{Review(u"a"_s, u"e"_s, false, u"d"_s, QString(254, u'y') + u"\r\néz"_s)};
        QTest::newRow("old code page bytes and NUL")
            << QByteArray("Ren\xe9\r\ne\r\nfalse\r\nd\r\n\x93quoted\x94 \xc3\xa9\r\nbefore") + '\0' +
                   QByteArray("after\r\n\t\r\n")
            << QList<CReview>{Review(u"René"_s, u"e"_s, false, u"d"_s, u"“quoted” é\r\nbefore"_s)};
        QTest::newRow("empty file") << QByteArray() << QList<CReview>{};
    }
    void readerRules()
    {
        QFETCH(QByteArray, file);
        QFETCH(QList<CReview>, expected);
        WriteFile(Path(2), file);
        QList<CReview> read{Review(u"stale"_s, {}, false, {})};
        QVERIFY(ReadReviewFile(Path(2), read));
        QCOMPARE(Describe(read), Describe(expected));
    }

    void absentOrSpecialFilesGiveNoReviews()
    {
        QList<CReview> read{CReview()};
        QVERIFY(ReadReviewFile(Path(404), read));
        QVERIFY(read.isEmpty());
        // A FIFO must neither hang the reader nor take an append; both say what it is.
        QCOMPARE(::mkfifo(QFile::encodeName(Path(5)).constData(), 0600), 0);
        QString problem;
        QVERIFY(!ReadReviewFile(Path(5), read, &problem));
        QCOMPARE(problem, Path(5) + u" is not a regular file."_s);
        problem.clear();
        QVERIFY(!AppendReviewToFile(Path(5), kTwo[0], &problem));
        QCOMPARE(problem, Path(5) + u" is not a regular file."_s);
        QVERIFY(!ReadReviewFile(Reviews(), read)); // a directory
    }

    void appendAddsOneRecordAtTheEnd()
    {
        QVERIFY(AppendReviewToFile(Path(3), kTwo[0])); // creates the file
        QVERIFY(AppendReviewToFile(Path(3), kTwo[1]));
        QCOMPARE(ReadFile(Path(3)), FormatReviewRecord(kTwo[0]) + FormatReviewRecord(kTwo[1]));

        // The site left the last TAB line without its line end: the new record still starts a line.
        WriteFile(Path(4), "a\r\ne\r\nfalse\r\nd\r\nt\r\n\t");
        QVERIFY(AppendReviewToFile(Path(4), kTwo[1]));
        QList<CReview> read;
        ReadReviewFile(Path(4), read);
        QCOMPARE(Describe(read), Describe({Review(u"a"_s, u"e"_s, false, u"d"_s, u"t"_s), kTwo[1]}));

        const QString path = m_dir.path() + u"/no-web/reviews/9.txt"_s;
        QVERIFY(!AppendReviewToFile(path, kTwo[0]));
        QVERIFY(!WriteReviewFile(path, kTwo));
        QVERIFY(!QFileInfo::exists(m_dir.path() + u"/no-web"_s));
    }

    void rewriteKeepsTheModeAndEmptyListDeletes()
    {
        const mode_t mask = ::umask(022);
        QVERIFY(WriteReviewFile(Path(6), kTwo));
        ::umask(mask);
        // New files are readable by the web server, like any file the user makes.
        QCOMPARE(QFileInfo(Path(6)).permissions() & 0x7777, QFileDevice::Permissions(0x6644));
        QVERIFY(WriteReviewFile(Path(6), {kTwo[1]}));
        QCOMPARE(Entries(Reviews()), (QStringList{u"6.txt"_s, u"6.txt.lock"_s}));
        QVERIFY(WriteReviewFile(Path(6), {}));
        QVERIFY(!QFileInfo::exists(Path(6)));
        QVERIFY(WriteReviewFile(Path(6), {})); // nothing to delete is no failure
    }

    void hostileFilesDoNotBreakTheReader()
    {
        // One huge line without a line end: read in pieces, nothing kept for lack of a TAB line.
        WriteFile(Path(8), QByteArray(3 << 20, 'h'));
        QList<CReview> read;
        QVERIFY(ReadReviewFile(Path(8), read));
        QVERIFY(read.isEmpty());
        QCOMPARE(SplitSiteTextLines(ReadFile(Path(8)), kMaxReviewLineBytes).size(),
                 ((3 << 20) + kMaxReviewLineBytes - 1) / kMaxReviewLineBytes);

        // Larger than a review file can be: whole records of its beginning, and the reader says so.
        WriteFile(Path(9), TooBigFile());
        QVERIFY(!ReadReviewFile(Path(9), read));
        const qsizetype whole = kMaxReviewFileSize / FormatReviewRecord(kTwo[0]).size();
        QVERIFY2(read.size() == whole || read.size() == whole + 1, qPrintable(QString::number(read.size())));
        QVERIFY(std::all_of(read.begin(), read.end(), [&](const CReview& r) { return r == kTwo[0]; }));
    }

    void pageShowsTheFileAndItsTitle()
    {
        QVERIFY(WriteReviewFile(Path(10), kTwo));
        CReviewsPage page(10, u"Keen %1 %s"_s);
        QCOMPARE(page.windowTitle(), u"Keen %1 %s Reviews"_s);
        QCOMPARE(page.GetHeading()->text(), page.windowTitle());
        QCOMPARE(page.GetPath(), Path(10));
        QVERIFY(!page.IsModified());
        QCOMPARE(page.GetList()->model()->rowCount(), 2);
        QCOMPARE(Row(page, 1), (QStringList{u"Bo Ek"_s, u"bo@example.org"_s, u"2001-02-03"_s}));
        for (QPushButton* button : {page.GetAddButton(), page.GetEditButton(), page.GetDeleteButton()})
            QCOMPARE(button->accessibleName(), button->text().remove(u'&'));
        QCOMPARE(CReviewsPage(11, u"Nothing"_s).GetList()->model()->rowCount(), 0);
    }

    void addEditDeleteThroughTheDialog()
    {
        QVERIFY(WriteReviewFile(Path(12), kTwo));
        CReviewsPage page(12, u"T"_s);
        const CReview added = Review(u"Cy"_s, u"cy@example.org"_s, true, u"today"_s, u"One\r\nTwo"_s);
        CReview shown = kTwo[0];
        QueueEditReview(std::nullopt, &shown); // Add, then Cancel
        page.OnAdd();
        QCOMPARE(shown, CReview());
        QCOMPARE(page.GetReviews().size(), 2);
        QVERIFY(!page.IsModified());

        QueueEditReview(added);
        page.GetAddButton()->click();
        QCOMPARE(page.GetReviews().last(), added);
        QCOMPARE(Row(page, 2), (QStringList{u"Cy"_s, u"cy@example.org"_s, u"today"_s}));
        QVERIFY(page.IsModified());

        // Edit and Delete without a highlighted row do nothing.
        SelectRows(page, {});
        page.OnEdit();
        page.OnDelete();
        QCOMPARE(CModalRun::PendingHandlers(), 0);
        QVERIFY(CMessageBox::TakeRequests().isEmpty());

        // Several highlighted: the first from the top is edited, from a copy of its values; Cancel
        // keeps it as it was.
        SelectRows(page, {2, 1});
        CReview changed = kTwo[1];
        changed.name = u"Bo Ekberg"_s;
        QueueEditReview(changed, &shown);
        page.GetEditButton()->click();
        QueueEditReview(std::nullopt);
        page.OnEdit();
        QCOMPARE(shown, kTwo[1]);
        QCOMPARE(page.GetReviews(), (QList<CReview>{kTwo[0], changed, added}));
        QCOMPARE(Row(page, 1).first(), u"Bo Ekberg"_s);

        // A double-click (a click, then a second press reported as double) edits the row too.
        SelectRows(page, {0});
        QueueEditReview(kTwo[1], &shown);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        const QPoint cell = page.GetList()->visualRect(page.GetList()->model()->index(0, 0)).center();
        QTest::mouseClick(page.GetList()->viewport(), Qt::LeftButton, {}, cell);
        QTest::mouseDClick(page.GetList()->viewport(), Qt::LeftButton, {}, cell);
        QCOMPARE(shown, kTwo[0]);
        QCOMPARE(page.GetReviews()[0], kTwo[1]);

        // Delete asks first; No keeps everything, Yes removes only the first highlighted.
        SelectRows(page, {1, 2});
        CMessageBox::QueueAnswer(QMessageBox::No);
        page.GetDeleteButton()->click();
        QCOMPARE(page.GetReviews().size(), 3);
        CMessageBox::QueueAnswer(QMessageBox::Yes);
        page.OnDelete();
        QCOMPARE(CMessageBox::TakeRequests().size(), 2);
        QCOMPARE(Describe(page.GetReviews()), Describe({kTwo[1], added}));
        QCOMPARE(page.GetList()->model()->rowCount(), 2);
        // Nothing reaches the file before the page is left.
        QCOMPARE(ReadFile(Path(12)), FormatReviewRecord(kTwo[0]) + FormatReviewRecord(kTwo[1]));
    }

    void requiredFieldsOneAtATime()
    {
        CReview review = Review(u"old"_s, u"old@x"_s, false, u"old"_s, u"old"_s);
        CEditReviewDialog dialog(review);
        dialog.show();
        for (QLineEdit* line : {dialog.GetNameEdit(), dialog.GetEmailEdit(), dialog.GetDateEdit()})
            line->clear();
        dialog.GetReviewEdit()->setPlainText(QString());
        dialog.GetAnonymousCheck()->setChecked(true);
        // Each OK names the first empty field and puts the focus on it; spaces count as present.
        for (QWidget* field : QList<QWidget*>{dialog.GetNameEdit(), dialog.GetEmailEdit(),
                                              dialog.GetDateEdit(), dialog.GetReviewEdit()}) {
            dialog.GetOkButton()->click();
            QVERIFY(dialog.isVisible());
            QCOMPARE(dialog.focusWidget(), field);
            if (auto* line = qobject_cast<QLineEdit*>(field))
                line->setText(u" "_s);
        }
        QVERIFY(!review.anonymous);
        QCOMPARE(TakeTexts(), (QStringList{u"Name field is required."_s, u"Email field is required."_s,
                                           u"Date field is required."_s, u"Review field is required."_s}));
        dialog.GetReviewEdit()->setPlainText(u"a\nb"_s);
        dialog.GetOkButton()->click();
        QVERIFY(CMessageBox::TakeRequests().isEmpty());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(review, Review(u" "_s, u" "_s, true, u" "_s, u"a\r\nb"_s));
    }

    void leavingThePageWrites()
    {
        QVERIFY(WriteReviewFile(Path(13), kTwo));
        CReviewsPage* page = nullptr;
        auto sheet = OpenReviewsPage(13, &page);
        QVERIFY(page->GetEditButton()->isDefault());
        // Leaving unchanged writes nothing: the same reviews with the site's LF line ends stay so.
        const auto lfOnly = [](const CReview& review) {
            return FormatReviewRecord(review).replace("\r\n", "\n");
        };
        WriteFile(Path(13), lfOnly(kTwo[0]) + lfOnly(kTwo[1]));
        QVERIFY(sheet->SetActivePage(0));
        QCOMPARE(ReadFile(Path(13)), lfOnly(kTwo[0]) + lfOnly(kTwo[1]));
        QVERIFY(sheet->GetButton(CPropertySheet::kOkButton)->isDefault());

        // Deleting the last review deletes the file when OK is pressed on the page.
        QVERIFY(sheet->SetActivePage(1));
        for (int i = 0; i < 2; ++i) {
            SelectRows(*page, {0});
            CMessageBox::QueueAnswer(QMessageBox::Yes);
            page->OnDelete();
        }
        sheet->PressOK();
        QVERIFY(!QFileInfo::exists(Path(13)));

        // Cancel keeps what an earlier departure wrote.
        sheet = OpenReviewsPage(14, &page);
        QueueEditReview(kTwo[0]);
        page->OnAdd();
        QVERIFY(sheet->SetActivePage(0));
        QVERIFY(sheet->SetActivePage(1));
        QueueEditReview(kTwo[1]);
        page->OnAdd();
        sheet->PressCancel();
        QCOMPARE(ReadFile(Path(14)), FormatReviewRecord(kTwo[0]));

        // A file too large to read whole is never written back: the page says so when it opens, and
        // offers no change it could not save.
        const QByteArray big = TooBigFile();
        WriteFile(Path(15), big);
        CMessageBox::TakeRequests();
        sheet = OpenReviewsPage(15, &page);
        QVERIFY(page->GetNotice()->isVisible());
        QCOMPARE(page->GetNotice()->text(),
                 Path(15) + u" is larger than 4 MiB. Troveport Explorer reads only its "
                            u"beginning, and does not write it back.\nThe reviews cannot be "
                            u"changed here."_s);
        for (QPushButton* button : {page->GetAddButton(), page->GetEditButton(), page->GetDeleteButton()})
            QVERIFY(!button->isEnabled());
        const qsizetype shownRows = page->GetReviews().size();
        SelectRows(*page, {0});
        page->OnDelete();
        QueueEditReview(kTwo[1]);
        page->OnAdd();
        CModalRun::ClearHandlers();
        QCOMPARE(page->GetReviews().size(), shownRows);
        QVERIFY(!page->IsModified());
        sheet->PressOK();
        QVERIFY(!sheet->isVisible());
        QVERIFY(CMessageBox::TakeRequests().isEmpty()); // not even the question Delete asks
        QCOMPARE(ReadFile(Path(15)), big);
        CReviewsPage small(16, u"T"_s); // a file that can be written has no notice
        QVERIFY(!small.IsReadOnly() && small.GetNotice()->isHidden());
    }
};

QTEST_MAIN(TestReviews)
#include "tst_reviews.moc"

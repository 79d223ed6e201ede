// Review files as the site leaves them: links it plants, bytes and records the Reviews page did not
// read, lines longer than the readers take, and writes that do not land.

#include "ReviewTestSupport.h"

#include <QLabel>

using namespace TestSupport;
using namespace ReviewTestSupport;

namespace {

enum Action
{
    Add,         // the second of kTwo added
    EditFirst,   // the first row renamed "Edited"
    DeleteFirst, // the first row deleted
};

enum Plant
{
    FileBeforeRead,
    FileWhileOpen,
    LockFile,
    Directory,
};

void Act(CReviewsPage& page, int action)
{
    CReview edited = page.GetReviews().value(0);
    edited.name = u"Edited"_s;
    SelectRows(page, {0});
    if (action == DeleteFirst) {
        CMessageBox::QueueAnswer(QMessageBox::Yes);
        page.OnDelete();
        CMessageBox::TakeRequests();
        return;
    }
    QueueEditReview(action == Add ? kTwo[1] : edited);
    action == Add ? page.OnAdd() : page.OnEdit();
}

} // namespace

class TestReviewFiles : public QObject, public CWebRoot
{
    Q_OBJECT

    static QString Path(qint64 id) { return ReviewFilePath(id); }

private slots:
    void initTestCase() { OpenWebRoot(); }
    void init() { ResetWebRoot(); }

    void plantedLinksAreRefused_data()
    {
        QTest::addColumn<int>("plant");
        QTest::addColumn<QString>("named"); // the entry the message must name
        QTest::addColumn<int>("readRows");
        QTest::addColumn<bool>("atOpen"); // told on the page, which then offers no changes
        QTest::newRow("review file, there when the page opens")
            << int(FileBeforeRead) << u"reviews/30.txt"_s << 0 << true;
        QTest::newRow("review file, swapped in while the page is open")
            << int(FileWhileOpen) << u"reviews/30.txt"_s << 1 << false;
        QTest::newRow("its lock file") << int(LockFile) << u"reviews/30.txt.lock"_s << 1 << false;
        QTest::newRow("reviews directory") << int(Directory) << u"reviews"_s << 0 << true;
    }
    void plantedLinksAreRefused()
    {
        QFETCH(int, plant);
        QFETCH(QString, named);
        QFETCH(bool, atOpen);
        WriteFile(m_outside + u"/30.txt"_s, FormatReviewRecord(kTwo[0]));
        WriteFile(Path(30), FormatReviewRecord(kTwo[0]));
        const auto linkTheFile = [this] {
            QVERIFY(QFile::remove(Path(30)));
            QVERIFY(MakeLink(m_outside + u"/.profile"_s, Path(30)));
        };
        if (plant == FileBeforeRead)
            linkTheFile();
        if (plant == LockFile)
            QVERIFY(MakeLink(m_outside + u"/30.txt.lock"_s, Path(30) + u".lock"_s));
        if (plant == Directory) {
            QVERIFY(QDir(Reviews()).removeRecursively());
            QVERIFY(MakeLink(m_outside, Reviews()));
        }
        const QStringList before = Snapshot(m_outside);

        CReviewsPage* page = nullptr;
        const auto sheet = OpenReviewsPage(30, &page);
        QTEST(int(page->GetReviews().size()), "readRows");
        QCOMPARE(page->IsReadOnly(), atOpen);
        QCOMPARE(page->GetNotice()->isVisible(), atOpen);
        Act(*page, Add);
        if (plant == FileWhileOpen)
            linkTheFile();
        QStringList shown;
        if (atOpen) {
            shown.append(page->GetNotice()->text());
            QTEST(int(page->GetReviews().size()), "readRows"); // Add offered nothing
            QVERIFY(sheet->SetActivePage(0));
            QCOMPARE(TakeTexts(), QStringList());
        } else {
            // Leaving would write through the link: the page says so and keeps its changes.
            QVERIFY(!sheet->SetActivePage(0));
            shown = TakeTexts();
            QCOMPARE(shown.size(), 1);
            QCOMPARE(page->GetReviews().last(), kTwo[1]);
        }
        QVERIFY2(shown[0].contains(g_szHttpPath + named + u' '), qPrintable(shown[0]));
        QCOMPARE(Snapshot(m_outside), before);
    }

    // Ids beyond 32 bits each have their own review file, named by the whole id.
    void idsBeyond32Bits_data()
    {
        QTest::addColumn<qint64>("id");
        QTest::addColumn<QString>("name");
        QTest::newRow("2^31") << (qint64(1) << 31) << u"2147483648.txt"_s;
        QTest::newRow("2^32") << (qint64(1) << 32) << u"4294967296.txt"_s;
        QTest::newRow("largest exact id") << (qint64(1) << 53) - 1 << u"9007199254740991.txt"_s;
        QTest::newRow("below -2^31") << -(qint64(1) << 31) - 1 << u"-2147483649.txt"_s;
    }
    void idsBeyond32Bits()
    {
        QFETCH(qint64, id);
        QFETCH(QString, name);
        const QString path = Reviews() + u'/' + name;
        WriteFile(path, FormatReviewRecord(kTwo[0]));
        CReviewsPage* page = nullptr;
        const auto sheet = OpenReviewsPage(id, &page);
        QCOMPARE(page->GetPath(), path);
        QCOMPARE(page->GetReviews(), QList<CReview>{kTwo[0]});
        Act(*page, Add);
        QVERIFY(sheet->SetActivePage(0));
        QCOMPARE(Entries(Reviews()), (QStringList{name, name + u".lock"_s}));
        QCOMPARE(ReadFile(path), FormatReviewRecord(kTwo[0]) + FormatReviewRecord(kTwo[1]));
    }

    // A reader that had the file open while it was written still reads the old file whole.
    void rewritesReplaceTheFile()
    {
        WriteFile(Path(35), FormatReviewRecord(kTwo[0]));
        CEarlierReader beforeWrite(Path(35));
        QVERIFY(beforeWrite.IsOpen());
        QVERIFY(WriteReviewFile(Path(35), kTwo));
        QVERIFY(beforeWrite.SawReplacement());

        CReviewsPage* page = nullptr;
        const auto sheet = OpenReviewsPage(35, &page);
        Act(*page, DeleteFirst);
        CEarlierReader beforeLeaving(Path(35));
        QVERIFY(sheet->SetActivePage(0));
        QVERIFY(beforeLeaving.SawReplacement());
        QCOMPARE(ReadFile(Path(35)), FormatReviewRecord(kTwo[1]));
    }

    void rewriteKeepsWhatThePageDidNotChange_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("siteAppends"); // while the page is open
        QTest::addColumn<int>("action");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray first = FormatReviewRecord(kTwo[0]);
        const QByteArray second = FormatReviewRecord(kTwo[1]);
        CReview edited = kTwo[0];
        edited.name = u"Edited"_s;
        const QByteArray crOnly = "a\re\rtrue\rd\rt1\rt2\r\t\rb\re\rfalse\rd\r\t\r";
        const QByteArray none;
        QTest::newRow("CR-only line ends, one added") << crOnly << none << int(Add) << crOnly + second;
        QTest::newRow("CR-only line ends, first deleted")
            << crOnly << none << int(DeleteFirst) << QByteArray("b\re\rfalse\rd\r\t\r");
        QTest::newRow("last record without its TAB line")
            << first + "Cy\r\ncy@x\r\n"
            << none << int(Add) << first + second + "Cy\r\ncy@x\r\n";
        QTest::newRow("last TAB line without its line end")
            << QByteArray("a\r\ne\r\nfalse\r\nd\r\n\t") << none << int(Add)
            << "a\r\ne\r\nfalse\r\nd\r\n\t\r\n" + second;
        QTest::newRow("site appends, page edits")
            << first << kSiteReview << int(EditFirst) << FormatReviewRecord(edited) + kSiteReview;
        QTest::newRow("site appends, page deletes")
            << first + second << kSiteReview << int(DeleteFirst) << second + kSiteReview;
        QTest::newRow("site appends, page adds")
            << first << kSiteReview << int(Add) << first + kSiteReview + second;
        QTest::newRow("equal records, one taken out")
            << first + first << first << int(DeleteFirst) << first + first;
        QTest::newRow("old code page kept byte for byte")
            << first + kSiteReview << none << int(DeleteFirst) << kSiteReview;
    }
    void rewriteKeepsWhatThePageDidNotChange()
    {
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, siteAppends);
        QFETCH(int, action);
        QFETCH(QByteArray, expected);
        WriteFile(Path(31), file);
        CReviewsPage* page = nullptr;
        const auto sheet = OpenReviewsPage(31, &page);
        AppendAsTheSite(Path(31), siteAppends);
        Act(*page, action);
        QVERIFY(sheet->SetActivePage(0));
        QCOMPARE(ReadFile(Path(31)), expected);
        QCOMPARE(TakeTexts(), QStringList());
        // The page now shows the file as it is, and leaving again changes nothing.
        QList<CReview> read;
        QVERIFY(ReadReviewFile(Path(31), read));
        QCOMPARE(Describe(page->GetReviews()), Describe(read));
        QVERIFY(sheet->SetActivePage(1));
        QVERIFY(sheet->SetActivePage(0));
        QCOMPARE(ReadFile(Path(31)), expected);
    }

    void everyLineFitsTheReaders_data()
    {
        QTest::addColumn<CReview>("review");
        QTest::addColumn<CReview>("expected"); // as it reads back
        const QString words = u"word "_s.repeated(60);
        QTest::newRow("ASCII name") << CReview{QString(300, u'x'), u"e"_s, true, u"d"_s, u"t"_s}
                                    << CReview{QString(254, u'x'), u"e"_s, true, u"d"_s, u"t"_s};
        QTest::newRow("two-byte name under 255 characters")
            << CReview{QString(200, u'é'), u"e"_s, true, u"d"_s, u"t"_s}
            << CReview{QString(127, u'é'), u"e"_s, true, u"d"_s, u"t"_s};
        QTest::newRow("three-byte date") << CReview{u"n"_s, u"e"_s, true, QString(100, u'€'), QString()}
                                         << CReview{u"n"_s, u"e"_s, true, QString(84, u'€'), QString()};
        QTest::newRow("four-byte e-mail") << CReview{u"n"_s, u"😀"_s.repeated(80), true, u"d"_s, u"t"_s}
                                          << CReview{u"n"_s, u"😀"_s.repeated(63), true, u"d"_s, u"t"_s};
        QTest::newRow("long text line wraps between characters")
            << CReview{u"n"_s, u"e"_s, false, u"d"_s, u"a\r\n"_s + QString(300, u'é') + u"\r\nb"_s}
            << CReview{u"n"_s, u"e"_s, false, u"d"_s,
                       u"a\r\n"_s + QString(127, u'é') + u"\r\n"_s + QString(127, u'é') + u"\r\n"_s +
                           QString(46, u'é') + u"\r\nb"_s};
        QTest::newRow("long text line wraps after a word")
            << CReview{u"n"_s, u"e"_s, false, u"d"_s, words}
            << CReview{u"n"_s, u"e"_s, false, u"d"_s, words.left(250) + u"\r\n"_s + words.mid(250)};
        // A TAB leading a line, or a line break in a one-line field, would split the record.
        QTest::newRow("line break and TAB in one-line fields")
            << CReview{u"Two\nLines"_s, u"\ta@b"_s, false, u"d\r\n"_s, u"\tindented"_s}
            << CReview{u"Two Lines"_s, u" a@b"_s, false, u"d  "_s, u" indented"_s};
        QTest::newRow("a wrapped line never starts with a TAB")
            << CReview{u"n"_s, u"e"_s, false, u"d"_s, QString(254, u'x') + u"\tafter"_s}
            << CReview{u"n"_s, u"e"_s, false, u"d"_s, QString(253, u'x') + u"\r\nx\tafter"_s};
    }
    void everyLineFitsTheReaders()
    {
        QFETCH(CReview, review);
        QFETCH(CReview, expected);
        const QByteArray bytes = FormatReviewRecord(review);
        QList<QByteArray> lines = bytes.split('\n');
        QVERIFY(lines.takeLast().isEmpty());
        for (const QByteArray& line : std::as_const(lines)) {
            QVERIFY2(line.endsWith('\r') && line.size() <= 255, line.constData());
            QCOMPARE(QString::fromUtf8(line).toUtf8(), line); // no character cut in two
        }
        WriteFile(Path(32), bytes + FormatReviewRecord(kTwo[1]));
        QList<CReview> read;
        QVERIFY(ReadReviewFile(Path(32), read));
        QCOMPARE(Describe(read), Describe({expected, kTwo[1]}));
    }

    void longWindows1252NameKeepsTheFieldsInPlace()
    {
        // 200 bytes as the site wrote it; 400 once it is UTF-8.
        WriteFile(Path(33), QByteArray(200, '\xe9') + "\r\nr@x\r\ntrue\r\n1/2/99\r\nGood.\r\n\t\r\n");
        CReviewsPage* page = nullptr;
        const auto sheet = OpenReviewsPage(33, &page);
        CReview changed = page->GetReviews().first();
        QCOMPARE(changed.name, QString(200, u'é'));
        changed.date = u"2/2/99"_s;
        SelectRows(*page, {0});
        QueueEditReview(changed);
        page->OnEdit();
        QVERIFY(sheet->SetActivePage(0));
        QList<CReview> read;
        QVERIFY(ReadReviewFile(Path(33), read));
        QCOMPARE(Describe(read), Describe({{QString(127, u'é'), u"r@x"_s, true, u"2/2/99"_s, u"Good."_s}}));
    }

    void writesThatDoNotLandLeaveTheOldFile()
    {
        const QByteArray old = FormatReviewRecord(kTwo[0]);
        WriteFile(Path(34), old);
        CReviewsPage* page = nullptr;
        const auto sheet = OpenReviewsPage(34, &page);
        Act(*page, Add);
        bool written = true, appended = true, left = true;
        {
            const CFileSizeLimit limit(old.size() + 8);
            if (!limit.IsSet())
                QSKIP("This system does not let a process limit the size of its files.");
            written = WriteReviewFile(Path(34), kTwo);
            appended = AppendReviewToFile(Path(34), kTwo[1]);
            left = sheet->SetActivePage(0);
        }
        QVERIFY(!written);
        QVERIFY(!appended);
        QVERIFY(!left); // the page stays with its changes, after saying why
        const QStringList shown = TakeTexts();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].contains(Path(34)), qPrintable(shown[0]));
        QCOMPARE(ReadFile(Path(34)), old);
        QCOMPARE(Entries(Reviews()).filter(u"troveport"_s), QStringList()); // no temporary file left
        QVERIFY(sheet->SetActivePage(0)); // with room again, the changes are written
        QCOMPARE(ReadFile(Path(34)), old + FormatReviewRecord(kTwo[1]));
    }
};

QTEST_MAIN(TestReviewFiles)
#include "tst_reviewfiles.moc"

// Review files as the site leaves them: links it plants, bytes and records the Reviews page did not
// read, lines longer than the readers take, and writes that do not land.

#include "controls/CMessageBox.h"
#include "controls/CModalRun.h"
#include "controls/CPropertySheet.h"
#include "reviews/CEditReviewDialog.h"
#include "reviews/CReviewsPage.h"
#include "reviews/ReviewFile.h"
#include "ReviewTestSupport.h"
#include "settings/Globals.h"
#include "TestSupport.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeView>

using namespace Qt::StringLiterals;
using namespace TestSupport;
using namespace ReviewTestSupport;

Q_DECLARE_METATYPE(CReview)

namespace {

QStringList Messages()
{
    QStringList texts;
    for (const CMessageBox::Request& request : CMessageBox::TakeRequests())
        texts.append(request.text);
    return texts;
}

// Runs the Edit Review dialog once: the review's values typed in, then OK.
void QueueOk(const CReview& values)
{
    CModalRun::QueueHandler([values](QDialog& shown) {
        auto& dialog = static_cast<CEditReviewDialog&>(shown);
        dialog.GetNameEdit()->setText(values.name);
        dialog.GetEmailEdit()->setText(values.email);
        dialog.GetAnonymousCheck()->setChecked(values.anonymous);
        dialog.GetDateEdit()->setText(values.date);
        CEditReviewDialog::ShowTextInField(*dialog.GetReviewEdit(), values.text);
        dialog.GetOkButton()->click();
        return dialog.result();
    });
}

void SelectRow(CReviewsPage& page, int row)
{
    QItemSelectionModel* selection = page.GetList()->selectionModel();
    selection->clearSelection();
    selection->select(page.GetList()->model()->index(row, 0),
                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

const QList<CReview> kTwo = {
    {u"Ann Lee"_s, u"ann@example.org"_s, true, u"May 1, 1999"_s, u"Great game.\r\n\r\nMy kids love it."_s},
    {u"Bo Ek"_s, u"bo@example.org"_s, false, u"2001-02-03"_s, u"Fünf Sterne: 100% \"gut\" %1"_s},
};

// A record as an older site writes it, in its old code page ("René", curly quotes).
const QByteArray kSiteRecord = "Ren\xe9\r\nr@x\r\nfalse\r\n1/2/99\r\n\x93Hi\x94\r\n\t\r\n";

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

} // namespace

class TestReviewFiles : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_web;
    QString m_outside; // where the site's links lead: the administrator's own files

    QString Path(qint32 id) const { return m_web + u"reviews/%1.txt"_s.arg(id); }

    // A sheet with a plain page first and the Reviews page second, showing the Reviews page.
    static std::unique_ptr<CPropertySheet> OpenPage(qint64 id, CReviewsPage** page)
    {
        auto sheet = std::make_unique<CPropertySheet>(u"Properties"_s);
        sheet->AddPage(new CPropertyPage(1, u"General"_s));
        *page = new CReviewsPage(id, u"T"_s);
        sheet->AddPage(*page);
        sheet->show();
        sheet->SetActivePage(1);
        return sheet;
    }

    static void Act(CReviewsPage& page, int action)
    {
        switch (action) {
        case Add:
            QueueOk(kTwo[1]);
            page.OnAdd();
            break;
        case EditFirst: {
            CReview edited = page.GetReviews().first();
            edited.name = u"Edited"_s;
            SelectRow(page, 0);
            QueueOk(edited);
            page.OnEdit();
            break;
        }
        case DeleteFirst:
            SelectRow(page, 0);
            CMessageBox::QueueAnswer(QMessageBox::Yes);
            page.OnDelete();
            CMessageBox::TakeRequests();
            break;
        }
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_web = m_dir.path() + u"/web/"_s;
        m_outside = m_dir.path() + u"/home"_s;
        g_szHttpPath = m_web;
    }

    void init()
    {
        CModalRun::ClearHandlers();
        CMessageBox::SetAnsweringMode(true);
        CMessageBox::TakeRequests();
        QFile::remove(m_web + u"reviews"_s); // a link a test left
        QDir(m_web + u"reviews"_s).removeRecursively();
        QVERIFY(QDir().mkpath(m_web + u"reviews"_s));
        QDir(m_outside).removeRecursively();
        QVERIFY(QDir().mkpath(m_outside));
        WriteFile(m_outside + u"/.profile"_s, "export PATH=$HOME/bin:$PATH\n");
        WriteFile(m_outside + u"/30.txt"_s, FormatReviewRecord(kTwo[0]));
    }

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
        QFETCH(int, readRows);
        QFETCH(bool, atOpen);
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
            QVERIFY(QDir(m_web + u"reviews"_s).removeRecursively());
            QVERIFY(MakeLink(m_outside, m_web + u"reviews"_s));
        }
        const QStringList before = Snapshot(m_outside);

        CReviewsPage* page = nullptr;
        const auto sheet = OpenPage(30, &page);
        QCOMPARE(page->GetReviews().size(), readRows);
        QCOMPARE(page->IsReadOnly(), atOpen);
        QCOMPARE(page->GetNotice()->isVisible(), atOpen);
        Act(*page, Add);
        if (plant == FileWhileOpen)
            linkTheFile();
        QStringList shown;
        if (atOpen) {
            shown.append(page->GetNotice()->text());
            QCOMPARE(page->GetReviews().size(), readRows); // Add offered nothing
            QVERIFY(!page->GetAddButton()->isEnabled());
            QVERIFY(sheet->SetActivePage(0));
            QCOMPARE(Messages(), QStringList());
        } else {
            // Leaving would write through the link: the page says so and keeps its changes.
            QVERIFY(!sheet->SetActivePage(0));
            shown = Messages();
            QCOMPARE(shown.size(), 1);
            QCOMPARE(page->GetReviews().last(), kTwo[1]);
        }
        QVERIFY2(shown[0].contains(m_web + named + u' '), qPrintable(shown[0]));
        QCOMPARE(Snapshot(m_outside), before);
    }

    // Ids beyond 32 bits each have their own review file, named by the whole id.
    void idsBeyond32Bits_data()
    {
        QTest::addColumn<qint64>("id");
        QTest::addColumn<QString>("name");
        QTest::newRow("2^31") << (qint64(1) << 31) << u"2147483648.txt"_s;
        QTest::newRow("2^31 + 1") << (qint64(1) << 31) + 1 << u"2147483649.txt"_s;
        QTest::newRow("2^32") << (qint64(1) << 32) << u"4294967296.txt"_s;
        QTest::newRow("largest exact id") << (qint64(1) << 53) - 1 << u"9007199254740991.txt"_s;
        QTest::newRow("below -2^31") << -(qint64(1) << 31) - 1 << u"-2147483649.txt"_s;
    }

    void idsBeyond32Bits()
    {
        QFETCH(qint64, id);
        QFETCH(QString, name);
        WriteFile(m_web + u"reviews/"_s + name, FormatReviewRecord(kTwo[0]));
        CReviewsPage* page = nullptr;
        const auto sheet = OpenPage(id, &page);
        QCOMPARE(page->GetPath(), m_web + u"reviews/"_s + name);
        QCOMPARE(page->GetReviews(), QList<CReview>{kTwo[0]});
        Act(*page, Add);
        QVERIFY(sheet->SetActivePage(0));
        QCOMPARE(Entries(m_web + u"reviews"_s), (QStringList{name, name + u".lock"_s}));
        QCOMPARE(ReadFile(m_web + u"reviews/"_s + name), FormatReviewRecord(kTwo[0]) + FormatReviewRecord(kTwo[1]));
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
        const auto sheet = OpenPage(35, &page);
        Act(*page, DeleteFirst);
        CEarlierReader beforeLeaving(Path(35));
        QVERIFY(beforeLeaving.IsOpen());
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

        QTest::newRow("CR-only line ends, one added")
            << crOnly << QByteArray() << int(Add) << crOnly + second;
        QTest::newRow("CR-only line ends, first deleted")
            << crOnly << QByteArray() << int(DeleteFirst) << QByteArray("b\re\rfalse\rd\r\t\r");
        QTest::newRow("last record without its TAB line")
            << first + "Cy\r\ncy@x\r\n"
            << QByteArray() << int(Add) << first + second + "Cy\r\ncy@x\r\n";
        QTest::newRow("last TAB line without its line end")
            << QByteArray("a\r\ne\r\nfalse\r\nd\r\n\t") << QByteArray() << int(Add)
            << "a\r\ne\r\nfalse\r\nd\r\n\t\r\n" + second;
        QTest::newRow("site appends, page edits")
            << first << kSiteRecord << int(EditFirst) << FormatReviewRecord(edited) + kSiteRecord;
        QTest::newRow("site appends, page deletes")
            << first + second << kSiteRecord << int(DeleteFirst) << second + kSiteRecord;
        QTest::newRow("site appends, page adds")
            << first << kSiteRecord << int(Add) << first + kSiteRecord + second;
        QTest::newRow("equal records, one taken out")
            << first + first << first << int(DeleteFirst) << first + first;
        QTest::newRow("old code page kept byte for byte")
            << first + kSiteRecord << QByteArray() << int(DeleteFirst) << kSiteRecord;
    }

    void rewriteKeepsWhatThePageDidNotChange()
    {
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, siteAppends);
        QFETCH(int, action);
        QFETCH(QByteArray, expected);
        WriteFile(Path(31), file);
        CReviewsPage* page = nullptr;
        const auto sheet = OpenPage(31, &page);
        if (!siteAppends.isEmpty()) {
            QFile append(Path(31));
            QVERIFY(append.open(QIODevice::Append));
            QCOMPARE(append.write(siteAppends), siteAppends.size());
        }
        Act(*page, action);
        QVERIFY(sheet->SetActivePage(0));
        QCOMPARE(ReadFile(Path(31)), expected);
        QCOMPARE(Messages(), QStringList());
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
        QTest::newRow("a wrapped line never starts with a TAB")
            << CReview{u"n"_s, u"e"_s, false, u"d"_s, QString(254, u'x') + u"\tafter"_s}
            << CReview{u"n"_s, u"e"_s, false, u"d"_s, QString(253, u'x') + u"\r\nx\tafter"_s};
    }

    void everyLineFitsTheReaders()
    {
        QFETCH(CReview, review);
        QFETCH(CReview, expected);
        const QByteArray bytes = FormatReviewRecord(review);
        QVERIFY(bytes.endsWith("\r\n\t\r\n"));
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
        const auto sheet = OpenPage(33, &page);
        CReview changed = page->GetReviews().first();
        QCOMPARE(changed.name, QString(200, u'é'));
        changed.date = u"2/2/99"_s;
        SelectRow(*page, 0);
        QueueOk(changed);
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
        const auto sheet = OpenPage(34, &page);
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
        const QStringList shown = Messages();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].contains(Path(34)), qPrintable(shown[0]));
        QCOMPARE(ReadFile(Path(34)), old);
        // No temporary file is left behind.
        QCOMPARE(Entries(m_web + u"reviews"_s).filter(u"34.txt"_s).filter(u"troveport"_s), QStringList());
        QVERIFY(sheet->SetActivePage(0)); // with room again, the changes are written
        QCOMPARE(ReadFile(Path(34)), old + FormatReviewRecord(kTwo[1]));
    }
};

QTEST_MAIN(TestReviewFiles)
#include "tst_reviewfiles.moc"

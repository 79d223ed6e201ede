// Clipboard file submissions: recognising one, reading its header and description, and the date
// text of its "Date" value.

#include "adding/addfile/CClipboardSubmission.h"
#include "ZoneSupport.h"

#include <QTest>

#include <climits>

using namespace Qt::StringLiterals;

// Each entry "key=value" names a key that must hold that value.
using Expected = QStringList;

class TestSubmission : public QObject
{
    Q_OBJECT

private:
    static void CheckValues(const CClipboardSubmission& submission, const Expected& present,
                            const QStringList& absent)
    {
        for (const QString& entry : present) {
            const qsizetype equals = entry.indexOf(u'=');
            QCOMPARE(submission.GetValue(entry.first(equals)), entry.sliced(equals + 1));
        }
        for (const QString& key : absent)
            QVERIFY2(submission.GetValue(key).isEmpty(), qPrintable(key));
    }

private slots:
    void initTestCase() { ZoneSupport::RequireZoneInEffect(); }
    void recognition_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("submission");
        QTest::newRow("as written") << u"Title=A\r\nSiteName1=B\r\nSiteUrl1=http://x.org/a.zip\r\n"_s << true;
        QTest::newRow("lower case") << u"title=a\nsitename1=b\nsiteurl1=c\n"_s << true;
        QTest::newRow("capitals, any order") << u"SITEURL1=c SITENAME1=b TITLE=a"_s << true;
        QTest::newRow("inside other words") << u"SubTitle=a;XSiteName1=b;MySiteUrl1="_s << true;
        QTest::newRow("marker ends the text") << u"Title=a\nSiteName1=b\nSiteUrl1="_s << true;
        // Compared by their capitals: the dotless i's capital is I.
        QTest::newRow("capital forms") << u"T\u0131tle=a\nSiteName1=b\nSiteUrl1=c"_s << true;
        QTest::newRow("no SiteName1") << u"Title=a\nSiteUrl1=c\n"_s << false;
        QTest::newRow("SiteName10 only") << u"Title=a\nSiteName10=b\nSiteUrl1=c\n"_s << false;
        QTest::newRow("no Title") << u"SiteName1=b\nSiteUrl1=c\n"_s << false;
        QTest::newRow("marker split by a line end") << u"Title\r\n=a\nSiteName1=b\nSiteUrl1=c"_s << false;
        QTest::newRow("shorter than a marker") << u"Title"_s << false;
        QTest::newRow("empty") << QString() << false;
    }
    void recognition()
    {
        QFETCH(QString, text);
        QTEST(CClipboardSubmission::IsSubmission(text), "submission");
    }

    void parsing_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<Expected>("present");
        QTest::addColumn<QStringList>("absent");
        QTest::addColumn<QString>("body");

        QTest::newRow("keys are exact")
            << u"title=Readme\nSiteUrl1=x\n"_s << Expected{u"title=Readme"_s, u"SiteUrl1=x"_s}
            << QStringList{u"Title"_s, u"siteurl1"_s} << QString();
        QTest::newRow("later line wins")
            << u"Title=One\nSize=5\nTitle=Two\n\nBody"_s << Expected{u"Title=Two"_s, u"Size=5"_s}
            << QStringList() << u"Body"_s;
        QTest::newRow("nothing trimmed, first = splits")
            << u"Title = A=B \n=no key\n"_s << Expected{u"Title = A=B "_s, u"=no key"_s}
            << QStringList{u"Title"_s} << QString();
        QTest::newRow("lines without = skipped")
            << u"Title=A\ngarbage\nSize=5\n\nBody"_s << Expected{u"Title=A"_s, u"Size=5"_s}
            << QStringList{u"garbage"_s} << u"Body"_s;
        QTest::newRow("no empty line")
            << u"Title=A\nSize=5"_s << Expected{u"Title=A"_s, u"Size=5"_s} << QStringList() << QString();
        QTest::newRow("empty line, then nothing")
            << u"Title=A\n\n"_s << Expected{u"Title=A"_s} << QStringList() << QString();
        QTest::newRow("CR LF CR LF ends the header")
            << u"Title=A\r\nSize=5\r\n\r\nLine 1\r\nLine 2\r\n\r\nKey=not a header\r\n"_s
            << Expected{u"Title=A"_s, u"Size=5"_s} << QStringList{u"Key"_s}
            << u"Line 1\r\nLine 2\r\n\r\nKey=not a header\r\n"_s;
        QTest::newRow("LF line ends")
            << u"Title=A\nSize=5\n\nLine 1\nLine 2\n\nKey=x\n"_s << Expected{u"Title=A"_s, u"Size=5"_s}
            << QStringList{u"Key"_s} << u"Line 1\nLine 2\n\nKey=x\n"_s;
        QTest::newRow("CR line ends")
            << u"Title=A\rSize=5\r\rLine 1\rKey=x\r"_s << Expected{u"Title=A"_s, u"Size=5"_s}
            << QStringList{u"Key"_s} << u"Line 1\rKey=x\r"_s;
        QTest::newRow("mixed line ends")
            << u"Title=A\nSize=5\r\nVersion=2\r\rBody\n"_s
            << Expected{u"Title=A"_s, u"Size=5"_s, u"Version=2"_s} << QStringList() << u"Body\n"_s;
        // LF CR is not a pair: the CR is an empty line of its own.
        QTest::newRow("LF CR is two line ends")
            << u"Title=A\n\rSize=5"_s << Expected{u"Title=A"_s} << QStringList{u"Size"_s} << u"Size=5"_s;
        QTest::newRow("empty first line")
            << u"\nTitle=A"_s << Expected() << QStringList{u"Title"_s} << u"Title=A"_s;
        QTest::newRow("only CRs") << u"\r\r\r"_s << Expected() << QStringList() << u"\r\r"_s;
        QTest::newRow("one CR LF") << u"\r\n"_s << Expected() << QStringList() << QString();
        QTest::newRow("NUL characters kept")
            << u"Title=a\0b\n\nx\0y"_s << Expected{u"Title=a\0b"_s} << QStringList() << u"x\0y"_s;
        QTest::newRow("empty") << QString() << Expected() << QStringList() << QString();
    }
    void parsing()
    {
        QFETCH(QString, text);
        QFETCH(Expected, present);
        QFETCH(QStringList, absent);
        CClipboardSubmission submission;
        submission.Parse(text);
        CheckValues(submission, present, absent);
        QTEST(submission.GetBody(), "body");
    }

    void parsingStartsAfresh()
    {
        CClipboardSubmission submission;
        submission.Parse(u"Title=Old\nVersion=1\n\nOld body"_s);
        submission.Parse(u"Title=New\n"_s);
        QCOMPARE(submission.GetValue(u"Title"_s), u"New"_s);
        QVERIFY(submission.GetValue(u"Version"_s).isEmpty());
        QVERIFY(submission.GetBody().isEmpty());
    }

    // A header line keeps its first 259 characters; the rest of it up to its line end is dropped.
    void longHeaderLines_data()
    {
        const QString emoji = u"\U0001F600"_s;
        QTest::addColumn<QString>("text");
        QTest::addColumn<Expected>("present");
        QTest::addColumn<QStringList>("absent");
        QTest::addColumn<QString>("body");
        QTest::newRow("259 characters")
            << u"Title="_s + QString(253, u'a') + u"\nSize=5"_s
            << Expected{u"Title="_s + QString(253, u'a'), u"Size=5"_s} << QStringList() << QString();
        QTest::newRow("260 characters")
            << u"Title="_s + QString(254, u'a') + u"\r\nSize=5"_s
            << Expected{u"Title="_s + QString(253, u'a'), u"Size=5"_s} << QStringList() << QString();
        QTest::newRow("tail is no line of its own")
            << u"Title="_s + QString(253, u'a') + u"X=injected\n\nBody"_s
            << Expected{u"Title="_s + QString(253, u'a')} << QStringList{u"X"_s, u"aX"_s} << u"Body"_s;
        QTest::newRow("= beyond the limit")
            << QString(259, u'k') + u"=v\nSize=5\n\nBody"_s << Expected{u"Size=5"_s}
            << QStringList{QString(259, u'k')} << u"Body"_s;
        QTest::newRow("surrogate pair counts once")
            << u"Title="_s + QString(252, u'a') + emoji + u"b"_s
            << Expected{u"Title="_s + QString(252, u'a') + emoji} << QStringList() << QString();
        QTest::newRow("surrogate pair not cut")
            << u"Title="_s + QString(253, u'a') + emoji + u"\n\nBody"_s
            << Expected{u"Title="_s + QString(253, u'a')} << QStringList() << u"Body"_s;
        QTest::newRow("body lines are not limited")
            << u"Title=A\n\n"_s + QString(1000, u'b') << Expected{u"Title=A"_s} << QStringList()
            << QString(1000, u'b');
    }

    void longHeaderLines() { parsing(); }

    // Texts far beyond any real submission are read in one pass, without a line's worth of copies.
    void hugeTexts()
    {
        CClipboardSubmission submission;
        const qsizetype size = 20'000'000;
        submission.Parse(u"Title="_s + QString(size, u'x'));
        QCOMPARE(submission.GetValue(u"Title"_s), QString(253, u'x'));

        submission.Parse(QString(size, u'\r'));
        QCOMPARE(submission.GetBody().size(), size - 1);

        submission.Parse(QString(u"a\n"_s).repeated(size / 2));
        QVERIFY(submission.GetBody().isEmpty());
        QVERIFY(submission.GetValue(u"a"_s).isEmpty());

        const QString huge = QString(u"Title=\0\r"_s).repeated(size / 8);
        QVERIFY(!CClipboardSubmission::IsSubmission(huge));
        QVERIFY(CClipboardSubmission::IsSubmission(huge + u"siteurl1=,sitename1="_s));
    }

    void dates_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<int>("month");
        QTest::addColumn<int>("day");
        QTest::addColumn<int>("year");
        QTest::addColumn<bool>("valid");
        const QString us = u"mm/dd/yy"_s;
        const QString full = u"mm/dd/yyyy"_s;
        QTest::newRow("last day of 99") << u"12/31/99"_s << us << 12 << 31 << 99 << true;
        QTest::newRow("shorter than the pattern") << u"1/5/97"_s << us << 1 << 1 << 1 << true;
        QTest::newRow("longer than the pattern") << u"12/31/1999"_s << us << 1 << 1 << 1 << true;
        QTest::newRow("month 00") << u"00/15/99"_s << us << -1 << 15 << 99 << false;
        QTest::newRow("day 00") << u"12/00/99"_s << us << 12 << -1 << 99 << false;
        QTest::newRow("29 Feb 00") << u"02/29/00"_s << us << 2 << 29 << -1 << false;
        QTest::newRow("29 Feb 96") << u"02/29/96"_s << us << 2 << 29 << 96 << true;
        QTest::newRow("29 Feb 97") << u"02/29/97"_s << us << 2 << 29 << 97 << false;
        QTest::newRow("31 April") << u"04/31/99"_s << us << 4 << 31 << 99 << false;
        QTest::newRow("32 January") << u"01/32/99"_s << us << 1 << 32 << 99 << false;
        QTest::newRow("29 Feb 2004") << u"02/29/2004"_s << full << 2 << 29 << 2004 << true;
        QTest::newRow("month 13") << u"13/01/99"_s << us << 13 << 1 << 99 << false;
        QTest::newRow("no digits") << u"ab/cd/ef"_s << us << -1 << -1 << -1 << false;
        QTest::newRow("other characters skipped") << u"1a/ 2/9-"_s << us << 1 << 2 << 9 << true;
        QTest::newRow("separators unchecked") << u"12-31-99"_s << us << 12 << 31 << 99 << true;
        QTest::newRow("capital letters") << u"12/31/99"_s << u"MM/DD/YY"_s << 12 << 31 << 99 << true;
        QTest::newRow("earlier of the two cases") << u"99/04/07"_s << u"yy/MM/mm"_s << 4 << 1 << 99 << true;
        QTest::newRow("first run only") << u"12/31/99 05"_s << u"mm/dd/yy mm"_s << 12 << 31 << 99 << true;
        QTest::newRow("day first") << u"31.12.1999"_s << u"dd.mm.yyyy"_s << 12 << 31 << 1999 << true;
        QTest::newRow("29 Feb 1900") << u"02/29/1900"_s << full << 2 << 29 << 1900 << false;
        QTest::newRow("29 Feb 2000") << u"02/29/2000"_s << full << 2 << 29 << 2000 << true;
        QTest::newRow("last year") << u"12/31/2078"_s << full << 12 << 31 << 2078 << true;
        QTest::newRow("after the last year") << u"01/01/2079"_s << full << 1 << 1 << 2079 << false;
        QTest::newRow("before the first year") << u"12/31/1899"_s << full << 12 << 31 << 1899 << false;
        QTest::newRow("year 0099 is 1999") << u"01/01/0099"_s << full << 1 << 1 << 99 << true;
        QTest::newRow("year 100") << u"01/01/0100"_s << full << 1 << 1 << 100 << false;
        QTest::newRow("no year in the pattern") << u"12/31"_s << u"mm/dd"_s << 12 << 31 << 1 << true;
        QTest::newRow("empty") << QString() << QString() << 1 << 1 << 1 << true;
        // Positions are characters: a character outside the BMP takes one place in the layout.
        QTest::newRow("surrogate pair is one place") << u"1\U0001F600/31/99"_s << us << 1 << 31 << 99 << true;
        QTest::newRow("lone surrogate is one place")
            << u"1"_s + QChar(0xD83D) + u"/31/99"_s << us << 1 << 31 << 99 << true;
        QTest::newRow("endless month") << QString(30, u'9') + u"/01/99"_s << QString(30, u'm') + u"/dd/yy"_s
                                       << INT_MAX << 1 << 99 << false;
        QTest::newRow("huge text") << QString(10'000'000, u'1') << us << 1 << 1 << 1 << true;
    }
    void dates()
    {
        QFETCH(QString, text);
        QFETCH(QString, pattern);
        int month = 0;
        int day = 0;
        int year = 0;
        const bool valid = ParseDateText(text, pattern, &month, &day, &year);
        QTEST(month, "month");
        QTEST(day, "day");
        QTEST(year, "year");
        QTEST(valid, "valid");
        // The parts are optional for a caller that only wants the answer.
        QCOMPARE(ParseDateText(text, pattern, nullptr, nullptr, nullptr), valid);
    }
};

QTEST_GUILESS_MAIN(TestSubmission)
#include "tst_submission.moc"

// Filling the program's printf-style formats: texts from outside go in as they stand, whatever
// they hold, and numbers come out as printf writes them.

#include "files/CodePoints.h"
#include "files/SafeFormat.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestSafeFormat : public QObject
{
    Q_OBJECT

private slots:
    void outsideTextIsNeverSubstitutedAgain()
    {
        // A setting with a percent escape and a path holding what other formatters take for markers.
        QCOMPARE(SafeFormat(u"%s/troveport/details/%d.asp", u"http://files.example.com/lib%2Bfiles"_s, 301),
                 u"http://files.example.com/lib%2Bfiles/troveport/details/301.asp"_s);
        QCOMPARE(SafeFormat(u"The file %s could not be deleted from disk.", u"/srv/%1 %s %d %%/a.zip"_s),
                 u"The file /srv/%1 %s %d %%/a.zip could not be deleted from disk."_s);
        QCOMPARE(SafeFormat(u"%s and %s", u"%s"_s, u"%1"_s), u"%s and %1"_s);
    }

    void conversions_data()
    {
        QTest::addColumn<QString>("result");
        QTest::addColumn<QString>("expected");
        QTest::newRow("percent") << SafeFormat(u"100%% of %d", 5) << u"100% of 5"_s;
        QTest::newRow("like pattern")
            << SafeFormat(u" %s like '%%%s%%'", "files.title", u"a_b"_s) << u" files.title like '%a_b%'"_s;
        // The layout setting's fields: zero-padded, the sign first.
        QTest::newRow("zero padded") << SafeFormat(u"%04d %04d %04d", 7, -12, 123456)
                                     << u"0007 -012 123456"_s;
        QTest::newRow("width and left")
            << SafeFormat(u"[%5s|%-5s|%3d]", "ab", "cd", 4) << u"[   ab|cd   |  4]"_s;
        QTest::newRow("precision") << SafeFormat(u"%.3s %.0f %.2f", "abcdef", 2.5, 1.005) << u"abc 2 1.00"_s;
        QTest::newRow("64-bit") << SafeFormat(u"%ld %lld %lu", qint64(-9007199254740993LL),
                                              qint64(9223372036854775807LL), quint64(18446744073709551615ULL))
                                << u"-9007199254740993 9223372036854775807 18446744073709551615"_s;
        QTest::newRow("hex and unsigned of negative")
            << SafeFormat(u"%x %X %u", 255, 255, -1) << u"ff FF 18446744073709551615"_s;
        // A double given for %d drops its fraction, and saturates instead of overflowing.
        QTest::newRow("double as integer")
            << SafeFormat(u"%d %d %d", 301.9, -2.5, 1e300) << u"301 -2 18446744073709551615"_s;
        QTest::newRow("missing argument") << SafeFormat(u"a %s b %d c", "x") << u"a x b  c"_s;
        QTest::newRow("not a conversion") << SafeFormat(u"50%! %y %", 1) << u"50%! %y %"_s;
        QTest::newRow("huge real") << QString::number(SafeFormat(u"%.2f", 1e300).size()) << u"304"_s;
        QTest::newRow("real") << SafeFormat(u"%f|%+.1f|%06.2f", 0.5, 2.25, -1.5) << u"0.500000|+2.2|-01.50"_s;
        QTest::newRow("huge width") << SafeFormat(u"%999999999d", 1).right(3) << u"  1"_s;
    }

    void conversions()
    {
        QFETCH(QString, result);
        QFETCH(QString, expected);
        QCOMPARE(result, expected);
    }

    // Every field limit counts alike: a pair is one character, and so is a lone surrogate (stored as
    // U+FFFD), which earlier counters took for nothing or for half of the next character.
    void codePoints_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("firstTwo");
        const QString emoji = QString::fromUcs4(U"\U0001F600", 1);
        const QChar high(0xD83D), low(0xDE00);
        QTest::newRow("plain") << u"abc"_s << 3 << u"ab"_s;
        QTest::newRow("a pair") << (emoji + emoji + u'x') << 3 << (emoji + emoji);
        QTest::newRow("lone high surrogate at the end") << (u"a"_s + high) << 2 << (u"a"_s + high);
        QTest::newRow("lone low surrogate first") << (QString(low) + u"ab"_s) << 3 << (QString(low) + u'a');
        QTest::newRow("high surrogate before a pair") << (QString(high) + emoji) << 2 << (QString(high) + emoji);
    }
    void codePoints()
    {
        QFETCH(QString, text);
        QFETCH(int, count);
        QFETCH(QString, firstTwo);
        QCOMPARE(CodePointCount(text), qsizetype(count));
        QCOMPARE(CodePointCount(text), qsizetype(text.toUcs4().size())); // as the database stores it
        QCOMPARE(LeftCodePoints(text, 2), firstTwo);
    }
};

QTEST_GUILESS_MAIN(TestSafeFormat)
#include "tst_safeformat.moc"

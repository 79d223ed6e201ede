// Reading the clipboard's plain text for a file submission: only text counts, and it ends at its
// first NUL.

#include "adding/addfile/ReadClipboardText.h"

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QMimeData>
#include <QTest>
#include <QThread>

using namespace Qt::StringLiterals;

class TestClipboard : public QObject
{
    Q_OBJECT

private slots:
    void init() { QGuiApplication::clipboard()->clear(); }

    void plainText_data()
    {
        QTest::addColumn<QString>("copied");
        QTest::addColumn<QString>("read");
        QTest::newRow("line ends kept")
            << u"Title=A\r\nSize=5\n\rBody\r\n"_s << u"Title=A\r\nSize=5\n\rBody\r\n"_s;
        QTest::newRow("cut at the first NUL") << u"Title=A\0SiteName1=B\0x"_s << u"Title=A"_s;
        QTest::newRow("NUL first") << u"\0Title=A"_s << QString();
        QTest::newRow("beyond Latin-1") << u"Title=\u00c5ngstr\u00f6m \u20ac \U0001F600"_s
                                        << u"Title=\u00c5ngstr\u00f6m \u20ac \U0001F600"_s;
    }
    void plainText()
    {
        QFETCH(QString, copied);
        QGuiApplication::clipboard()->setText(copied);
        QTEST(ReadClipboardText(), "read");
    }

    void noText_data()
    {
        QTest::addColumn<QString>("format");
        QTest::newRow("image") << u"image"_s;
        QTest::newRow("other data") << u"application/octet-stream"_s;
        QTest::newRow("empty clipboard") << QString();
    }

    // Whatever was copied before is gone: only a text form of the present data counts.
    void noText()
    {
        QFETCH(QString, format);
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->setText(u"Title=stale"_s);
        QCOMPARE(ReadClipboardText(), u"Title=stale"_s);
        if (format == u"image") {
            QImage image(4, 4, QImage::Format_ARGB32);
            image.fill(Qt::red);
            clipboard->setImage(image);
            QVERIFY(clipboard->mimeData()->hasImage());
        } else if (!format.isEmpty()) {
            auto* data = new QMimeData;
            data->setData(format, QByteArray("Title=a\nSiteName1=b\nSiteUrl1=c\n"));
            clipboard->setMimeData(data);
        } else {
            clipboard->clear();
        }
        QVERIFY(ReadClipboardText().isEmpty());
    }

    // The clipboard belongs to the window thread; another thread reads no text instead of
    // reaching into it.
    void otherThread()
    {
        QGuiApplication::clipboard()->setText(u"Title=A"_s);
        QString read = u"not read"_s;
        QScopedPointer<QThread> thread(QThread::create([&read] { read = ReadClipboardText(); }));
        thread->start();
        QVERIFY(thread->wait(10'000));
        QVERIFY(read.isEmpty());
        QCOMPARE(ReadClipboardText(), u"Title=A"_s);
    }
};

QTEST_MAIN(TestClipboard)
#include "tst_clipboard.moc"

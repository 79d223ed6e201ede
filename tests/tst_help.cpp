// The help that ships with the program: a page for every help number a window uses, every link
// leading somewhere, and the viewer opening the right page.

#include "controls/CHelpViewer.h"

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QTest>
#include <QTextBrowser>

using namespace Qt::StringLiterals;

class TestHelp : public QObject
{
    Q_OBJECT

private:
    static QString Read(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    static QStringList AllPages()
    {
        CHelpViewer::ContentsUrl(CHelpViewer::kProgramHelp); // makes sure the pages are registered
        QStringList pages;
        QDirIterator it(u":/help"_s, {u"*.html"_s}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            pages.append(it.next());
        pages.sort();
        return pages;
    }

private slots:
    void everyHelpNumberHasItsPage()
    {
        const quint32 numbers[] = {11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 34,
                                   36, 37, 38, 39, 49, 50, 51, 52, 59, 63, 64};
        for (quint32 number : numbers) {
            const QString page = Read(QLatin1Char(':') + CHelpViewer::TopicUrl(number).path());
            QVERIFY2(!page.isEmpty(), qPrintable(u"no page for help number %1"_s.arg(number)));
            static const QRegularExpression title(u"<title>([^<]+)</title>"_s);
            QVERIFY2(title.match(page).hasMatch(), qPrintable(u"topic %1 has no title"_s.arg(number)));
            QVERIFY2(page.size() > 800, qPrintable(u"topic %1 says too little"_s.arg(number)));
        }
        QVERIFY(!Read(u":/help/program/contents.html"_s).isEmpty());
        QVERIFY(!Read(u":/help/guide/contents.html"_s).isEmpty());
    }

    void everyLinkLeadsSomewhere()
    {
        const QStringList pages = AllPages();
        QVERIFY(pages.size() >= 25);
        static const QRegularExpression link(u"href=\"([^\"]+)\""_s);
        int checked = 0;
        for (const QString& page : pages) {
            const QString text = Read(page);
            for (auto it = link.globalMatch(text); it.hasNext();) {
                const QString target = it.next().captured(1);
                if (target.startsWith(QLatin1String("http")) || target.startsWith(QLatin1String("mailto:")))
                    continue;
                const QString file = target.section(QLatin1Char('#'), 0, 0);
                const QString anchor = target.section(QLatin1Char('#'), 1);
                const QString resolved =
                    file.isEmpty() ? page : QDir::cleanPath(QFileInfo(page).path() + QLatin1Char('/') + file);
                QVERIFY2(QFile::exists(resolved), qPrintable(page + u" links to missing "_s + target));
                if (!anchor.isEmpty()) {
                    const QString targetText = Read(resolved);
                    QVERIFY2(targetText.contains(u"name=\"%1\""_s.arg(anchor)) ||
                                 targetText.contains(u"id=\"%1\""_s.arg(anchor)),
                             qPrintable(page + u" links to missing anchor "_s + target));
                }
                ++checked;
            }
        }
        QVERIFY(checked > 50);
    }

    void viewerOpensTopicsAndContents()
    {
        CHelpViewer* viewer = CHelpViewer::ShowTopic(nullptr, 36);
        QCOMPARE(viewer->GetSource(), CHelpViewer::TopicUrl(36));
        QVERIFY(!viewer->findChild<QTextBrowser*>()->toPlainText().isEmpty());
        QCOMPARE(viewer->windowTitle(), u"Finding files"_s); // the page's own title
        // A number without a page shows the contents instead of an empty window.
        CHelpViewer::ShowTopic(nullptr, 9999);
        QCOMPARE(viewer->GetSource(), CHelpViewer::ContentsUrl(CHelpViewer::kProgramHelp));
        CHelpViewer::ShowContents(nullptr, CHelpViewer::kAdministratorsGuide);
        QCOMPARE(CHelpViewer::GetInstance(), viewer); // one help window
        QCOMPARE(viewer->GetBook(), CHelpViewer::kAdministratorsGuide);
        QCOMPARE(viewer->GetSource(), CHelpViewer::ContentsUrl(CHelpViewer::kAdministratorsGuide));
        viewer->close();
    }
};

QTEST_MAIN(TestHelp)
#include "tst_help.moc"

// Which files the Add Files wizard collects from a directory text: patterns, each file once
// whatever links lead back, what is never taken (dot files, the explorer's temporary files, pending
// uploads), directories that cannot be entered, and Cancel while a big tree is walked.

#include "AddFilesSupport.h"
#include "adding/addfiles/FileCollection.h"
#include "settings/WorkProgress.h"

#include <QSemaphore>
#include <QThread>

#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace AddFilesSupport;
using namespace DialogSupport;

class TestCollectFiles : public QObject, public CWizardRunner
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        TROVEPORT_REQUIRE_ENGINE();
        QString error;
        QVERIFY2(Open(&error), qPrintable(error));
    }

    void init()
    {
        CMessageBox::TakeRequests();
        CModalRun::ClearHandlers();
    }

    void cleanup() { QCOMPARE(CModalRun::PendingHandlers(), 0); }

    // A pattern applies to the top level only; subdirectories give all their files; names that
    // begin with "." are never taken; the pattern is case-sensitive.
    void collectionRules()
    {
        const QString top = m_dir.filePath(u"collect"_s);
        for (const QString& name : {u"a.zip"_s, u"b.txt"_s, u"C.ZIP"_s, u".hidden.zip"_s, u"sub/c.txt"_s,
                                    u"sub/deeper/d.zip"_s, u".git/e.zip"_s, u"sub/.cache/f.zip"_s})
            QVERIFY(WriteFile(top + u'/' + name, "x"));

        CollectedFiles found;
        QVERIFY(CollectFiles(top + u"/*.zip"_s, false, found));
        QCOMPARE(found.files, (QStringList{top + u"/a.zip"_s}));

        found = {};
        QVERIFY(CollectFiles(top + u"/*.zip"_s, true, found));
        QCOMPARE(found.files, (QStringList{top + u"/a.zip"_s, top + u"/sub/c.txt"_s, top + u"/sub/deeper/d.zip"_s}));

        found = {};
        QVERIFY(CollectFiles(top + u"/sub/../"_s, false, found)); // a directory: all its files
        QCOMPARE(found.files, (QStringList{top + u"/C.ZIP"_s, top + u"/a.zip"_s, top + u"/b.txt"_s}));
        QCOMPARE(found.refusals, QString());

        found = {};
        QVERIFY(CollectFiles(top + u"/missing"_s, false, found));
        QCOMPARE(found.files, QStringList());
        QVERIFY(!CollectFiles(u"/"_s + QString(300, u'x'), false, found));
    }

    // Each regular file is taken once, under its own name: a link is never followed (a loop back
    // into the directory, a second way into a directory, a second name for a file), but listed;
    // dot files and the explorer's temporary files left by a crash are not taken at all.
    void collectsEachFileOnce_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("results"); // "@" stands for the directory
        const QString notFollowed = u" is a symbolic link and was not followed: choose what it leads to to add it."_s;
        QTest::newRow("link back to its directory")
            << QStringList{u"self-a.txt"_s, u"self -> ."_s} << QStringList{u"self-a.txt"_s}
            << QStringList{u"@/self"_s + notFollowed, u"1 file(s) added successfully."_s};
        QTest::newRow("second way into a directory")
            << QStringList{u"v2/setup2.zip"_s, u"latest -> v2"_s} << QStringList{u"v2/setup2.zip"_s}
            << QStringList{u"@/latest"_s + notFollowed, u"1 file(s) added successfully."_s};
        QTest::newRow("second name for a file")
            << QStringList{u"real.txt"_s, u"alias.txt -> real.txt"_s} << QStringList{u"real.txt"_s}
            << QStringList{u"@/alias.txt"_s + notFollowed, u"1 file(s) added successfully."_s};
        QTest::newRow("dot files and temporary files")
            << QStringList{u".htaccess"_s, u".troveport-copy-5k2x"_s, u".page.html.troveport-9z"_s,
                           u"page.html"_s, u"sub/.troveport-copy-a1"_s, u".git/config"_s}
            << QStringList{u"page.html"_s} << QStringList{u"1 file(s) added successfully."_s};
    }
    void collectsEachFileOnce()
    {
        QFETCH(QStringList, entries);
        QFETCH(QStringList, results);
        const QString source = m_dir.filePath(u"once/"_s + QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(MakeTree(source, entries));
        auto w = MakeWizard();
        QVERIFY(Choose(*w, source, true, false));
        QTEST(RelativeTo(source, w->GetFileList()), "files");
        QCOMPARE(RunToResults(*w, true), results.join(u"\r\n"_s).replace(u'@', source) + u"\r\n"_s);
    }

    // A directory the walk cannot enter is listed with the reason, and the rest is taken.
    void unenterableDirectoryIsListed_data()
    {
        QTest::addColumn<bool>("searchable"); // false: listable, not enterable; true: gone when entered
        QTest::addColumn<QString>("reason");
        QTest::newRow("no search permission") << false << u"13 (Permission denied)"_s;
        QTest::newRow("gone before it is entered") << true << u"2 (No such file or directory)"_s;
    }
    void unenterableDirectoryIsListed()
    {
        QFETCH(bool, searchable);
        QFETCH(QString, reason);
        if (!searchable && ::geteuid() == 0)
            QSKIP("root searches every directory: the directory that is gone when entered shows the same");
        const QString source = m_dir.filePath(u"enter/"_s + QString::fromLatin1(QTest::currentDataTag()));
        const QString closed = source + u"/closed"_s;
        QVERIFY(MakeTree(source, {u"enter-"_s + QString::number(searchable) + u".txt"_s, u"closed/inner/deep.txt"_s}));
        if (searchable) {
            CAddFilesInfoPage::CollectionHook() = [&](CWorkProgress&, const QString& directory) {
                if (directory == closed)
                    QDir(closed).removeRecursively();
            };
        } else {
            QVERIFY(QFile::setPermissions(closed, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        }
        auto w = MakeWizard();
        const bool chosen = Choose(*w, source, true, false);
        CAddFilesInfoPage::CollectionHook() = nullptr;
        QFile::setPermissions(closed, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QVERIFY(chosen);
        QCOMPARE(w->GetFileList(), QStringList{source + u"/enter-"_s + QString::number(searchable) + u".txt"_s});
        QCOMPARE(RunToResults(*w, true),
                 u"Error opening "_s + closed + u": "_s + reason + u"\r\n1 file(s) added successfully.\r\n"_s);
    }

    // Cancel in the progress dialog stops the walk before the next directory; the page stays.
    void collectionCanBeCancelled()
    {
        const QString source = m_dir.filePath(u"cancel-collection"_s);
        QVERIFY(MakeTree(source, {u"a/1.txt"_s, u"b/2.txt"_s, u"c/3.txt"_s}));
        QSemaphore walking;
        QStringList entered;
        CAddFilesInfoPage::CollectionHook() = [&](CWorkProgress& progress, const QString& directory) {
            entered.append(directory);
            if (entered.size() == 2) {
                walking.release();
                while (!progress.Cancelled())
                    QThread::msleep(5);
            }
        };
        bool dialogShown = false;
        CModalRun::QueueProgressHandler([&](QDialog& dialog) {
            dialogShown = true;
            walking.acquire();
            dialog.reject(); // Cancel
            return int(QDialog::Rejected);
        });
        auto w = MakeWizard();
        const bool chosen = Choose(*w, source, true, false);
        CAddFilesInfoPage::CollectionHook() = nullptr;
        QVERIFY(!chosen);
        QVERIFY(dialogShown);
        QCOMPARE(w->GetActivePage(), w->GetInfoPage());
        QCOMPARE(entered, (QStringList{source, source + u"/a"_s}));
        QCOMPARE(w->GetFileList(), QStringList());
        QCOMPARE(TakeTexts(), QStringList());
    }

    // Directly in the directory of an area that accepts uploads, the files the upload scan takes
    // for pending uploads, and their description files, are left to its review; elsewhere the
    // same names are ordinary files.
    void pendingUploadsStayWithTheScan_data()
    {
        QTest::addColumn<quint32>("areaId");
        QTest::addColumn<quint32>("hostId");
        QTest::addColumn<QStringList>("files");
        const QStringList all{u"new-notes.txt"_s, u"new-orphan.txt.desc"_s, u"new-up.zip"_s, u"new-up.zip.desc"_s};
        QTest::newRow("area that accepts uploads") << 7u << kHostAreaId << QStringList{u"new-notes.txt"_s};
        QTest::newRow("the host accepts uploads") << 5u << 5u << QStringList{u"new-notes.txt"_s};
        QTest::newRow("area that takes no uploads") << 6u << kHostAreaId << all;
        QTest::newRow("subdirectory of an area that accepts uploads") << 0u << 5u << all;
    }
    void pendingUploadsStayWithTheScan()
    {
        QFETCH(quint32, areaId);
        QFETCH(quint32, hostId);
        const QString area = theFileAreaTable.FindArea(areaId ? areaId : hostId)->Path();
        const QString directory = areaId ? area : area + u"/sub"_s;
        QVERIFY(MakeTree(directory, {u"new-up.zip"_s, u"new-up.zip.desc"_s, u"new-orphan.txt.desc"_s,
                                     u"new-notes.txt"_s}));
        auto w = MakeWizard();
        QVERIFY(Choose(*w, directory + u"/new-*"_s, false, false, theFileAreaTable.FindArea(hostId)->Name()));
        QTEST(RelativeTo(directory, w->GetFileList()), "files");
        for (const QString& name : QDir(directory).entryList({u"new-*"_s}))
            QVERIFY(QFile::remove(directory + u'/' + name));
    }
};

QTEST_MAIN(TestCollectFiles)
#include "tst_collectfiles.moc"
